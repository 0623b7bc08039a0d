// Windows over stored data: the bytes of one data record, in the package
// file or in temporary storage.
#pragma once

#include <cstdint>
#include <memory>

#include "zoq/stream.h"

namespace zoq {

// A closed read-only window of `length` bytes at `offset` in `inner`, which
// it takes over (and destroys on failure, answering 5025).
Status ReadOnlyWindow(Stream* inner, int64_t offset, int64_t length, std::unique_ptr<Stream>* out);

}  // namespace zoq
