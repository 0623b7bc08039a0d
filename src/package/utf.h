// Conversions between UTF-8 and UTF-16.
#pragma once

#include <string>
#include <string_view>

namespace zoq {

// Strict: overlong forms, surrogate code points, values above U+10FFFF and
// cut-short sequences are refused (false, *out unspecified).
bool Utf8ToUtf16(std::string_view in, std::u16string* out);

// Unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view in);
// The same, appended to `out`.
void AppendUtf8(std::u16string_view in, std::string* out);

}  // namespace zoq
