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

// A zlib stream whose content is `prefix` followed by `zeros` zero bytes,
// written directly as one fixed-code deflate block (13 bits for each 258
// zeros), so that a stream standing for gigabytes costs no time to make.
std::vector<uint8_t> ZerosStream(const std::vector<uint8_t>& prefix, uint64_t zeros);

// An SXC document of the schema with `identifier` from its sections as
// stored: the structure section and the value blocks (zlib streams) and the
// directory (a zlib stream). Empty sections are left out.
struct SxcSections {
  std::vector<uint8_t> structure;
  std::vector<uint8_t> blocks;
  std::vector<uint8_t> directory;
};
std::vector<uint8_t> SxcDocument(const std::vector<uint8_t>& identifier, const SxcSections& s);

// Runs `action` and answers how far the resident set grew above where it
// stood before (peak, in bytes); -1 when the system cannot tell.
int64_t PeakGrowth(const std::function<void()>& action);

// A growth PeakGrowth answered, or 0 where the system cannot tell, so that a
// bound checked on it holds there.
inline int64_t Measured(int64_t growth) { return growth >= 0 ? growth : 0; }

// What an operation cost: peak growth of the resident set (as PeakGrowth)
// and wall time.
struct Cost {
  int64_t growth = -1;
  double seconds = 0;
};
Cost Measure(const std::function<void()>& action);

// What a child process did: its exit status (128 + signal when killed), its
// peak resident set (ru_maxrss, sanitizer bookkeeping included) and wall
// time; `stopped` when it was killed for passing the limits it was given.
struct ChildRun {
  int status = -1;
  int64_t peak = -1;
  double seconds = 0;
  bool stopped = false;
};

// Runs `work` in a forked child, its return value the exit status. The
// child is killed once its resident set passes `rss_limit` bytes or it runs
// longer than `seconds`, so that a bomb that is not bounded stays bounded in
// the test.
ChildRun RunInChild(const std::function<int()>& work, int64_t rss_limit, double seconds);

// Runs the zoq tool so, its standard output and error going to the files
// named (empty: dropped).
ChildRun RunZoqBounded(const std::vector<std::string>& args, int64_t rss_limit, double seconds,
                       const std::string& out = {}, const std::string& err = {});

// A forked child counts the resident set of the process it was forked from
// as its own peak, even after it runs another program. A test program that
// reports the tool's peak starts a small process for its runs before it
// grows (from a static initializer): RunZoqBounded then forks from there.
void StartToolSpawner();

}  // namespace zoq::hardening
