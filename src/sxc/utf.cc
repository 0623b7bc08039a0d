#include "sxc/utf.h"

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

void AppendUtf16AsUtf8(std::u16string_view text, std::string* out) {
  out->reserve(out->size() + text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c < 0x80) {
      out->push_back(static_cast<char>(c));
      continue;
    }
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = kReplacement;
    }
    AppendCodePoint(c, out);
  }
}

void AppendUtf8AsUtf16(std::string_view text, std::u16string* out) {
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

std::string ToUtf8(std::u16string_view text) {
  std::string out;
  AppendUtf16AsUtf8(text, &out);
  return out;
}

std::u16string ToUtf16(std::string_view text) {
  std::u16string out;
  AppendUtf8AsUtf16(text, &out);
  return out;
}

}  // namespace zoq
