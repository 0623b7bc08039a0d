// Conversions between UTF-8 and UTF-16, in two kinds:
//  - Strict ones refuse malformed input (overlong forms, surrogate code
//    points in UTF-8, values above U+10FFFF, cut-short sequences): used where
//    a malformed name must not become a different name (package paths).
//  - Lenient ones never fail: each invalid sequence or unpaired surrogate
//    becomes U+FFFD, as the platform converters do (text shown or written).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "zoq/export.h"

namespace zoq {

// Strict UTF-8 -> UTF-16: false for malformed input (*out unspecified).
ZOQ_EXPORT bool Utf8ToUtf16Strict(std::string_view in, std::u16string* out);

// Lenient UTF-8 -> UTF-16.
ZOQ_EXPORT std::u16string Utf8ToUtf16Lenient(std::string_view in);
ZOQ_EXPORT void AppendUtf8ToUtf16Lenient(std::string_view in, std::u16string* out);

// Lenient UTF-16 -> UTF-8 (unpaired surrogates become U+FFFD).
ZOQ_EXPORT std::string Utf16ToUtf8Lenient(std::u16string_view in);
ZOQ_EXPORT void AppendUtf16ToUtf8Lenient(std::u16string_view in, std::string* out);

// Appends UTF-8 `text` unchanged where it is well formed, with U+FFFD in
// place of every invalid sequence.
ZOQ_EXPORT void AppendSanitizedUtf8(std::string_view text, std::string* out);

// Length of the well-formed UTF-8 sequence starting at `p` (1 to 4), or 0 if
// the bytes there do not form one. `end` bounds the look-ahead.
ZOQ_EXPORT size_t Utf8SequenceLength(const unsigned char* p, const unsigned char* end);

}  // namespace zoq
