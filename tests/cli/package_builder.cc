#include "package_builder.h"

#include <openssl/evp.h>

namespace zoqtest {
namespace {

void PutU32(std::string& out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

std::string Md5(const std::string& bytes) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_md5(), nullptr);
  return std::string(reinterpret_cast<const char*>(digest), length);
}

}  // namespace

std::string BuildPackage(const std::vector<PartSpec>& parts, int version) {
  constexpr uint32_t kEntryOffset = 26;  // right after a 22 + 4 byte header
  std::string names;
  PutU32(names, static_cast<uint32_t>(parts.size()));
  std::string items;
  std::string bitstream = "C.BS";
  for (size_t i = 0; i < parts.size(); ++i) {
    std::string key;
    PutU32(key, static_cast<uint32_t>(i + 1));
    key.append(12, '\0');
    names += key + parts[i].path + '\0';
    items.push_back(1);  // created
    PutU32(items, static_cast<uint32_t>(bitstream.size()));
    items += key;
    uint8_t check = 0;
    for (char c : parts[i].stored) check ^= static_cast<uint8_t>(c);
    bitstream.push_back(static_cast<char>(check));
    PutU32(bitstream, static_cast<uint32_t>(parts[i].stored.size()));
    for (uint8_t code : parts[i].codes) bitstream.push_back(static_cast<char>(code));
    bitstream.push_back(static_cast<char>(0xFF));
    bitstream += parts[i].stored;
  }
  items.push_back(15);
  items.append(4 + 16, '\0');

  const std::string tables = names + items;
  const uint32_t length = 29 + 2 * 4 + static_cast<uint32_t>(tables.size());
  std::string out = "@ZOQ";
  out.append(10, '\0');
  out.push_back(1);
  out.push_back(static_cast<char>(version & 0xFF));
  PutU32(out, 1);
  out.push_back(0);
  out.push_back(4);
  PutU32(out, kEntryOffset);
  out += "C.En";
  PutU32(out, length);
  PutU32(out, kEntryOffset + length);  // the BitStream follows the Item List
  PutU32(out, 0);
  out.push_back(0);  // tables stored plain
  out += Md5(tables);
  PutU32(out, static_cast<uint32_t>(names.size()));
  out += tables;
  out += bitstream;
  return out;
}

}  // namespace zoqtest
