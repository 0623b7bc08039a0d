// Builds small packages in memory for tests, with control over every field
// that a reader checks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zoq::test {

struct TestRecord {
  int type = 1;
  std::string path;  // UTF-8, stored as given
  std::vector<uint8_t> data;
  std::vector<uint8_t> codes;  // stored ECS codes
  bool skippable = false;
};

struct TestEntry {
  std::vector<TestRecord> records;
  uint8_t table_flags = 0;  // bit 0 Name Table, bit 1 Item List compressed
};

struct BuiltPackage {
  std::vector<uint8_t> bytes;
  std::vector<int64_t> entry_offsets;
  // Per entry, per data-bearing record: where its data record starts and
  // where its stored bytes lie.
  std::vector<std::vector<int64_t>> record_starts;
  std::vector<std::vector<int64_t>> data_starts;
};

// Layout per entry: "C.BS" and its data records first, then the entry
// header, Name Table and Item List.
BuiltPackage BuildPackage(const std::vector<TestEntry>& entries, int width = 4,
                          int version = 0x0101);

// zlib-format compression of a table (the writer's table compression).
std::vector<uint8_t> Compress(const std::vector<uint8_t>& plain);

// Writes `value` as `width` little-endian bytes at `at`.
void PutLittle(std::vector<uint8_t>* bytes, size_t at, uint64_t value, int width);

// Recomputes the MD5 digest of the entry at `offset` (after a test changed
// its tables on purpose).
void FixDigest(std::vector<uint8_t>* bytes, int64_t offset, int width);

}  // namespace zoq::test
