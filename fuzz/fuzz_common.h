// Helpers shared by the fuzz targets: where the schemas lie and how a whole
// stream or part is read in bounded pieces.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "stream/stream.h"

namespace zoq::fuzz {

// The build folder holding Resource/BinarySchema/ with the bundled schemas.
inline std::string ResourceDir() { return ZOQ_FUZZ_RESOURCE_DIR; }

// The folder with the small test schemas (.bsg) used beside the bundled ones.
inline std::string SchemaDataDir() { return ZOQ_FUZZ_SCHEMA_DATA_DIR; }

// Content larger than this is not read to its end: the targets look for
// faults, not for the end of a long but sound stream.
constexpr int64_t kReadLimit = 16 << 20;

// Reads `stream` to its end (or kReadLimit) in pieces whose sizes vary with
// `seed`; answers the first failure code or 0.
inline int ReadAll(Stream* stream, uint32_t seed, std::vector<uint8_t>* out) {
  static const int64_t kPieces[] = {1, 7, 4096, 65536, 65537, 3, 1 << 20, 16};
  static std::vector<uint8_t> buffer(1 << 20);  // one per process: the targets run on one thread
  int64_t total = 0;
  for (int round = 0; total < kReadLimit; ++round) {
    const int64_t want = kPieces[(seed + static_cast<uint32_t>(round)) % 8];
    int64_t done = 0;
    const int rc = stream->Read(buffer.data(), want, &done);
    if (rc != 0) return rc;
    if (done < 0 || done > want) __builtin_trap();  // a stream claimed too much
    if (done == 0) break;
    if (out) out->insert(out->end(), buffer.data(), buffer.data() + done);
    total += done;
  }
  return 0;
}

}  // namespace zoq::fuzz
