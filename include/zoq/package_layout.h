// The structural facts of a package file: its header and, per entry, the
// offsets, table flags and Item List records. For tools that show a
// package's history as stored (the Container merges it into one view).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "zoq/export.h"
#include "zoq/result.h"

namespace zoq {

class Stream;

// Item List record types.
enum ItemRecordType : int {
  kRecordNone = 0,
  kRecordCreated = 1,
  kRecordAppended = 2,
  kRecordReplaced = 3,
  kRecordDeleted = 4,
  kRecordListEnd = 15,
};

struct HeaderFacts {
  int version = 0;     // 0x0100 or 0x0101
  int width = 0;       // offset width W: 2, 4 or 8
  int width_byte = 0;  // byte 21 as stored (0 reads as 4)
  int reserved = 0;    // byte 20
  int entry_count = 0;
  int64_t first_entry = 0;
};

struct RecordFacts {
  int type = kRecordNone;
  bool skippable = false;
  int64_t data_offset = 0;  // relative to the entry's BitStream
  std::u16string path;
};

struct EntryFacts {
  int revision = 0;
  int64_t offset = 0;     // E
  int64_t bitstream = 0;  // B
  int64_t next = 0;
  uint32_t length = 0;             // L
  uint32_t name_table_length = 0;  // N
  uint8_t table_flags = 0;
  std::vector<RecordFacts> records;  // Item List order
};

struct PackageLayout {
  HeaderFacts header;
  std::vector<EntryFacts> entries;  // chain order
};

// Reads header and entries (at most `revision_limit` of them, 0 = all) with
// every check that opening makes; answers the same codes.
ZOQ_EXPORT Status ReadPackageLayout(Stream* stream, int revision_limit, PackageLayout* out);
ZOQ_EXPORT Status ReadPackageLayoutFile(const std::string& path, int revision_limit,
                                     PackageLayout* out);

}  // namespace zoq
