#include "package_builder.h"

#include <openssl/evp.h>
#include <zlib.h>

namespace zoq::test {
namespace {

void Append(std::vector<uint8_t>* out, const void* data, size_t size) {
  const auto* p = static_cast<const uint8_t*>(data);
  out->insert(out->end(), p, p + size);
}

bool HasData(int type) { return type >= 1 && type <= 3; }

}  // namespace

void AppendLittle(std::vector<uint8_t>* out, uint64_t value, int width) {
  for (int i = 0; i < width; ++i) out->push_back(static_cast<uint8_t>(value >> (8 * i)));
}

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
    Append(&out, Key(k).data(), 16);
    Append(&out, path.data(), path.size());
    out.push_back(0);
  }
  return out;
}

void AddItem(std::vector<uint8_t>* items, int type, uint64_t data_offset, int key, int width) {
  items->push_back(static_cast<uint8_t>(type));
  AppendLittle(items, data_offset, width);
  Append(items, Key(key).data(), 16);
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

BuiltPackage BuildRaw(const std::vector<RawEntry>& entries, int width,
                      std::optional<uint64_t> count, std::optional<uint64_t> first, int version) {
  BuiltPackage built;
  std::vector<uint8_t>& out = built.bytes;
  Append(&out, "@ZOQ", 4);
  out.resize(14, 0);
  out.push_back(static_cast<uint8_t>(version >> 8));
  out.push_back(static_cast<uint8_t>(version & 0xFF));
  AppendLittle(&out, count.value_or(entries.size()), 4);
  out.push_back(0);
  out.push_back(static_cast<uint8_t>(width));
  AppendLittle(&out, 0, width);  // first-entry offset, patched below
  int64_t previous_next = -1;
  for (const RawEntry& entry : entries) {
    const int64_t bitstream = static_cast<int64_t>(out.size());
    built.bitstreams.push_back(bitstream);
    Append(&out, "C.BS", 4);
    Append(&out, entry.bitstream.data(), entry.bitstream.size());
    const std::vector<uint8_t> names = entry.flags & 1 ? Compress(entry.names) : entry.names;
    const std::vector<uint8_t> items = entry.flags & 2 ? Compress(entry.items) : entry.items;
    const int64_t offset = static_cast<int64_t>(out.size());
    built.entry_offsets.push_back(offset);
    if (previous_next == -1) {
      PutLittle(&out, 22, first.value_or(static_cast<uint64_t>(offset)), width);
    } else if (previous_next >= 0) {
      PutLittle(&out, static_cast<size_t>(previous_next), static_cast<uint64_t>(offset), width);
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

BuiltPackage BuildPackage(const std::vector<TestEntry>& entries, int width, int version) {
  std::vector<RawEntry> raw(entries.size());
  // Record and data starts relative to each entry's "C.BS".
  std::vector<std::vector<int64_t>> record_starts(entries.size());
  std::vector<std::vector<int64_t>> data_starts(entries.size());
  for (size_t e = 0; e < entries.size(); ++e) {
    std::vector<std::pair<int, std::string>> names;
    for (size_t i = 0; i < entries[e].records.size(); ++i) {
      const TestRecord& r = entries[e].records[i];
      const int key = static_cast<int>(i) + 1;
      names.emplace_back(key, r.path);
      uint64_t data_offset = 0;
      if (HasData(r.type)) {
        data_offset = 4 + raw[e].bitstream.size();
        std::vector<uint8_t> record = DataRecord(r.data, r.codes, width);
        record_starts[e].push_back(static_cast<int64_t>(data_offset));
        data_starts[e].push_back(static_cast<int64_t>(data_offset + record.size() - r.data.size()));
        Append(&raw[e].bitstream, record.data(), record.size());
      }
      AddItem(&raw[e].items, r.type | (r.skippable ? 0x10 : 0), data_offset, key, width);
    }
    AddEnd(&raw[e].items, width);
    raw[e].names = NameTable(names);
    raw[e].flags = entries[e].table_flags;
  }
  BuiltPackage built = BuildRaw(raw, width, std::nullopt, std::nullopt, version);
  for (size_t e = 0; e < entries.size(); ++e) {
    for (int64_t& at : record_starts[e]) at += built.bitstreams[e];
    for (int64_t& at : data_starts[e]) at += built.bitstreams[e];
  }
  built.record_starts = std::move(record_starts);
  built.data_starts = std::move(data_starts);
  return built;
}

std::string BuildPackage(const std::vector<PartSpec>& parts, int version) {
  TestEntry entry;
  for (const PartSpec& part : parts) {
    entry.records.push_back(
        {1, part.path, std::vector<uint8_t>(part.stored.begin(), part.stored.end()), part.codes});
  }
  const BuiltPackage built = BuildPackage(std::vector<TestEntry>{entry}, 4, version);
  return std::string(built.bytes.begin(), built.bytes.end());
}

}  // namespace zoq::test
