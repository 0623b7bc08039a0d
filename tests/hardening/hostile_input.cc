#include "hostile_input.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

namespace zoq::hardening {
namespace {

// A field of /proc/self/status in bytes, -1 when missing.
int64_t StatusBytes(const char* field) {
  std::ifstream in("/proc/self/status");
  std::string line;
  const size_t n = std::strlen(field);
  while (std::getline(in, line)) {
    if (line.compare(0, n, field) == 0 && line.size() > n && line[n] == ':') {
      std::istringstream value(line.substr(n + 1));
      int64_t kb = -1;
      value >> kb;
      return kb < 0 ? -1 : kb * 1024;
    }
  }
  return -1;
}

}  // namespace

RawEntry OnePart(int width, const std::vector<uint8_t>& data,
                 std::optional<uint64_t> stored_length, uint64_t data_offset) {
  RawEntry entry;
  entry.names = NameTable({{1, "/a.txt"}});
  entry.bitstream = DataRecord(data, {}, width, stored_length);
  AddItem(&entry.items, 1, data_offset, 1, width);
  AddEnd(&entry.items, width);
  return entry;
}

int64_t PeakGrowth(const std::function<void()>& action) {
  // Writing 5 to clear_refs resets the peak to the current resident set.
  FILE* f = std::fopen("/proc/self/clear_refs", "w");
  const bool reset = f != nullptr && std::fputs("5", f) >= 0;
  if (f != nullptr) std::fclose(f);
  const int64_t before = StatusBytes("VmRSS");
  action();
  const int64_t peak = StatusBytes("VmHWM");
  if (!reset || before < 0 || peak < 0) return -1;
  return peak > before ? peak - before : 0;
}

Cost Measure(const std::function<void()>& action) {
  Cost cost;
  const auto start = std::chrono::steady_clock::now();
  cost.growth = PeakGrowth(action);
  cost.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return cost;
}

}  // namespace zoq::hardening
