#include "zoq/sxc_tools.h"

#include <cstdio>
#include <memory>
#include <stdexcept>

#include "sxc/file_stream.h"
#include "sxc/schema_codec.h"
#include "sxc/schema_compiler.h"
#include "sxc/schema_dump.h"
#include "sxc/schema_loader.h"
#include "sxc/schema_writer.h"
#include "sxc/sxc_encoder.h"

namespace zoq {
namespace {

bool ReadWholeFile(const std::string& path, std::string* bytes, std::string* error) {
  try {
    CFileStream file(path, false);
    bytes->resize(static_cast<size_t>(file.Size()));
    size_t got = 0;
    if (file.Read(bytes->data(), bytes->size(), &got) != 0) {
      *error = "cannot read " + path;
      return false;
    }
    return true;
  } catch (const std::runtime_error&) {
    *error = "cannot open " + path;
    return false;
  }
}

bool LoadSchema(const std::string& bsg_path, std::shared_ptr<const BinarySchema>* schema, std::string* error) {
  std::string reason;
  if (LoadBinarySchema(bsg_path, schema, &reason)) return true;
  *error = bsg_path + ": " + reason;
  return false;
}

}  // namespace

bool CompileSchemaText(const std::string& xsd_text, std::vector<uint8_t>* bsg, std::string* error) {
  BinarySchema schema;
  if (!CompileXmlSchema(xsd_text, &schema, error)) return false;
  *bsg = SerializeBinarySchema(schema);
  return true;
}

bool CompileSchemaFile(const std::string& xsd_path, const std::string& bsg_path, std::string* error) {
  std::string text;
  if (!ReadWholeFile(xsd_path, &text, error)) return false;
  std::vector<uint8_t> bsg;
  if (!CompileSchemaText(text, &bsg, error)) {
    *error = xsd_path + ": " + *error;
    return false;
  }
  try {
    CFileStream out(bsg_path, true);
    if (!out.Reset() || out.Write(bsg.data(), bsg.size()) != 0 || !out.Flush()) {
      *error = "cannot write " + bsg_path;
      return false;
    }
  } catch (const std::runtime_error&) {
    *error = "cannot create " + bsg_path;
    return false;
  }
  return true;
}

bool DumpSchemaFile(const std::string& bsg_path, std::string* text, std::string* error) {
  std::shared_ptr<const BinarySchema> schema;
  if (!LoadSchema(bsg_path, &schema, error)) return false;
  *text = DumpBinarySchema(*schema);
  return true;
}

bool ReadSxcFile(const std::string& bsg_path, const std::string& sxc_path, SxcFile* file,
                 std::string* error) {
  return LoadSchema(bsg_path, &file->schema, error) && ReadWholeFile(sxc_path, &file->bytes, error);
}

bool DecodeSxcFile(const SxcFile& file, const XmlTextOutput& output, std::string* error,
                   int64_t max_output, DecodeReport* report) {
  SchemaCodec codec(file.schema);
  codec.SetDecodeLimits(0, max_output);
  const bool ok = codec.DecodeToOutput(reinterpret_cast<const uint8_t*>(file.bytes.data()),
                                       file.bytes.size(), output, error);
  if (report != nullptr) {
    report->limit_reached = codec.limit_reached();
    report->reason = ok || error == nullptr ? std::string() : *error;
  }
  return ok;
}

bool DecodeSxcFile(const std::string& bsg_path, const std::string& sxc_path, std::string* xml,
                   std::string* error) {
  SxcFile file;
  if (!ReadSxcFile(bsg_path, sxc_path, &file, error)) return false;
  SchemaCodec codec(file.schema);
  return codec.DecodeToString(reinterpret_cast<const uint8_t*>(file.bytes.data()), file.bytes.size(),
                              xml, error);
}

bool EncodeSxcFile(const std::string& bsg_path, const std::string& xml_path, std::vector<uint8_t>* sxc,
                   EncodeReport* report) {
  std::shared_ptr<const BinarySchema> schema;
  if (!LoadSchema(bsg_path, &schema, &report->reason)) return false;
  SxcEncoder encoder(*schema, report);
  return encoder.EncodeFile(xml_path, sxc);
}

}  // namespace zoq
