// Clone for the streams that own an inner stream (decorators, sub-streams).
#pragma once

#include "zoq/stream.h"

namespace zoq {

// Clones `inner` and builds the new outer stream over the copy with `make`,
// which takes the copy over by reference as the constructors do. Null when
// either step fails; a copy not taken over is destroyed.
template <typename Make>
Stream* CloneOver(Stream* inner, Make make) {
  Stream* copy = inner->Clone();
  if (copy == nullptr) return nullptr;
  try {
    return make(copy);
  } catch (...) {
    delete copy;
    return nullptr;
  }
}

}  // namespace zoq
