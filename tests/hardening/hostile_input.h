// Hostile packages: a one-part entry to spoil, and a measure of how much
// memory an operation takes.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "package_builder.h"

namespace zoq::hardening {

// The raw building blocks live with the package builder.
using test::AddEnd;
using test::AddItem;
using test::BuildRaw;
using test::DataRecord;
using test::Key;
using test::NameTable;
using test::RawEntry;
using RawPackage = test::BuiltPackage;

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
