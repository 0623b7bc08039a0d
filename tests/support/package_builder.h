// Builds small packages in memory for tests, with control over every field
// that a reader checks: whole packages from parts, or raw tables and entries
// for packages built to be wrong.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace zoq::test {

// Little-endian fields.
void AppendLittle(std::vector<uint8_t>* out, uint64_t value, int width);
// Writes `value` as `width` little-endian bytes at `at`.
void PutLittle(std::vector<uint8_t>* bytes, size_t at, uint64_t value, int width);

// zlib-format compression of a table (the writer's table compression).
std::vector<uint8_t> Compress(const std::vector<uint8_t>& plain);

// Recomputes the MD5 digest of the entry at `offset` (after a test changed
// its tables on purpose).
void FixDigest(std::vector<uint8_t>* bytes, int64_t offset, int width);

// The k-th name key as a writer makes it.
std::vector<uint8_t> Key(int k);
// A plain Name Table from (key, raw path bytes) pairs; `count` overrides the
// record count when given.
std::vector<uint8_t> NameTable(const std::vector<std::pair<int, std::string>>& names,
                               std::optional<uint64_t> count = std::nullopt);
// One plain Item List record (`type` may carry the skippable bit 0x10).
void AddItem(std::vector<uint8_t>* items, int type, uint64_t data_offset, int key, int width);
void AddEnd(std::vector<uint8_t>* items, int width);
// A data record: check byte, length (as given), codes, 0xFF, data.
std::vector<uint8_t> DataRecord(const std::vector<uint8_t>& data, const std::vector<uint8_t>& codes,
                                int width, std::optional<uint64_t> stored_length = std::nullopt);

struct RawEntry {
  std::vector<uint8_t> names;  // plain tables; compressed when the flag says so
  std::vector<uint8_t> items;
  uint8_t flags = 0;           // bit 0 Name Table, bit 1 Item List compressed
  std::vector<uint8_t> bitstream;  // after "C.BS"
  // Overrides of header fields.
  std::optional<uint64_t> bitstream_offset;
  std::optional<uint64_t> next_offset;
  std::optional<uint64_t> length;
  std::optional<uint64_t> name_length;
};

struct BuiltPackage {
  std::vector<uint8_t> bytes;
  std::vector<int64_t> entry_offsets;
  std::vector<int64_t> bitstreams;  // where each entry's "C.BS" starts
  // Per entry, per data-bearing record (BuildPackage only): where its data
  // record starts and where its stored bytes lie.
  std::vector<std::vector<int64_t>> record_starts;
  std::vector<std::vector<int64_t>> data_starts;
};

// Header, then per entry "C.BS" and its records followed by the entry
// header and tables; entries linked in order. `count` and `first` override
// the header's entry count and first-entry offset; an entry with its own
// `next_offset` is not linked to the one after it.
BuiltPackage BuildRaw(const std::vector<RawEntry>& entries, int width = 4,
                      std::optional<uint64_t> count = std::nullopt,
                      std::optional<uint64_t> first = std::nullopt, int version = 0x0101);

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

// A well-formed package with one entry per TestEntry, its records keyed
// 1, 2, ... in order.
BuiltPackage BuildPackage(const std::vector<TestEntry>& entries, int width = 4,
                          int version = 0x0101);

struct PartSpec {
  std::string path;            // package path, e.g. "/doc.xml"
  std::vector<uint8_t> codes;  // ECS codes the stored bytes went through
  std::string stored;          // the stored bytes
};

// One entry of created parts (tables plain, offset width 4), format
// version 1.0 or 1.1, as file bytes.
std::string BuildPackage(const std::vector<PartSpec>& parts, int version = 0x0101);

}  // namespace zoq::test
