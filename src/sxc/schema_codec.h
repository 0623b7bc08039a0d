// One loaded binary schema bound to the conversions between SXC binary XML
// and XML text. A codec is used by one thread at a time; codecs on several
// threads may share a cached schema.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "zoq/encode_report.h"
#include "sxc/schema.h"
#include "sxc/xml_event_sink.h"

namespace zoq {

class SchemaCodec {
 public:
  // Loads the .bsg file at `path` (through the SchemaCache). Throws
  // std::runtime_error "CFileStream -- Cannot open file!" when the file
  // cannot be opened; answers null, with the reason in `error`, when it is
  // malformed.
  static std::unique_ptr<SchemaCodec> Create(const std::string& path, std::string* error = nullptr);

  explicit SchemaCodec(std::shared_ptr<const BinarySchema> schema);
  ~SchemaCodec();
  SchemaCodec(const SchemaCodec&) = delete;
  SchemaCodec& operator=(const SchemaCodec&) = delete;

  const BinarySchema* schema() const { return schema_.get(); }

  // The limits of the decodes that follow (see decode_budget.h): documents
  // count as stored in `stored` bytes (0: their own size) and may decode to
  // `max_output` bytes of text (0: what their stored size allows).
  void SetDecodeLimits(uint64_t stored, int64_t max_output) {
    stored_ = stored;
    max_output_ = max_output;
  }
  // Whether the last decode failed because it passed its limits.
  bool limit_reached() const { return limit_reached_; }

  // SXC document in `source` -> XML text in `target`. On failure the target
  // is left empty and `error` tells why.
  bool DecodeFile(const std::string& source, const std::string& target, std::string* error = nullptr);
  // SXC bytes -> events. Events sent before a failure stay sent.
  bool DecodeDocument(const uint8_t* data, size_t size, XmlEventSink* sink, std::string* error = nullptr);
  // SXC bytes -> XML text.
  bool DecodeToString(const uint8_t* data, size_t size, std::string* xml, std::string* error = nullptr);
  // SXC bytes -> XML text handed to `output` in pieces as it is produced,
  // so that memory does not grow with the text. Text handed out before a
  // failure stays handed out. When `output` answers false, the decode fails
  // with "cannot write the XML text".
  using TextOutput = std::function<bool(const char* bytes, size_t count)>;
  bool DecodeToOutput(const uint8_t* data, size_t size, const TextOutput& output,
                      std::string* error = nullptr);

  // XML text in `xml_path` -> SXC document in `output_path`. Nothing is
  // written when the document does not encode; `report` (optional) then
  // holds the console message, if one was printed, and a readable reason.
  bool EncodeFile(const std::string& xml_path, const std::string& output_path,
                  EncodeReport* report = nullptr);
  // XML text -> SXC bytes.
  bool EncodeDocument(const char* xml, size_t size, std::vector<uint8_t>* sxc,
                      EncodeReport* report = nullptr);

  // The UTF-16 buffer into which text values are converted for sinks that
  // take UTF-16: at least `units` code units, grown to a multiple of 8.
  char16_t* Scratch(size_t units);
  size_t scratch_capacity() const { return scratch_.size(); }

 private:
  std::shared_ptr<const BinarySchema> schema_;
  std::vector<char16_t> scratch_;
  uint64_t stored_ = 0;
  int64_t max_output_ = 0;
  bool limit_reached_ = false;
};

}  // namespace zoq
