#include "package/path.h"

#include <cstdint>
#include <cstring>

#include "zoq/codes.h"

namespace zoq {
namespace {

constexpr bool IsSeparator(char16_t c) { return c == u'/' || c == u'\\'; }

constexpr bool IsForbidden(char16_t c) {
  switch (c) {
    case 0: case u'\t': case u'\n': case u'\r':
    case u'"': case u'*': case u':': case u'<': case u'>': case u'?': case u'|':
      return true;
    default:
      return false;
  }
}

// The code units below 128 that may not stand in a stored path: the
// forbidden ones and "\\" (stored paths use "/" only).
struct StoredPathRules {
  bool refused[128] = {};
  constexpr StoredPathRules() {
    for (char16_t c = 0; c < 128; ++c) refused[c] = IsForbidden(c) || c == u'\\';
  }
};
constexpr StoredPathRules kStoredPathRules;

// Bytes of a stored UTF-8 path, for the one-pass ASCII check: most copy
// through; a separator ends a component; the rest need a closer look.
enum ByteKind : uint8_t { kCopied = 0, kSlash = 1, kRefusedByte = 2, kHighByte = 3 };
struct ByteKinds {
  uint8_t kind[256] = {};
  constexpr ByteKinds() {
    for (int c = 0; c < 256; ++c) {
      kind[c] = c >= 128                                  ? kHighByte
                : c == '/'                                ? kSlash
                : kStoredPathRules.refused[c]             ? kRefusedByte
                                                          : kCopied;
    }
  }
};
constexpr ByteKinds kByteKinds;

// A component of `length` code units: not empty, "." or "..", not
// beginning with a space, nor ending with one before a "/".
template <typename Char>
bool ComponentAllowed(const Char* part, size_t length, bool before_slash) {
  if (length == 0) return false;
  if (part[0] == '.' && (length == 1 || (length == 2 && part[1] == '.'))) return false;
  return part[0] != ' ' && !(before_slash && part[length - 1] == ' ');
}

}  // namespace

Status NormalizePath(std::u16string_view in, std::u16string* out) {
  if (in.empty()) return kIllegalPath;
  // The leading separator is implied; a relative path hangs below the root.
  size_t start = IsSeparator(in[0]) ? 1 : 0;
  size_t full_length = in.size() + (start == 0 ? 1 : 0);
  if (full_length > kMaxPathLength) return kIllegalPath;

  std::u16string result(u"/");
  for (size_t i = start; i < in.size(); ++i) {
    char16_t c = in[i];
    char16_t p = result.back();
    if (IsForbidden(c)) return kIllegalPath;
    if (c == u' ') {
      if (p == u'/') return kIllegalPath;  // a component may not begin with a space
      result.push_back(c);
    } else if (IsSeparator(c)) {
      if (p == u' ') return kIllegalPath;  // ... nor end with one
      if (p != u'/') result.push_back(u'/');
    } else if (c == u'.' && p == u'/') {
      bool last = i + 1 == in.size();
      bool dot_dot = i + 1 < in.size() && in[i + 1] == u'.' &&
                     (i + 2 == in.size() || IsSeparator(in[i + 2]));
      bool lone_dot = !last && IsSeparator(in[i + 1]);
      if (dot_dot) {
        if (result.size() == 1) return kSitePathAboveRoot;
        // Drop the last component together with its trailing "/".
        size_t cut = result.find_last_of(u'/', result.size() - 2);
        result.resize(cut + 1);
        ++i;  // the second dot
      } else if (last) {
        if (result.size() > 1) result.pop_back();  // "/a/." names /a
      } else if (lone_dot) {
        // "/./" stands for the folder itself: nothing to write.
      } else {
        result.push_back(c);  // a name that begins with a dot
      }
    } else {
      result.push_back(c);
    }
  }
  *out = std::move(result);
  return kOk;
}

bool IsNormalizedPath(std::u16string_view path) {
  // The same rules as NormalizePath, checked in place and in one pass: this
  // runs for every name of every table.
  if (path.empty() || path[0] != u'/' || path.size() > kMaxPathLength) return false;
  const size_t n = path.size();
  size_t start = 1;  // the current component's first code unit
  for (size_t i = 1; i <= n; ++i) {
    if (i < n && path[i] != u'/') {
      const char16_t c = path[i];
      if (c < 128 && kStoredPathRules.refused[c]) return false;
      continue;
    }
    const size_t length = i - start;
    if (length == 0) {
      if (i == n) break;  // "/" itself, or a folder path's final "/"
      return false;       // an empty component
    }
    if (!ComponentAllowed(path.data() + start, length, i < n)) return false;
    start = i + 1;
  }
  return true;
}

AsciiPath WidenAsciiPath(const char* utf8, size_t size, char16_t* out) {
  const auto* in = reinterpret_cast<const uint8_t*>(utf8);
  if (size == 0 || in[0] != '/') return AsciiPath::kRefused;
  out[0] = u'/';
  size_t start = 1;
  for (size_t i = 1; i < size; ++i) {
    const uint8_t c = in[i];
    out[i] = c;
    const uint8_t kind = kByteKinds.kind[c];
    if (kind == kCopied) continue;
    if (kind == kHighByte) return AsciiPath::kNotAscii;
    if (kind == kRefusedByte || !ComponentAllowed(in + start, i - start, true)) {
      return AsciiPath::kRefused;
    }
    start = i + 1;
  }
  // One code unit per byte: the length rule applies to the byte count. A
  // final "/" (a folder path, or "/" itself) leaves an empty last component.
  if (size > kMaxPathLength) return AsciiPath::kRefused;
  if (start < size && !ComponentAllowed(in + start, size - start, false)) {
    return AsciiPath::kRefused;
  }
  return AsciiPath::kNormalized;
}

}  // namespace zoq

namespace zoq {

bool PathLess::operator()(std::u16string_view a, std::u16string_view b) const {
  const size_t n = a.size() < b.size() ? a.size() : b.size();
  size_t i = 0;
  for (; i + 4 <= n; i += 4) {
    uint64_t x, y;
    std::memcpy(&x, a.data() + i, 8);
    std::memcpy(&y, b.data() + i, 8);
    if (x != y) break;
  }
  for (; i < n; ++i) {
    if (a[i] != b[i]) return a[i] < b[i];
  }
  return a.size() < b.size();
}

}  // namespace zoq
