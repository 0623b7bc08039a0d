// Package path rules: normalization of a caller's path and the test whether
// a stored path is already normalized.
#pragma once

#include <string>
#include <string_view>

#include "zoq/result.h"

namespace zoq {

constexpr size_t kMaxPathLength = 259;  // paths are shorter than 260 code units

// Normalizes `in`: adds a leading "/", accepts "\" as separator, collapses
// repeated separators, resolves "." and ".." components. Illegal paths give
// 5050; ".." above the root gives kSitePathAboveRoot.
Status NormalizePath(std::u16string_view in, std::u16string* out);

// True when `path` normalizes to itself (what a stored path must be).
bool IsNormalizedPath(std::u16string_view path);

// A stored UTF-8 path widened to UTF-16 in one pass when it is all ASCII
// (the usual case): the rules of IsNormalizedPath are checked while copying.
enum class AsciiPath { kNormalized, kRefused, kNotAscii };
// Writes up to `size` code units to `out`; only kNormalized leaves them
// meaningful.
AsciiPath WidenAsciiPath(const char* utf8, size_t size, char16_t* out);

}  // namespace zoq

namespace zoq {

// Ordinal (code-unit) order of package paths, comparing four code units at
// a time where the paths agree: paths in one package share long prefixes.
struct PathLess {
  using is_transparent = void;
  bool operator()(std::u16string_view a, std::u16string_view b) const;
};

}  // namespace zoq
