// Strict and lenient conversions between UTF-8 and UTF-16 (zoq/utf.h).
#include "zoq/utf.h"

#include <cstdint>
#include <cstring>

namespace zoq {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendCodePoint(char32_t c, std::string* out) {
  if (c < 0x80) {
    out->push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (c >> 6)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (c >> 12)));
    out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (c >> 18)));
    out->push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

char32_t DecodeSequence(const unsigned char* p, size_t length) {
  switch (length) {
    case 1:
      return p[0];
    case 2:
      return ((p[0] & 0x1F) << 6) | (p[1] & 0x3F);
    case 3:
      return ((p[0] & 0x0F) << 12) | ((p[1] & 0x3F) << 6) | (p[2] & 0x3F);
    default:
      return ((p[0] & 0x07) << 18) | ((p[1] & 0x3F) << 12) | ((p[2] & 0x3F) << 6) | (p[3] & 0x3F);
  }
}

}  // namespace

bool Utf8ToUtf16Strict(std::string_view in, std::u16string* out) {
  out->clear();
  out->reserve(in.size());
  size_t i = 0;
  while (i < in.size()) {
    // Runs of ASCII, the usual content of a path, are copied in one go.
    size_t ascii = i;
    while (ascii < in.size() && static_cast<uint8_t>(in[ascii]) < 0x80) ++ascii;
    if (ascii > i) {
      out->append(in.begin() + static_cast<std::ptrdiff_t>(i),
                  in.begin() + static_cast<std::ptrdiff_t>(ascii));
      i = ascii;
      continue;
    }
    uint8_t b = static_cast<uint8_t>(in[i]);
    int extra;
    uint32_t cp;
    uint32_t min;
    if ((b & 0xE0) == 0xC0) {
      extra = 1, cp = b & 0x1F, min = 0x80;
    } else if ((b & 0xF0) == 0xE0) {
      extra = 2, cp = b & 0x0F, min = 0x800;
    } else if ((b & 0xF8) == 0xF0) {
      extra = 3, cp = b & 0x07, min = 0x10000;
    } else {
      return false;
    }
    if (in.size() - i <= static_cast<size_t>(extra)) return false;
    for (int k = 1; k <= extra; ++k) {
      uint8_t c = static_cast<uint8_t>(in[i + k]);
      if ((c & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (c & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out->push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out->push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out->push_back(static_cast<char16_t>(cp));
    }
    i += extra + 1;
  }
  return true;
}

std::string Utf16ToUtf8Lenient(std::u16string_view in) {
  std::string out;
  AppendUtf16ToUtf8Lenient(in, &out);
  return out;
}

void AppendUtf16ToUtf8Lenient(std::u16string_view in, std::string* to) {
  std::string& out = *to;
  // A leading run of ASCII, the usual content of a path, is copied in one
  // pass into room for all of it.
  const size_t start = out.size();
  out.resize(start + in.size());
  char* ascii = out.data() + start;
  size_t i = 0;
  // Four code units a step while all four are ASCII: their low bytes
  // gathered into one 32-bit store.
  for (; i + 4 <= in.size(); i += 4) {
    uint64_t units;
    std::memcpy(&units, in.data() + i, 8);
    if ((units & 0xFF80FF80FF80FF80ull) != 0) break;
    const auto bytes = static_cast<uint32_t>((units & 0xFF) | ((units >> 8) & 0xFF00) |
                                             ((units >> 16) & 0xFF0000) |
                                             ((units >> 24) & 0xFF000000));
    std::memcpy(ascii + i, &bytes, 4);
  }
  for (; i < in.size() && in[i] < 0x80; ++i) ascii[i] = static_cast<char>(in[i]);
  out.resize(start + i);
  for (; i < in.size(); ++i) {
    uint32_t cp = in[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < in.size() && in[i + 1] >= 0xDC00 &&
        in[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (in[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    AppendCodePoint(cp, &out);
  }
}


size_t Utf8SequenceLength(const unsigned char* p, const unsigned char* end) {
  const unsigned char b = p[0];
  if (b < 0x80) return 1;
  auto cont = [&](size_t i) { return p + i < end && (p[i] & 0xC0) == 0x80; };
  if (b >= 0xC2 && b <= 0xDF) return cont(1) ? 2 : 0;
  if (b >= 0xE0 && b <= 0xEF) {
    if (!cont(1) || !cont(2)) return 0;
    if (b == 0xE0 && p[1] < 0xA0) return 0;   // overlong
    if (b == 0xED && p[1] >= 0xA0) return 0;  // surrogate
    return 3;
  }
  if (b >= 0xF0 && b <= 0xF4) {
    if (!cont(1) || !cont(2) || !cont(3)) return 0;
    if (b == 0xF0 && p[1] < 0x90) return 0;  // overlong
    if (b == 0xF4 && p[1] >= 0x90) return 0;  // above U+10FFFF
    return 4;
  }
  return 0;
}

void AppendUtf8ToUtf16Lenient(std::string_view text, std::u16string* out) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const auto* end = p + text.size();
  out->reserve(out->size() + text.size());
  while (p < end) {
    if (*p < 0x80) {
      out->push_back(*p++);
      continue;
    }
    const size_t n = Utf8SequenceLength(p, end);
    if (n == 0) {
      out->push_back(static_cast<char16_t>(kReplacement));
      ++p;
      continue;
    }
    const char32_t c = DecodeSequence(p, n);
    p += n;
    if (c >= 0x10000) {
      out->push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
      out->push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
    } else {
      out->push_back(static_cast<char16_t>(c));
    }
  }
}

void AppendSanitizedUtf8(std::string_view text, std::string* out) {
  const auto* begin = reinterpret_cast<const unsigned char*>(text.data());
  const auto* p = begin;
  const auto* end = p + text.size();
  const auto* run = p;
  while (p < end) {
    if (*p < 0x80) {
      ++p;
      continue;
    }
    const size_t n = Utf8SequenceLength(p, end);
    if (n != 0) {
      p += n;
      continue;
    }
    out->append(reinterpret_cast<const char*>(run), p - run);
    AppendCodePoint(kReplacement, out);
    run = ++p;
  }
  out->append(reinterpret_cast<const char*>(run), p - run);
}

std::u16string Utf8ToUtf16Lenient(std::string_view text) {
  std::u16string out;
  AppendUtf8ToUtf16Lenient(text, &out);
  return out;
}

}  // namespace zoq
