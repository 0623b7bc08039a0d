#include "app/view/text_format.h"

namespace zoqe {

namespace {

constexpr int kIndentWidth = 4;

bool IsAsciiSpace(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\v' || c == u'\f';
}

void AppendLineBreak(QString* out, int levels) {
  out->append(QLatin1Char('\n'));
  if (levels > 0) out->append(QString(levels * kIndentWidth, QLatin1Char(' ')));
}

}  // namespace

QString TextFromFileBytes(const QByteArray& bytes, bool* was_utf16) {
  QString text;
  const bool utf16 = bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
                     static_cast<unsigned char>(bytes[1]) == 0xFE;
  if (utf16) {
    const qsizetype units = (bytes.size() - 2) / 2;
    text.resize(units);
    const auto* in = reinterpret_cast<const unsigned char*>(bytes.constData()) + 2;
    char16_t* out = reinterpret_cast<char16_t*>(text.data());
    for (qsizetype i = 0; i < units; ++i) {
      out[i] = static_cast<char16_t>(in[2 * i] | (in[2 * i + 1] << 8));
    }
  } else {
    text = QString::fromUtf8(bytes);
  }
  if (was_utf16) *was_utf16 = utf16;
  const qsizetype nul = text.indexOf(QChar(u'\0'));
  if (nul >= 0) text.truncate(nul);
  return text;
}

std::optional<QString> ReindentXml(const QString& text) {
  const char16_t* in = reinterpret_cast<const char16_t*>(text.utf16());
  const qsizetype n = text.size();
  QString out;
  out.reserve(n * 2 + 2000);
  bool in_tag = false;
  bool closed = false;     // the last tag seen closes (end tag, "?", or "/>")
  bool tag_closes = false;  // the tag being read is an end tag or a "<?" tag
  int depth = 0;
  qsizetype pending_first = -1, pending_last = -1;  // text since the last tag

  for (qsizetype i = 0; i < n; ++i) {
    const char16_t c = in[i];
    if (c == u'<' && !in_tag) {
      if (pending_first >= 0) {
        out.append(QStringView(in + pending_first, pending_last - pending_first + 1));
        pending_first = pending_last = -1;
      }
      const bool was_closed = closed;
      const char16_t next = i + 1 < n ? in[i + 1] : u'\0';
      tag_closes = next == u'/' || next == u'?';
      closed = tag_closes;
      if (was_closed || !tag_closes) AppendLineBreak(&out, tag_closes ? depth - 1 : depth);
      if (i + 3 < n && in[i + 1] == u'!' && in[i + 2] == u'-' && in[i + 3] == u'-') {
        const qsizetype end = text.indexOf(QStringLiteral("-->"), i + 4);
        if (end < 0) return std::nullopt;
        out.append(QStringView(in + i, end + 3 - i));
        AppendLineBreak(&out, depth);
        i = end + 2;
        continue;
      }
      out.append(QLatin1Char('<'));
      in_tag = true;
    } else if (c == u'>' && in_tag) {
      pending_first = pending_last = -1;
      if (tag_closes) {
        if (depth > 0) --depth;
      } else if (i > 0 && in[i - 1] == u'/') {
        closed = true;
      } else {
        ++depth;
      }
      in_tag = false;
      out.append(QLatin1Char('>'));
    } else if (c == u'>' || c == u'<') {
      // A stray ">" outside a tag or "<" inside one is dropped.
    } else if (c < 128 && IsAsciiSpace(c)) {
      if (in_tag) out.append(QLatin1Char(' '));
    } else if (in_tag) {
      out.append(QChar(c));
    } else {
      if (pending_first < 0) pending_first = i;
      pending_last = i;
    }
  }
  return out;
}

QString HexDump(const QByteArray& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.constData());
  const qsizetype n = bytes.size();
  QString out;
  out.reserve((n / 16 + 1) * 79);
  auto char_of = [](unsigned char b) {
    return (b < 0x20 || b == 0x7F) ? QChar(u' ') : QChar(static_cast<char16_t>(b));
  };
  for (qsizetype line = 0; line * 16 < n; ++line) {
    const qsizetype start = line * 16;
    const qsizetype count = std::min<qsizetype>(16, n - start);
    out.append(QStringLiteral("%1").arg(static_cast<qulonglong>(line), 8, 16, QLatin1Char('0')));
    out.append(QLatin1String("0h : "));
    for (qsizetype k = 0; k < 16; ++k) {
      if (k < count) {
        const unsigned char b = data[start + k];
        out.append(QLatin1Char(kDigits[b >> 4]));
        out.append(QLatin1Char(kDigits[b & 15]));
        out.append(QLatin1Char(' '));
      } else {
        out.append(QLatin1String("   "));
      }
    }
    out.append(QLatin1String("; "));
    for (qsizetype k = 0; k < 16; ++k) {
      if (k < count) {
        out.append(char_of(data[start + k]));
      } else if (count < 16) {
        out.append(QLatin1String("   "));
      }
    }
    out.append(QLatin1String("\r\n"));
  }
  return out;
}

}  // namespace zoqe
