#include "generated_package.h"

#include <openssl/evp.h>
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <vector>

namespace zoq::bench {
namespace {

void Put(std::vector<uint8_t>* out, const void* data, size_t size) {
  const auto* p = static_cast<const uint8_t*>(data);
  out->insert(out->end(), p, p + size);
}

void Put32(std::vector<uint8_t>* out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out->push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void Patch32(std::vector<uint8_t>* out, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) (*out)[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

std::vector<uint8_t> Deflate(const std::vector<uint8_t>& plain) {
  uLongf size = compressBound(plain.size());
  std::vector<uint8_t> out(size);
  compress2(out.data(), &size, plain.data(), plain.size(), 9);
  out.resize(size);
  return out;
}

}  // namespace

bool WriteGeneratedPackage(const std::string& path, int revisions, int parts_per_revision) {
  std::vector<uint8_t> out;
  Put(&out, "@ZOQ", 4);
  out.resize(14, 0);
  out.push_back(1);
  out.push_back(1);
  Put32(&out, static_cast<uint32_t>(revisions));
  out.push_back(0);
  out.push_back(4);
  Put32(&out, 0);
  size_t next_field = 22;
  for (int r = 0; r < revisions; ++r) {
    const uint32_t bitstream = static_cast<uint32_t>(out.size());
    Put(&out, "C.BS", 4);
    std::vector<uint8_t> names, items;
    Put32(&names, static_cast<uint32_t>(parts_per_revision));
    for (int p = 0; p < parts_per_revision; ++p) {
      char name[64];
      std::snprintf(name, sizeof name, "/f%02d/r%03d/part%06d.txt", p % 10, r,
                    r * parts_per_revision + p);
      std::string data = std::string("content of ") + name + "\n";
      const uint32_t offset = static_cast<uint32_t>(out.size()) - bitstream;
      uint8_t check = 0;
      for (char c : data) check ^= static_cast<uint8_t>(c);
      out.push_back(check);
      Put32(&out, static_cast<uint32_t>(data.size()));
      out.push_back(0xFF);
      Put(&out, data.data(), data.size());
      uint8_t key[16] = {};
      for (int i = 0; i < 4; ++i) key[i] = static_cast<uint8_t>((p + 1) >> (8 * i));
      Put(&names, key, 16);
      Put(&names, name, std::char_traits<char>::length(name) + 1);
      items.push_back(1);
      Put32(&items, offset);
      Put(&items, key, 16);
    }
    items.push_back(15);
    items.resize(items.size() + 20, 0);
    names = Deflate(names);
    items = Deflate(items);
    const uint32_t entry = static_cast<uint32_t>(out.size());
    Patch32(&out, next_field, entry);
    Put(&out, "C.En", 4);
    Put32(&out, static_cast<uint32_t>(37 + names.size() + items.size()));
    Put32(&out, bitstream);
    next_field = out.size();
    Put32(&out, 0);
    out.push_back(3);
    std::vector<uint8_t> tables = names;
    tables.insert(tables.end(), items.begin(), items.end());
    uint8_t md5[EVP_MAX_MD_SIZE];
    unsigned int md5_length = 0;
    EVP_Digest(tables.data(), tables.size(), md5, &md5_length, EVP_md5(), nullptr);
    Put(&out, md5, 16);
    Put32(&out, static_cast<uint32_t>(names.size()));
    Put(&out, tables.data(), tables.size());
  }
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  bool ok = std::fwrite(out.data(), 1, out.size(), file) == out.size();
  return std::fclose(file) == 0 && ok;
}

}  // namespace zoq::bench
