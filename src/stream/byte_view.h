// Read-only views of content that a stream already holds in memory, so that
// a decoder can work straight from those bytes instead of copying them out
// first. Memory streams lend their buffer, dynamic memory streams one block
// at a time, read-only sub-streams whatever their inner stream lends inside
// their window; subclasses of these lend nothing, since they may read
// differently. File streams lend nothing either: a mapped file that another
// process shortens faults on access, and no check made before the access
// can rule that out, so files are always read with pread.
#pragma once

#include <cstdint>

#include "zoq/stream.h"

namespace zoq {

// Points *data at up to `count` contiguous content bytes at the stream's
// position and sets *size to their number (0 at the end of the content).
// The position does not move: a caller that uses the bytes seeks past them.
// Answers false, leaving *data and *size alone, when the stream is not open
// for reading or cannot lend its bytes; the caller then reads them.
bool ViewBytes(Stream* stream, int64_t count, const uint8_t** data, int64_t* size);

}  // namespace zoq
