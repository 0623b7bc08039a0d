// Writing the structures of a package file: the header, data records, the
// Name Table and Item List of an entry (plain or zlib-compressed), the entry
// header with the digest over the stored tables, and the link fields that
// make a written entry part of the chain.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "zoq/package_layout.h"
#include "zoq/stream.h"

namespace zoq {

constexpr int kEntryFixedSize = 29;  // the entry header is 29 + 2W bytes

// Little-endian W-byte field.
void StoreLittle(uint8_t* p, uint64_t value, int width);

// One record of an entry about to be written. `data` is a readable stream
// of the stored (already encoded) bytes, positioned anywhere; it is needed
// for types 1 to 3 only.
struct RecordToWrite {
  int type = kRecordNone;
  bool skippable = false;
  std::u16string path;
  std::array<uint8_t, 8> codes{};
  int code_count = 0;
  Stream* data = nullptr;
  int64_t stored_size = 0;
  // Filled by the writer.
  int64_t data_offset = 0;
  uint8_t check_byte = 0;
};

// True for a width of 2, 4 or 8 under which `value` fits.
bool FitsWidth(uint64_t value, int width);

// Writes a package header (22 + W bytes) at offset 0.
Status WriteHeader(Stream* out, const HeaderFacts& header);

// The plain Name Table: one name record per path, keys 1, 2, 3 ...; 5033
// for a path that is not valid UTF-16 or not in normalized form.
Status BuildNameTable(const std::vector<RecordToWrite>& records, std::vector<uint8_t>* out);

// The plain Item List with its end record. Data offsets must be assigned.
// The skippable bit is written only in version 1.1 packages.
Status BuildItemList(const std::vector<RecordToWrite>& records, int width, int version,
                  std::vector<uint8_t>* out);

// Compresses a plain table in the zlib format through the deflate stream.
Status DeflateTable(const std::vector<uint8_t>& plain, std::vector<uint8_t>* out);

// Gives the data-bearing records data offsets from 4 on, in record order;
// 5075 when an offset or a stored length does not fit the width.
Status AssignDataOffsets(std::vector<RecordToWrite>* records, int width);

// Writes one data record at the current position of `out`: placeholders,
// the codes and 0xFF, the bytes of `data` (computing their exclusive-or),
// then the check byte and length. Ends positioned after the data.
// 5035 on any failure, including data whose length differs from
// `expected_size` (pass -1 to accept any length); 5075 for data longer than
// the width can state.
Status WriteDataRecord(Stream* out, int width, const uint8_t* codes, int code_count, Stream* data,
                    int64_t expected_size, uint8_t* check_byte, int64_t* stored_size);

// Writes an entry at the end of `out` in the normal order (header, tables,
// BitStream). Fills `facts` with the offsets and lengths written. Records
// of type 1 to 3 need their data. Answers 5031 to 5035, or 5032 when the
// patch-back fails; 5075, before anything is written, when an offset or
// length does not fit the width.
Status WriteEntry(Stream* out, int width, int version, uint8_t table_flags,
               std::vector<RecordToWrite>* records, EntryFacts* facts);

// Writes the tables and entry header of an entry whose BitStream already
// stands at `bitstream` (records carry their data offsets); the entry goes
// to the end of `out`, after the BitStream.
Status WriteEntryAfterBitStream(Stream* out, int width, int version, uint8_t table_flags,
                             int64_t bitstream, const std::vector<RecordToWrite>& records,
                             EntryFacts* facts);

// Linking, in two steps so that a caller can make the first durable before
// the second: the next-entry field of the entry at `previous` (the header's
// first-entry field when `previous` is 0) gets `entry_offset` (5036, or
// 5005 in the header); then the header's entry count (5005). A file whose
// count has not been raised yet still reads as it was.
Status PatchNextEntry(Stream* out, int width, int64_t previous, int64_t entry_offset);
Status PatchEntryCount(Stream* out, int count);
Status LinkEntry(Stream* out, int width, int64_t previous, int64_t entry_offset, int new_count);

}  // namespace zoq
