// The two readings of key text (zoq/key_text.h).
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
KeyText ReadRuns(std::basic_string_view<Char> text) {
  KeyText out;
  uint8_t current = 0;
  int digits = 0;
  auto end_run = [&] {
    if (digits == 0) return;
    if (out.bytes.size() >= kMaxKeyBytes) {
      out.truncated = true;
    } else {
      out.bytes.push_back(current);
      if (digits > 2) out.runs_cut = true;
    }
    current = 0;
    digits = 0;
  };
  for (Char c : text) {
    int value = HexValue(static_cast<char32_t>(c));
    if (value >= 0) {
      current = static_cast<uint8_t>((current << 4) | value);
      ++digits;
    } else {
      end_run();
    }
  }
  end_run();
  return out;
}

std::string Describe(char32_t c, size_t position) {
  std::string shown;
  if (c >= 0x21 && c < 0x7F) {
    shown = {'\'', static_cast<char>(c), '\''};
  } else {
    static const char kHex[] = "0123456789abcdef";
    shown = "character U+";
    for (int shift = 12; shift >= 0; shift -= 4) shown += kHex[(c >> shift) & 0xF];
  }
  return shown + " at position " + std::to_string(position + 1);
}

bool IsSeparator(char32_t c) { return c == ' ' || c == ':' || c == '-'; }

template <typename Char>
KeyText ReadStrict(std::basic_string_view<Char> text) {
  KeyText out;
  auto refuse = [&out](std::string problem) {
    out.bytes.clear();
    out.problem = std::move(problem);
    return out;
  };
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && (text[begin] == ' ' || text[begin] == '\t')) ++begin;
  while (end > begin && (text[end - 1] == ' ' || text[end - 1] == '\t')) --end;
  if (begin == end) return refuse("the key is empty");
  bool separated = false;
  for (size_t i = begin; i < end; ++i) separated = separated || IsSeparator(text[i]);
  if (!separated) {
    if (end - begin >= 2 && text[begin] == '0' && (text[begin + 1] == 'x' || text[begin + 1] == 'X')) {
      begin += 2;
      if (begin == end) return refuse("no hexadecimal digits after \"0x\"");
    }
    for (size_t i = begin; i < end; ++i) {
      if (HexValue(text[i]) < 0) return refuse(Describe(text[i], i) + " is not a hexadecimal digit");
    }
    if ((end - begin) % 2 != 0) {
      return refuse("an odd number of hexadecimal digits (" + std::to_string(end - begin) +
                    "); give two digits per byte");
    }
    for (size_t i = begin; i < end; i += 2) {
      out.bytes.push_back(static_cast<uint8_t>(HexValue(text[i]) << 4 | HexValue(text[i + 1])));
    }
  } else {
    size_t i = begin;
    while (i < end) {
      size_t run = i;
      while (run < end && HexValue(text[run]) >= 0) ++run;
      if (run < end && !IsSeparator(text[run])) {
        return refuse(Describe(text[run], run) + " is not a hexadecimal digit or separator");
      }
      if (run - i != 2) {
        return refuse("the group at position " + std::to_string(i + 1) + " has " +
                      std::to_string(run - i) +
                      " digits; separated keys need exactly two digits per byte");
      }
      out.bytes.push_back(static_cast<uint8_t>(HexValue(text[i]) << 4 | HexValue(text[i + 1])));
      i = run;
      if (i < end) {
        ++i;  // the separator
        if (i == end) return refuse("the key ends with a separator");
      }
    }
  }
  if (out.bytes.size() > kMaxKeyBytes) {
    return refuse("the key is longer than " + std::to_string(kMaxKeyBytes) + " bytes");
  }
  return out;
}

template <typename Char>
KeyText Read(std::basic_string_view<Char> text, KeyTextMode mode) {
  return mode == KeyTextMode::kEntry ? ReadRuns(text) : ReadStrict(text);
}

}  // namespace

KeyText ReadKeyText(std::string_view text, KeyTextMode mode) { return Read(text, mode); }

KeyText ReadKeyText(std::u16string_view text, KeyTextMode mode) { return Read(text, mode); }

}  // namespace zoq
