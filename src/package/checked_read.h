// Reading from a decoding stream so that a decoding failure is seen. A
// decorator's Read delivers what it has and answers 0 even when the decoder
// failed; only PeekByte reports the failure. These helpers turn it into 6008.
#pragma once

#include <cstdint>
#include <vector>

#include "zoq/stream.h"

namespace zoq {

// Reads up to `count` bytes. A short read that is not the end of the
// content answers 6008 (what was read is still counted in *done).
Status CheckedRead(Stream* stream, void* buffer, int64_t count, int64_t* done);

// Reads the stream to its end, appending to *out; more than `limit` bytes
// answers `too_big`.
Status ReadAllChecked(Stream* stream, std::vector<uint8_t>* out, int64_t limit, int too_big);

// Copies the stream to its end into `sink` at its current position; adds
// the number of bytes to *copied.
Status CopyChecked(Stream* source, Stream* sink, int64_t* copied);

}  // namespace zoq
