// Encodes XML text into an SXC document: parses it with expat (no namespace
// processing), matches it against the schema, checks that the structure and
// values it gathered decode to exactly what it matched (the decoder's own
// walk over them), and writes the SXC bytes; a run never reports success for
// output that would decode to a different document.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "zoq/encode_report.h"
#include "sxc/schema.h"

namespace zoq {

class SxcEncoder {
 public:
  SxcEncoder(const BinarySchema& schema, EncodeReport* report);

  // Reads the XML file at `path` in 64 KiB pieces.
  bool EncodeFile(const std::string& path, std::vector<uint8_t>* sxc);
  bool EncodeBuffer(const char* xml, size_t size, std::vector<uint8_t>* sxc);

 private:
  const BinarySchema& schema_;
  EncodeReport* report_;
};

}  // namespace zoq
