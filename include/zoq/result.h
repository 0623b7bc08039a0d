// Result codes shared by the stream and package libraries. 0 is success;
// every other value is a failure. Eight-digit "site codes" (module * 10000 +
// place) replace a callee's unspecified failure 1 with where it surfaced.
#pragma once

#include <cstdint>

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

// Replaces the unspecified failure 1 with a site code; passes any other code on.
constexpr int AtSite(int code, int site) { return code == kFailed ? site : code; }

}  // namespace zoq
