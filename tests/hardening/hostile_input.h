// Building blocks for hostile packages: raw tables and entries with every
// field under the test's control, and a measure of how much memory an
// operation takes.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace zoq::hardening {

// The k-th name key as a writer makes it.
std::vector<uint8_t> Key(int k);

// A plain Name Table from (key, raw path bytes) pairs; `count` overrides the
// record count when not negative.
std::vector<uint8_t> NameTable(const std::vector<std::pair<int, std::string>>& names,
                               std::optional<uint64_t> count = std::nullopt);
// One plain Item List record.
void AddItem(std::vector<uint8_t>* items, int type, uint64_t data_offset, int key, int width);
void AddEnd(std::vector<uint8_t>* items, int width);
// A data record: check byte, length (as given), codes, 0xFF, data.
std::vector<uint8_t> DataRecord(const std::vector<uint8_t>& data, const std::vector<uint8_t>& codes,
                                int width,
                                std::optional<uint64_t> stored_length = std::nullopt);

struct RawEntry {
  std::vector<uint8_t> names;  // plain tables; compressed when the flag says so
  std::vector<uint8_t> items;
  uint8_t flags = 0;
  std::vector<uint8_t> bitstream;  // after "C.BS"
  // Overrides of header fields.
  std::optional<uint64_t> bitstream_offset;
  std::optional<uint64_t> next_offset;
  std::optional<uint64_t> length;
  std::optional<uint64_t> name_length;
};

struct RawPackage {
  std::vector<uint8_t> bytes;
  std::vector<int64_t> entry_offsets;
  std::vector<int64_t> bitstreams;
};

// Header, then per entry "C.BS" and its records followed by the entry
// header and tables; entries linked in order. `count` and `first` override
// the header's entry count and first-entry offset.
RawPackage BuildRaw(const std::vector<RawEntry>& entries, int width = 4,
                    std::optional<uint64_t> count = std::nullopt,
                    std::optional<uint64_t> first = std::nullopt);

// An entry with one part, "/a.txt", whose data record (at offset
// `data_offset` of the BitStream) holds `data`; `stored_length` overrides
// the length the record gives.
RawEntry OnePart(int width = 4, const std::vector<uint8_t>& data = {'a'},
                 std::optional<uint64_t> stored_length = std::nullopt, uint64_t data_offset = 4);

// Runs `action` and answers how far the resident set grew above where it
// stood before (peak, in bytes); -1 when the system cannot tell.
int64_t PeakGrowth(const std::function<void()>& action);

// What an operation cost: peak growth of the resident set (as PeakGrowth)
// and wall time.
struct Cost {
  int64_t growth = -1;
  double seconds = 0;
};
Cost Measure(const std::function<void()>& action);

}  // namespace zoq::hardening
