// Helpers shared by the stream classes for open modes and access codes.
#pragma once

#include "stream/stream.h"

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

inline bool CanRead(int access) { return access != kAccessWrite; }
inline bool CanWrite(int access) { return access != kAccessRead; }

}  // namespace zoq
