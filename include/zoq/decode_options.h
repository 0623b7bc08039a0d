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

// code (low byte counts): 255 = fully decoded; 0 = stored bytes unchanged;
// 1, 2 or 128 = decoded except the first code, which must be that code.
// Passing no DecodeOptions means 255 without a key.
struct DecodeOptions {
  int code = kEcsEnd;
  const KeyInfo* key = nullptr;
};

// One element of an ECS code list given when a part is stored: the code and,
// for 128, the key to encrypt with.
struct EcsCodeArg {
  int32_t code = kEcsEnd;
  const KeyInfo* key = nullptr;
};

}  // namespace zoq
