// Helpers shared by the stream classes for open modes and access codes.
#pragma once

#include "zoq/stream.h"

namespace zoq {

inline bool IsValidOpenMode(int mode) { return mode >= kModeClose && mode <= kModeReadWriteNew; }

// The access a stream has after Open(mode).
inline int AccessOfMode(int mode) {
  switch (mode) {
    case kModeWrite:
    case kModeAppend:
      return kAccessWrite;
    case kModeReadWrite:
    case kModeReadWriteNew:
      return kAccessReadWrite;
    default:
      return kAccessRead;
  }
}

inline bool IsValidAccess(int access) { return access >= kAccessReadWrite && access <= kAccessWrite; }

// Storage-stream rule for SetAccess: equal succeeds, read-write may narrow to
// read or write, and narrowed access never widens again.
inline bool MayChangeAccess(int current, int requested) {
  return current == requested || (current == kAccessReadWrite && IsValidAccess(requested));
}

// kStreamNotOpen, kStreamWriteOnly or kOk: whether a stream that is `open`
// with `access` may be read.
inline Status ReadCheck(bool open, int access) {
  if (!open) return kStreamNotOpen;
  return access == kAccessWrite ? kStreamWriteOnly : kOk;
}

// kStreamNotOpen, kStreamReadOnly or kOk: whether it may be written.
inline Status WriteCheck(bool open, int access) {
  if (!open) return kStreamNotOpen;
  return access == kAccessRead ? kStreamReadOnly : kOk;
}

// Where a seek by `offset` from `origin` lands, given the positions of the
// start, the cursor and the end. False for an unknown origin or an overflow;
// the caller checks the range.
inline bool SeekTarget(int64_t offset, int origin, int64_t start, int64_t current, int64_t end,
                       int64_t* target) {
  int64_t base;
  switch (origin) {
    case kSeekSet: base = start; break;
    case kSeekCur: base = current; break;
    case kSeekEnd: base = end; break;
    default: return false;
  }
  return !__builtin_add_overflow(base, offset, target);
}

inline bool IsValidOrigin(int origin) { return origin >= kSeekSet && origin <= kSeekEnd; }

inline bool CanRead(int access) { return access != kAccessWrite; }
inline bool CanWrite(int access) { return access != kAccessRead; }

}  // namespace zoq
