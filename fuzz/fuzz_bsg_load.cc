// Loads a binary schema (.bsg) from arbitrary bytes; a schema that loads is
// then used to decode a small fixed document and to encode a small one.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sxc/schema.h"
#include "sxc/schema_codec.h"
#include "sxc/schema_loader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto schema = std::make_shared<zoq::BinarySchema>();
  std::string error;
  if (!zoq::ParseBinarySchema(data, size, schema.get(), &error)) return 0;
  zoq::SchemaCodec codec(schema);
  // An SXC document made of the signature and little else, then XML text.
  static const uint8_t kDocument[] = {'?', '?', 'S', 'X', 'C', 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  std::string xml;
  codec.DecodeToString(kDocument, sizeof kDocument, &xml, &error);
  // The first root element, empty, encoded and decoded again.
  if (schema->roots.empty() || schema->roots[0]->name_utf8.empty()) return 0;
  const std::string text = "<" + schema->roots[0]->name_utf8 + "/>";
  std::vector<uint8_t> sxc;
  zoq::EncodeReport report;
  report.print_messages = false;
  if (codec.EncodeDocument(text.data(), text.size(), &sxc, &report))
    codec.DecodeToString(sxc.data(), sxc.size(), &xml, &error);
  return 0;
}
