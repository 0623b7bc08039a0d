// The text forms the text view shows: a loaded text file, re-indented XML
// and the hex dump of a file's bytes.
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace zoqe {

// A text file's bytes as text: after the mark FF FE the rest is UTF-16
// little-endian (sets *was_utf16), otherwise UTF-8. The text ends at its
// first NUL character.
QString TextFromFileBytes(const QByteArray& bytes, bool* was_utf16 = nullptr);

// Lays XML out one tag per line, four spaces per level of nesting. Text
// between tags stays beside its tags; white space outside tags and text
// after the last tag are dropped. Fails (nullopt) on a comment that does
// not end with "-->".
std::optional<QString> ReindentXml(const QString& text);

// Sixteen bytes a line: "00000001" "0h : " the bytes in hex, "; " and the
// bytes as characters (control characters as spaces), lines ending "\r\n".
QString HexDump(const QByteArray& bytes);

}  // namespace zoqe
