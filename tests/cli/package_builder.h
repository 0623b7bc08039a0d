// Writes small single-revision packages for tests that need parts the
// conformance corpus does not have (SXC-coded parts, PLIV documents).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zoqtest {

struct PartSpec {
  std::string path;            // package path, e.g. "/doc.xml"
  std::vector<uint8_t> codes;  // ECS codes the stored bytes went through
  std::string stored;          // the stored bytes
};

// One entry (tables uncompressed, offset width 4), format version 1.0 or 1.1.
std::string BuildPackage(const std::vector<PartSpec>& parts, int version = 0x0101);

}  // namespace zoqtest
