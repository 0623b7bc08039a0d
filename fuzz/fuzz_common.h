// Helpers shared by the fuzz targets: where the schemas lie, how a set of
// them is loaded, and how a whole stream or part is read in bounded pieces.
#pragma once
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "zoq/stream.h"
#include "sxc/schema_codec.h"

namespace zoq::fuzz {

// The build folder holding Resource/BinarySchema/ with the bundled schemas.
inline std::string ResourceDir() { return ZOQ_FUZZ_RESOURCE_DIR; }

// The folder with the small test schemas (.bsg) used beside the bundled ones.
inline std::string SchemaDataDir() { return ZOQ_FUZZ_SCHEMA_DATA_DIR; }

using Codecs = std::vector<std::unique_ptr<SchemaCodec>>;

// Loads the bundled schemas named in `bundled` and the test schemas named in
// `test_data`, in that order, skipping any that fail to load. The result lives
// for the whole process (the targets keep it in a static). Traps when none
// loads: the build lost its schemas and every input would test nothing.
inline Codecs* LoadCodecs(std::initializer_list<const char*> bundled,
                          std::initializer_list<const char*> test_data) {
  auto* codecs = new Codecs;
  std::vector<std::string> paths;
  for (const char* name : bundled) paths.push_back(ResourceDir() + "/Resource/BinarySchema/" + name);
  for (const char* name : test_data) paths.push_back(SchemaDataDir() + "/" + name);
  for (const std::string& path : paths) {
    try {
      std::string error;
      auto codec = SchemaCodec::Create(path, &error);
      if (codec) codecs->push_back(std::move(codec));
    } catch (...) {
    }
  }
  if (codecs->empty()) __builtin_trap();
  return codecs;
}

// The codec the first input byte picks.
inline SchemaCodec* PickCodec(const Codecs& codecs, uint8_t selector) {
  return codecs[selector % codecs.size()].get();
}

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
