#include "package_builder.h"

#include <openssl/evp.h>
#include <zlib.h>

namespace zoq::test {
namespace {

void Append(std::vector<uint8_t>* out, const void* data, size_t size) {
  const auto* p = static_cast<const uint8_t*>(data);
  out->insert(out->end(), p, p + size);
}

void AppendLittle(std::vector<uint8_t>* out, uint64_t value, int width) {
  for (int i = 0; i < width; ++i) out->push_back(static_cast<uint8_t>(value >> (8 * i)));
}

std::vector<uint8_t> Key(int k) {
  std::vector<uint8_t> key(16, 0);
  for (int i = 0; i < 4; ++i) key[i] = static_cast<uint8_t>(k >> (8 * i));
  return key;
}

bool HasData(int type) { return type >= 1 && type <= 3; }

}  // namespace

void PutLittle(std::vector<uint8_t>* bytes, size_t at, uint64_t value, int width) {
  for (int i = 0; i < width; ++i) (*bytes)[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

std::vector<uint8_t> Compress(const std::vector<uint8_t>& plain) {
  uLongf size = compressBound(plain.size());
  std::vector<uint8_t> out(size);
  compress2(out.data(), &size, plain.data(), plain.size(), 9);
  out.resize(size);
  return out;
}

void FixDigest(std::vector<uint8_t>* bytes, int64_t offset, int width) {
  uint32_t length = 0;
  for (int i = 3; i >= 0; --i) length = (length << 8) | (*bytes)[offset + 4 + i];
  const size_t head = 29 + 2 * width;
  unsigned int md_length = 0;
  uint8_t md[EVP_MAX_MD_SIZE];
  EVP_Digest(bytes->data() + offset + head, length - head, md, &md_length, EVP_md5(), nullptr);
  std::copy(md, md + 16, bytes->begin() + offset + 9 + 2 * width);
}

BuiltPackage BuildPackage(const std::vector<TestEntry>& entries, int width, int version) {
  BuiltPackage built;
  std::vector<uint8_t>& out = built.bytes;
  Append(&out, "@ZOQ", 4);
  out.resize(14, 0);
  out.push_back(static_cast<uint8_t>(version >> 8));
  out.push_back(static_cast<uint8_t>(version & 0xFF));
  AppendLittle(&out, entries.size(), 4);
  out.push_back(0);
  out.push_back(static_cast<uint8_t>(width));
  AppendLittle(&out, 0, width);  // first-entry offset, patched below

  int64_t previous_next_field = -1;
  for (const TestEntry& entry : entries) {
    const int64_t bitstream = static_cast<int64_t>(out.size());
    Append(&out, "C.BS", 4);
    std::vector<int64_t> offsets;
    built.record_starts.emplace_back();
    built.data_starts.emplace_back();
    for (const TestRecord& r : entry.records) {
      if (!HasData(r.type)) {
        offsets.push_back(0);
        continue;
      }
      offsets.push_back(static_cast<int64_t>(out.size()) - bitstream);
      built.record_starts.back().push_back(static_cast<int64_t>(out.size()));
      uint8_t check = 0;
      for (uint8_t b : r.data) check ^= b;
      out.push_back(check);
      AppendLittle(&out, r.data.size(), width);
      Append(&out, r.codes.data(), r.codes.size());
      out.push_back(0xFF);
      built.data_starts.back().push_back(static_cast<int64_t>(out.size()));
      Append(&out, r.data.data(), r.data.size());
    }

    std::vector<uint8_t> names;
    AppendLittle(&names, entry.records.size(), 4);
    std::vector<uint8_t> items;
    for (size_t i = 0; i < entry.records.size(); ++i) {
      const TestRecord& r = entry.records[i];
      std::vector<uint8_t> key = Key(static_cast<int>(i) + 1);
      Append(&names, key.data(), 16);
      Append(&names, r.path.data(), r.path.size());
      names.push_back(0);
      items.push_back(static_cast<uint8_t>(r.type | (r.skippable ? 0x10 : 0)));
      AppendLittle(&items, offsets[i], width);
      Append(&items, key.data(), 16);
    }
    items.push_back(15);
    AppendLittle(&items, 0, width);
    items.resize(items.size() + 16, 0);
    if (entry.table_flags & 1) names = Compress(names);
    if (entry.table_flags & 2) items = Compress(items);

    const int64_t offset = static_cast<int64_t>(out.size());
    built.entry_offsets.push_back(offset);
    if (previous_next_field < 0) {
      PutLittle(&out, 22, offset, width);
    } else {
      PutLittle(&out, previous_next_field, offset, width);
    }
    const size_t head = 29 + 2 * width;
    Append(&out, "C.En", 4);
    AppendLittle(&out, head + names.size() + items.size(), 4);
    AppendLittle(&out, bitstream, width);
    previous_next_field = static_cast<int64_t>(out.size());
    AppendLittle(&out, 0, width);
    out.push_back(entry.table_flags);
    out.resize(out.size() + 16, 0);
    AppendLittle(&out, names.size(), 4);
    Append(&out, names.data(), names.size());
    Append(&out, items.data(), items.size());
    FixDigest(&out, offset, width);
  }
  return built;
}

}  // namespace zoq::test
