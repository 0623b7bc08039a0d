// Turning the text a user types for a key into key bytes.
//
// Key entry: hexadecimal digits form runs; any other character ends a run.
// Each run gives one byte: every digit shifts the byte left by four bits and
// adds its value, so only the last two digits of a run count ("ABC" gives
// 0xBC). At most kMaxKeyBytes bytes are kept; text without any hexadecimal
// digit gives no bytes (a key of length 0).
//
// Key argument: the same, except that one unbroken run of an even number of
// hexadecimal digits is read as consecutive byte pairs ("00112233" gives
// 00 11 22 33), so that keys can be pasted in their usual compact form.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace zoq {

constexpr size_t kMaxKeyBytes = 256;

// The key-entry reading (separated runs).
std::vector<uint8_t> ParseKeyEntryText(std::string_view text);
std::vector<uint8_t> ParseKeyEntryText(std::u16string_view text);

// The key-argument reading (an unbroken even-length run is read as pairs).
std::vector<uint8_t> ParseKeyArgument(std::string_view text);

}  // namespace zoq
