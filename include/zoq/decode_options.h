// How far a part's content is decoded when it is read, and the key that
// undoes ADM encryption (ECS code 128).
#pragma once

#include <cstdint>
#include <string>

namespace zoq {

// ECS codes: the transformations a part's stored bytes went through.
enum EcsCode : int {
  kEcsSxc = 1,     // schema-driven binary XML
  kEcsZip = 2,     // zlib compression
  kEcsAdm = 128,   // AES-128-CTR encryption
  kEcsEnd = 255,   // ends a code list handed to the library
};

constexpr int kMaxStoredCodes = 7;  // codes a data record may carry
constexpr int kMaxCodes = 8;        // codes an in-memory list may hold

// A key the user supplied. The bytes are the caller's and must outlive every
// call that is given the record.
struct KeyInfo {
  const uint8_t* key = nullptr;
  int key_length = 0;  // 0 to 256
  std::u16string algorithm = u"AES-128-CTR";
};

// What a read found out beyond its result code.
struct DecodeReport {
  // An SXC document of the content passed its decoding limit (the read
  // answered 6008); DecodeOptions::max_output raises the limit.
  bool limit_reached = false;
  // Why the last decode failed, when the decoder could tell (empty otherwise).
  std::string reason;
};

// code (low byte counts): 255 = fully decoded; 0 = stored bytes unchanged;
// 1, 2 or 128 = decoded except the first code, which must be that code.
// Passing no DecodeOptions means 255 without a key.
struct DecodeOptions {
  int code = kEcsEnd;
  const KeyInfo* key = nullptr;
  // Compare every data record of the content with its check byte while it
  // is read. The content is still delivered whole; a mismatch is answered
  // with 5022 by the read that meets the end of the content (ReadPart and
  // ExtractPart return 5022 with the content in place).
  bool check_stored = false;
  // The most bytes of XML text one SXC document may decode to (it may then
  // also inflate that far on the way). 0: limits tied to the stored size of
  // the record: the document may inflate to 32 times that (at least 32 MiB)
  // and decode to four times as much text. A document past its limit fails
  // with 6008 and sets DecodeReport::limit_reached.
  int64_t max_output = 0;
  // Where a failing decode says why (optional). It must outlive every
  // stream handed out with these options.
  DecodeReport* report = nullptr;
};

// One element of an ECS code list given when a part is stored: the code and,
// for 128, the key to encrypt with.
struct EcsCodeArg {
  int32_t code = kEcsEnd;
  const KeyInfo* key = nullptr;
};

}  // namespace zoq
