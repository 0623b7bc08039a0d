#include "zoq/key_text.h"

namespace zoq {
namespace {

// The value of a hexadecimal digit, or -1 for any other character.
int HexValue(char32_t c) {
  if (c >= '0' && c <= '9') return static_cast<int>(c - '0');
  if (c >= 'a' && c <= 'f') return static_cast<int>(c - 'a' + 10);
  if (c >= 'A' && c <= 'F') return static_cast<int>(c - 'A' + 10);
  return -1;
}

template <typename Char>
std::vector<uint8_t> ParseRuns(std::basic_string_view<Char> text) {
  std::vector<uint8_t> bytes;
  uint8_t current = 0;
  bool in_run = false;
  for (Char c : text) {
    if (bytes.size() >= kMaxKeyBytes) break;
    int value = HexValue(static_cast<char32_t>(c));
    if (value >= 0) {
      current = static_cast<uint8_t>((current << 4) | value);
      in_run = true;
    } else if (in_run) {
      bytes.push_back(current);
      current = 0;
      in_run = false;
    }
  }
  if (in_run && bytes.size() < kMaxKeyBytes) bytes.push_back(current);
  return bytes;
}

}  // namespace

std::vector<uint8_t> ParseKeyEntryText(std::string_view text) { return ParseRuns(text); }

std::vector<uint8_t> ParseKeyEntryText(std::u16string_view text) { return ParseRuns(text); }

std::vector<uint8_t> ParseKeyArgument(std::string_view text) {
  bool unbroken = !text.empty() && text.size() % 2 == 0;
  for (char c : text) {
    if (!unbroken) break;
    unbroken = HexValue(static_cast<unsigned char>(c)) >= 0;
  }
  if (!unbroken) return ParseKeyEntryText(text);
  std::vector<uint8_t> bytes;
  for (size_t i = 0; i + 1 < text.size() && bytes.size() < kMaxKeyBytes; i += 2) {
    bytes.push_back(static_cast<uint8_t>(HexValue(static_cast<unsigned char>(text[i])) << 4 |
                                         HexValue(static_cast<unsigned char>(text[i + 1]))));
  }
  return bytes;
}

}  // namespace zoq
