// Result codes shared by the stream and package libraries. 0 is success;
// every other value is a failure. Eight-digit "site codes" (module * 10000 +
// place) replace a callee's unspecified failure 1 with where it surfaced.
#pragma once

#include <cstdint>
#include <string>

#include "zoq/error_table.h"
#include "zoq/export.h"

namespace zoq {

enum Result : int {
  kOk = 0,
  kFailed = 1,             // unspecified failure of a called operation
  kNotSupported = 3,       // operation not supported by this object
  kInvalidArgument = 5,    // null pointer, negative size, value out of range
  kNotPossible = 7,        // not possible on this stream (read-only window, ...)
  kOutOfMemory = 8,

  kStreamNotOpen = 6001,
  kStreamWriteOnly = 6002,
  kStreamReadOnly = 6003,
  kCopyFailed = 6004,
  kCreateException = 6005,
  kFileOpenFailed = 6006,
  kEncodeFailed = 6007,
  kDecodeFailed = 6008,
  kBadOpenMode = 6009,
};

// The result of an operation: one of the codes above, a package code
// (codes.h) or a site code. It holds exactly the int that files, logs and
// messages show. The compiler flags a Status that is dropped; a caller that
// means to ignore one says so with IgnoreError() or a cast to void, with a
// comment on why. It converts to and from int, so code that stores or
// compares codes (`rc == 0`, `int code = f()`) keeps working.
class [[nodiscard("a failed operation must be handled or explicitly ignored")]] Status {
 public:
  constexpr Status() = default;
  constexpr Status(int code) : code_(code) {}  // NOLINT(google-explicit-constructor)
  constexpr operator int() const { return code_; }  // NOLINT(google-explicit-constructor)

  constexpr bool ok() const { return code_ == kOk; }
  constexpr int code() const { return code_; }

  // A short text of the code: the package message for package codes (in
  // `language`), a text of where it surfaced for site codes, "error N" for
  // an unknown code. Texts other than the package messages are English.
  ZOQ_EXPORT std::string ToText(MessageLanguage language) const;
  // The same in the language ZOQ_LANG names (Chinese when it names none).
  ZOQ_EXPORT std::string ToText() const;

  // Marks a result that is deliberately not acted on.
  constexpr void IgnoreError() const {}

 private:
  int code_ = kOk;
};

// Replaces the unspecified failure 1 with a site code; passes any other code on.
constexpr Status AtSite(int code, int site) { return code == kFailed ? site : code; }

}  // namespace zoq
