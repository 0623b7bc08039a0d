// File-level operations on schemas and SXC documents, for command-line
// tools: compile an XML Schema to a .bsg file, show a .bsg file as text,
// decode and encode SXC documents.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "zoq/decode_options.h"
#include "zoq/encode_report.h"
#include "zoq/export.h"

namespace zoq {

class BinarySchema;

// Makes CreateStream build SXC conversion streams (kSxcStream), which live
// in the SXC layer above the streams. CreateContainer calls it; a program
// that makes SXC streams without a container calls it once first (until
// then CreateStream answers 3 for that type). Any thread may call it.
ZOQ_EXPORT void RegisterSxcStream();

// XSD file -> .bsg file. `error` names the construct and line on failure.
ZOQ_EXPORT bool CompileSchemaFile(const std::string& xsd_path, const std::string& bsg_path,
                                  std::string* error);
// XSD text -> .bsg bytes.
ZOQ_EXPORT bool CompileSchemaText(const std::string& xsd_text, std::vector<uint8_t>* bsg,
                                  std::string* error);

// The content model of a .bsg file as readable text.
ZOQ_EXPORT bool DumpSchemaFile(const std::string& bsg_path, std::string* text, std::string* error);

// An SXC file read into memory with the schema that decodes it.
struct SxcFile {
  std::shared_ptr<const BinarySchema> schema;
  std::string bytes;
};
ZOQ_EXPORT bool ReadSxcFile(const std::string& bsg_path, const std::string& sxc_path,
                            SxcFile* file, std::string* error);

// SXC file -> XML text handed to `output` in pieces of about 64 KiB as it is
// produced. False, with the reason, for a malformed document, one past its
// decoding limits (report->limit_reached; `max_output` as in DecodeOptions)
// or when `output` answered false; pieces handed out before stay handed out.
using XmlTextOutput = std::function<bool(const char* bytes, size_t count)>;
ZOQ_EXPORT bool DecodeSxcFile(const SxcFile& file, const XmlTextOutput& output, std::string* error,
                              int64_t max_output = 0, DecodeReport* report = nullptr);

// SXC file -> XML text.
ZOQ_EXPORT bool DecodeSxcFile(const std::string& bsg_path, const std::string& sxc_path,
                              std::string* xml, std::string* error);

// XML file -> SXC bytes. On failure the encoder's console message has been
// printed to standard output (when report->print_messages) and is in
// report->message; report->reason says what went wrong and where.
ZOQ_EXPORT bool EncodeSxcFile(const std::string& bsg_path, const std::string& xml_path,
                              std::vector<uint8_t>* sxc, EncodeReport* report);

}  // namespace zoq
