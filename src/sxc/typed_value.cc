#include "sxc/typed_value.h"

#include <locale.h>
#include <strings.h>

#include <cstdlib>
#include <cstring>

namespace zoq {
namespace {

locale_t CLocale() {
  static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  return locale;
}

}  // namespace

bool ParseBooleanText(const char* text) {
  return strcasecmp(text, "true") == 0 || strcmp(text, "1") == 0;
}

int32_t ParseIntegerText(const char* text) {
  const long long value = strtoll_l(text, nullptr, 10, CLocale());
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(value);
}

double ParseDoubleText(const char* text) { return strtod_l(text, nullptr, CLocale()); }

}  // namespace zoq
