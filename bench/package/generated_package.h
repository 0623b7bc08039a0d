// Writes a package of many small parts for benchmarks: `revisions` entries
// of `parts_per_revision` created parts each, with compressed tables.
#pragma once

#include <string>

namespace zoq::bench {

// Returns false when the file cannot be written.
bool WriteGeneratedPackage(const std::string& path, int revisions, int parts_per_revision);

}  // namespace zoq::bench
