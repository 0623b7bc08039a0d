#include "cli/terminal_text.h"

#include <unistd.h>

#include "zoq/utf.h"

namespace zoqcli {
namespace {

constexpr char kHex[] = "0123456789abcdef";

}  // namespace

bool StdoutIsTerminal() {
  static const bool terminal = ::isatty(STDOUT_FILENO) == 1;
  return terminal;
}

bool StderrIsTerminal() {
  static const bool terminal = ::isatty(STDERR_FILENO) == 1;
  return terminal;
}

void AppendPathForStdout(std::u16string_view path, std::string* out) {
  if (!StdoutIsTerminal()) {
    zoq::AppendUtf16ToUtf8Lenient(path, out);
    return;
  }
  std::string text;
  zoq::AppendUtf16ToUtf8Lenient(path, &text);
  *out += EscapeControls(text);
}

std::string EscapeControls(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c < 0x20 || c == 0x7F) {
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 0xF];
    } else if (c == 0xC2 && i + 1 < text.size() &&
               static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
               static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
      // U+0080 to U+009F in UTF-8: C2 80 to C2 9F.
      unsigned char low = static_cast<unsigned char>(text[++i]);
      out += "\\u00";
      out += kHex[low >> 4];
      out += kHex[low & 0xF];
    } else {
      out.push_back(static_cast<char>(c));
    }
  }
  return out;
}

}  // namespace zoqcli
