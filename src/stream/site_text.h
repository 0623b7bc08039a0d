// A layer's table of site code texts and the lookup in it.
#pragma once

#include <algorithm>
#include <cstddef>
#include <iterator>

namespace zoq {

struct SiteText {
  int code;
  const char* text;
};

// Whether a table is in strictly rising code order, as the lookup needs.
template <size_t N>
constexpr bool InCodeOrder(const SiteText (&table)[N]) {
  for (size_t i = 1; i < N; ++i) {
    if (table[i - 1].code >= table[i].code) return false;
  }
  return true;
}

// The text of `code` in a table kept in code order, or null.
template <size_t N>
const char* FindSiteText(const SiteText (&table)[N], int code) {
  const SiteText* end = std::end(table);
  const SiteText* at = std::lower_bound(std::begin(table), end, code,
                                        [](const SiteText& s, int c) { return s.code < c; });
  return at != end && at->code == code ? at->text : nullptr;
}

}  // namespace zoq
