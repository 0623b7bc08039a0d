// The text forms the text view shows: a loaded text file and the hex dump
// of a file's bytes, both as the UTF-8 bytes the view takes.
#pragma once

#include <QByteArray>

namespace zoqe {

struct LoadedText {
  QByteArray utf8;         // what the view shows
  bool was_utf16 = false;  // the file began with the mark FF FE
  // Writing `utf8` back the same way gives the file's bytes again: false
  // when the text was cut at a NUL character or the UTF-16 does not
  // convert both ways (a lone surrogate, an odd last byte).
  bool exact = true;
};

// A text file's bytes as text: after the mark FF FE the rest is UTF-16
// little-endian, otherwise the bytes are taken as UTF-8 as they are (bytes
// that are not UTF-8 stay as they are). The text ends at its first NUL
// character.
LoadedText TextFromFileBytes(const QByteArray& bytes);

// Sixteen bytes a line: "00000001" "0h : " the bytes in hex, "; " and the
// bytes as characters, lines ending "\r\n". Control characters (0x00-0x1F,
// 0x7F), the C1 range 0x80-0x9F and the soft hyphen 0xAD (all drawn with
// no width or as blobs) are shown as spaces, every other byte as the
// character with its code.
QByteArray HexDump(const QByteArray& bytes);

}  // namespace zoqe
