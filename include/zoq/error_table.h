// The message texts of the public package codes, and the lookup from a code
// to its text.
#pragma once

#include <cstdint>

#include "zoq/export.h"

namespace zoq {

struct PackageErrorEntry {
  int32_t code;
  const char* text;  // UTF-8, begins with "ZOQ:"
};

// The table in code order, ended by the pair whose code is -1 (text null).
extern ZOQ_EXPORT const PackageErrorEntry kPackageErrorTable[];

// The UTF-8 message of `code`, or null when the table has no such code (site
// codes, stream codes and generic codes have none).
ZOQ_EXPORT const char* PackageErrorText(int code);

}  // namespace zoq
