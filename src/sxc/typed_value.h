// How the encoder reads the text of boolean, integer and floating values.
// The rules are fixed by the stored format, whatever the process locale.
#pragma once

#include <cstdint>

namespace zoq {

// True for "true" or "1", ignoring case; every other text is false.
bool ParseBooleanText(const char* text);
// Leading white space and a sign are allowed; digits up to the first other
// character; 0 when there are none. Values beyond int32 are clamped.
int32_t ParseIntegerText(const char* text);
// The C conversion in the "C" locale (leading white space, exponents, INF and
// NaN forms); 0 when the text holds no number.
double ParseDoubleText(const char* text);

}  // namespace zoq
