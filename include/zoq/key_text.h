// Turning the text a user types for a key into key bytes, in one of two
// readings chosen by the caller.
//
// Entry reading (the key dialog's): hexadecimal digits form runs; any other
// character ends a run. Each run gives one byte: every digit shifts the byte
// left by four bits and adds its value, so only the last two digits of a run
// count ("ABC" gives 0xBC; the result says when a run was cut that way). At
// most kMaxKeyBytes bytes are kept; text without any hexadecimal digit gives
// no bytes (a key of length 0). Packages made with keys typed this way must
// keep opening, so the reading never refuses text.
//
// Strict reading (the command-line tool's): either one unbroken run of an even
// number of hexadecimal digits, optionally prefixed by "0x", read as byte pairs
// ("00112233" gives 00 11 22 33), or byte pairs separated by spaces, colons or
// dashes ("00:11:22:33"). Anything else is refused with the reason, so that a
// key is never guessed.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "zoq/export.h"

namespace zoq {

constexpr size_t kMaxKeyBytes = 256;

enum class KeyTextMode { kEntry, kStrict };

struct KeyText {
  std::vector<uint8_t> bytes;
  // Strict reading: why the text was refused (empty when it was accepted;
  // bytes are then empty too).
  std::string problem;
  // Entry reading: a run longer than two digits gave only its last two.
  bool runs_cut = false;
  // Entry reading: text beyond kMaxKeyBytes bytes was ignored.
  bool truncated = false;

  bool ok() const { return problem.empty(); }
};

ZOQ_EXPORT KeyText ReadKeyText(std::string_view text, KeyTextMode mode);
ZOQ_EXPORT KeyText ReadKeyText(std::u16string_view text, KeyTextMode mode);

}  // namespace zoq
