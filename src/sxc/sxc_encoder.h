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

  // From this size of XML text on, the text is parsed on one thread and
  // matched on another (a failed run is repeated on one thread, which
  // reports it). The output is the same either way.
  void SetPipedMinimum(size_t bytes) { piped_minimum_ = bytes; }
  static constexpr size_t kPipedMinimum = size_t{1} << 20;

 private:
  const BinarySchema& schema_;
  EncodeReport* report_;
  size_t piped_minimum_ = kPipedMinimum;
};

}  // namespace zoq
