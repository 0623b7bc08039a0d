// Names from a package (part names and paths) may hold control characters
// that a terminal would obey: escape sequences, carriage return, bell. Text
// bound for a terminal shows them escaped instead, as \x1b; redirected
// output stays byte for byte what the package holds.
#pragma once

#include <string>
#include <string_view>

namespace zoqcli {

// Whether standard output / standard error is a terminal (asked once).
bool StdoutIsTerminal();
bool StderrIsTerminal();

// The text with every control character escaped: C0 controls and DEL as
// \xHH, C1 controls (U+0080 to U+009F) as \uHHHH. Everything else is
// unchanged; stored names cannot hold a backslash, so an escape shown for a
// name cannot be forged by the name itself.
std::string EscapeControls(std::string_view text);

// EscapeControls(text) when `terminal`, else the text as it is.
inline std::string ForTerminal(std::string_view text, bool terminal) {
  return terminal ? EscapeControls(text) : std::string(text);
}

// Appends a stored path as UTF-8 for standard output: escaped when it is a
// terminal, as stored otherwise.
void AppendPathForStdout(std::u16string_view path, std::string* out);

}  // namespace zoqcli
