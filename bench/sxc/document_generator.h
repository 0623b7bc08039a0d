// Generates XML documents of the bundled PLIV document model for the
// benchmarks: sections with headings, paragraphs with inline markup, lists,
// tables of typed cells and figures, deterministic for a given seed.
#pragma once

#include <cstddef>
#include <string>

namespace zoq::bench {

std::string GenerateDocument(size_t approximate_bytes, unsigned seed = 7);

}  // namespace zoq::bench
