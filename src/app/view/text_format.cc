#include "app/view/text_format.h"

#include <QString>

#include <algorithm>
#include <cstdio>

namespace zoqe {

LoadedText TextFromFileBytes(const QByteArray& bytes) {
  LoadedText out;
  out.was_utf16 = bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
                  static_cast<unsigned char>(bytes[1]) == 0xFE;
  if (!out.was_utf16) {
    const qsizetype nul = bytes.indexOf('\0');
    out.exact = nul < 0;
    out.utf8 = nul < 0 ? bytes : bytes.left(nul);
    return out;
  }
  const qsizetype units = (bytes.size() - 2) / 2;
  QString text(units, Qt::Uninitialized);
  const auto* in = reinterpret_cast<const unsigned char*>(bytes.constData()) + 2;
  char16_t* wide = reinterpret_cast<char16_t*>(text.data());
  qsizetype length = units;
  for (qsizetype i = 0; i < units; ++i) {
    wide[i] = static_cast<char16_t>(in[2 * i] | (in[2 * i + 1] << 8));
    if (wide[i] == 0) {
      length = i;
      break;
    }
  }
  text.truncate(length);
  out.utf8 = text.toUtf8();
  out.exact = length == units && bytes.size() % 2 == 0 && QString::fromUtf8(out.utf8) == text;
  return out;
}

QByteArray HexDump(const QByteArray& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.constData());
  const qsizetype n = bytes.size();
  QByteArray out;
  out.reserve((n / 16 + 1) * 96);
  char number[16];
  for (qsizetype line = 0; line * 16 < n; ++line) {
    const qsizetype start = line * 16;
    const qsizetype count = std::min<qsizetype>(16, n - start);
    const int written = std::snprintf(number, sizeof number, "%08llx0h : ",
                                      static_cast<unsigned long long>(line));
    out.append(number, written);
    for (qsizetype k = 0; k < 16; ++k) {
      if (k < count) {
        const unsigned char b = data[start + k];
        out.append(kDigits[b >> 4]);
        out.append(kDigits[b & 15]);
        out.append(' ');
      } else {
        out.append("   ", 3);
      }
    }
    out.append("; ", 2);
    for (qsizetype k = 0; k < count; ++k) {
      const unsigned char b = data[start + k];
      // 0xAD (soft hyphen) is drawn with no width, so it would shift the
      // column like the control characters.
      if (b < 0x20 || (b >= 0x7F && b < 0xA0) || b == 0xAD) {
        out.append(' ');
      } else if (b < 0x80) {
        out.append(static_cast<char>(b));
      } else {
        // The character with the byte's code, in UTF-8.
        out.append(static_cast<char>(0xC0 | (b >> 6)));
        out.append(static_cast<char>(0x80 | (b & 0x3F)));
      }
    }
    for (qsizetype k = count; k < 16; ++k) out.append("   ", 3);
    out.append("\r\n", 2);
  }
  return out;
}

}  // namespace zoqe
