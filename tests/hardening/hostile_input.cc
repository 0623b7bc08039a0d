#include "hostile_input.h"

#include <openssl/evp.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "package_builder.h"

namespace zoq::hardening {
namespace {

void Append(std::vector<uint8_t>* out, const void* data, size_t size) {
  const auto* p = static_cast<const uint8_t*>(data);
  out->insert(out->end(), p, p + size);
}

void AppendLittle(std::vector<uint8_t>* out, uint64_t value, int width) {
  for (int i = 0; i < width; ++i) out->push_back(static_cast<uint8_t>(value >> (8 * i)));
}

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

std::vector<uint8_t> Key(int k) {
  std::vector<uint8_t> key(16, 0);
  for (int i = 0; i < 4; ++i) key[i] = static_cast<uint8_t>(k >> (8 * i));
  return key;
}

std::vector<uint8_t> NameTable(const std::vector<std::pair<int, std::string>>& names,
                               std::optional<uint64_t> count) {
  std::vector<uint8_t> out;
  AppendLittle(&out, count.value_or(names.size()), 4);
  for (const auto& [k, path] : names) {
    std::vector<uint8_t> key = Key(k);
    Append(&out, key.data(), 16);
    Append(&out, path.data(), path.size());
    out.push_back(0);
  }
  return out;
}

void AddItem(std::vector<uint8_t>* items, int type, uint64_t data_offset, int key, int width) {
  items->push_back(static_cast<uint8_t>(type));
  AppendLittle(items, data_offset, width);
  std::vector<uint8_t> k = Key(key);
  Append(items, k.data(), 16);
}

void AddEnd(std::vector<uint8_t>* items, int width) {
  items->push_back(15);
  AppendLittle(items, 0, width);
  items->resize(items->size() + 16, 0);
}

std::vector<uint8_t> DataRecord(const std::vector<uint8_t>& data, const std::vector<uint8_t>& codes,
                                int width, std::optional<uint64_t> stored_length) {
  std::vector<uint8_t> out;
  uint8_t check = 0;
  for (uint8_t b : data) check ^= b;
  out.push_back(check);
  AppendLittle(&out, stored_length.value_or(data.size()), width);
  Append(&out, codes.data(), codes.size());
  out.push_back(0xFF);
  Append(&out, data.data(), data.size());
  return out;
}

RawEntry OnePart(int width, const std::vector<uint8_t>& data,
                 std::optional<uint64_t> stored_length, uint64_t data_offset) {
  RawEntry entry;
  entry.names = NameTable({{1, "/a.txt"}});
  entry.bitstream = DataRecord(data, {}, width, stored_length);
  AddItem(&entry.items, 1, data_offset, 1, width);
  AddEnd(&entry.items, width);
  return entry;
}

RawPackage BuildRaw(const std::vector<RawEntry>& entries, int width,
                    std::optional<uint64_t> count, std::optional<uint64_t> first) {
  RawPackage built;
  std::vector<uint8_t>& out = built.bytes;
  Append(&out, "@ZOQ", 4);
  out.resize(14, 0);
  out.push_back(1);
  out.push_back(1);
  AppendLittle(&out, count.value_or(entries.size()), 4);
  out.push_back(0);
  out.push_back(static_cast<uint8_t>(width));
  AppendLittle(&out, 0, width);
  int64_t previous_next = -1;
  for (const RawEntry& entry : entries) {
    const int64_t bitstream = static_cast<int64_t>(out.size());
    built.bitstreams.push_back(bitstream);
    Append(&out, "C.BS", 4);
    Append(&out, entry.bitstream.data(), entry.bitstream.size());
    const std::vector<uint8_t> names = entry.flags & 1 ? test::Compress(entry.names) : entry.names;
    const std::vector<uint8_t> items = entry.flags & 2 ? test::Compress(entry.items) : entry.items;
    const int64_t offset = static_cast<int64_t>(out.size());
    built.entry_offsets.push_back(offset);
    if (previous_next == -1) {
      test::PutLittle(&out, 22, first.value_or(static_cast<uint64_t>(offset)), width);
    } else if (previous_next >= 0) {
      test::PutLittle(&out, static_cast<size_t>(previous_next), static_cast<uint64_t>(offset),
                      width);
    }
    const size_t head = 29 + 2 * width;
    Append(&out, "C.En", 4);
    AppendLittle(&out, entry.length.value_or(head + names.size() + items.size()), 4);
    AppendLittle(&out, entry.bitstream_offset.value_or(static_cast<uint64_t>(bitstream)), width);
    previous_next = static_cast<int64_t>(out.size());
    AppendLittle(&out, entry.next_offset.value_or(0), width);
    out.push_back(entry.flags);
    std::vector<uint8_t> stored = names;
    Append(&stored, items.data(), items.size());
    uint8_t md[EVP_MAX_MD_SIZE];
    unsigned int md_length = 0;
    EVP_Digest(stored.data(), stored.size(), md, &md_length, EVP_md5(), nullptr);
    Append(&out, md, 16);
    AppendLittle(&out, entry.name_length.value_or(names.size()), 4);
    Append(&out, stored.data(), stored.size());
    if (entry.next_offset) previous_next = -2;  // the caller links this one
  }
  return built;
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
