// Conversions between UTF-8 and UTF-16. Malformed input never fails: each
// invalid sequence or unpaired surrogate becomes U+FFFD, as the platform
// converters do.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zoq {

// Appends `text` (UTF-16) as UTF-8.
void AppendUtf16AsUtf8(std::u16string_view text, std::string* out);

// Appends `text` (UTF-8) as UTF-16.
void AppendUtf8AsUtf16(std::string_view text, std::u16string* out);

// Appends `text` (UTF-8) unchanged where it is well formed, with U+FFFD in
// place of every invalid sequence.
void AppendSanitizedUtf8(std::string_view text, std::string* out);

// Length of the well-formed UTF-8 sequence starting at `p` (1 to 4), or 0 if
// the bytes there do not form one. `end` bounds the look-ahead.
size_t Utf8SequenceLength(const unsigned char* p, const unsigned char* end);

std::string ToUtf8(std::u16string_view text);
std::u16string ToUtf16(std::string_view text);

}  // namespace zoq
