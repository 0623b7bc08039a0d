// A part's decoded content as text to read line by line: SXC content, which
// decodes to one line of XML per document, comes with one element per line
// (xml_lines.h). zoq diff and grep and the browser's comparison and search
// read parts this way.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "zoq/container.h"
#include "zoq/decode_options.h"
#include "zoq/export.h"
#include "zoq/result.h"
#include "zoq/stream.h"
#include "zoq/xml_lines.h"

namespace zoq {

class ZOQ_EXPORT PartTextReader {
 public:
  // Content is taken for binary when its first 8,000 bytes hold a zero
  // byte (as diff and grep tell); text in UTF-16 counts as binary.
  static constexpr size_t kBinaryProbe = 8000;

  PartTextReader();
  ~PartTextReader();
  PartTextReader(const PartTextReader&) = delete;
  PartTextReader& operator=(const PartTextReader&) = delete;

  // Opens the part's content at the revision limit (0: as the package was
  // opened) with the decode options (null: fully decoded without a key).
  Status Open(Container* container, const std::u16string& path, int revision_limit,
              const DecodeOptions* options);
  // The next piece of text in *out (replaced); empty at the end. The first
  // piece holds at least the first kBinaryProbe bytes of the content.
  Status Read(std::string* out);
  // Known after the first Read.
  bool binary() const { return binary_; }
  bool sxc() const { return sxc_; }

 private:
  Status ReadRaw(char* buffer, int64_t size, int64_t* done);

  std::unique_ptr<Stream> content_;
  bool sxc_ = false;
  bool first_ = true;
  bool binary_ = false;
  XmlLineBreaker breaker_;
  std::vector<char> piece_;
};

}  // namespace zoq
