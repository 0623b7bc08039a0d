// The message texts of the public package codes, in Chinese (the table of
// record) and in English, the lookup from a code to its text, and the text
// of any result code the library has one for.
#pragma once

#include <cstdint>

#include "zoq/export.h"

namespace zoq {

struct PackageErrorEntry {
  int32_t code;
  const char* text;  // UTF-8, begins with "ZOQ:"
};

// The Chinese table in code order, ended by the pair whose code is -1 (text
// null).
extern ZOQ_EXPORT const PackageErrorEntry kPackageErrorTable[];

// The UTF-8 Chinese message of `code`, or null when the table has no such
// code (site codes, stream codes and generic codes have none).
ZOQ_EXPORT const char* PackageErrorText(int code);

// The languages the library has message texts in.
enum class MessageLanguage { kChinese, kEnglish };

// The message of `code` in `language` (UTF-8, beginning with "ZOQ:"), or null
// for the codes PackageErrorText(code) has none for.
ZOQ_EXPORT const char* PackageErrorText(int code, MessageLanguage language);

// The text of any result code in `language`: the package message, else the
// library's short English text of a generic, stream or site code (a site
// code's text says where it surfaced), else null. Status::ToText() adds the
// site code's module and number, and "error N" for codes without a text.
ZOQ_EXPORT const char* ResultCodeText(int code, MessageLanguage language);

// Reads a language name as ZOQ_LANG gives it: "en" or "zh", in any case, alone
// or followed by a region or encoding ("en_US.UTF-8", "zh-CN"). Returns false
// (and leaves *language alone) for null, empty and other names.
ZOQ_EXPORT bool ParseMessageLanguage(const char* name, MessageLanguage* language);

// The language the environment variable ZOQ_LANG names; Chinese when it is
// unset or names no language the library has.
ZOQ_EXPORT MessageLanguage MessageLanguageFromEnvironment();

}  // namespace zoq
