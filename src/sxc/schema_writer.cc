#include "sxc/schema_writer.h"

#include <openssl/evp.h>

#include <cstring>

namespace zoq {
namespace {

void PutInt(std::vector<uint8_t>* out, int32_t value) {
  const auto v = static_cast<uint32_t>(value);
  for (int shift = 0; shift < 32; shift += 8) out->push_back(static_cast<uint8_t>(v >> shift));
}

void PutList(std::vector<uint8_t>* out, const std::vector<const SchemaNode*>& nodes) {
  PutInt(out, static_cast<int32_t>(nodes.size()));
  for (const SchemaNode* node : nodes) PutInt(out, node->index);
}

}  // namespace

std::vector<uint8_t> SerializeSchemaBody(const BinarySchema& schema) {
  std::vector<uint8_t> out;
  PutInt(&out, static_cast<int32_t>(schema.nodes.size()));
  for (const SchemaNode& node : schema.nodes) {
    out.push_back(static_cast<uint8_t>(node.kind));
    if (node.IsAttribute() || node.IsElement()) {
      PutInt(&out, static_cast<int32_t>(node.name.size()));
      for (char16_t unit : node.name) {
        out.push_back(static_cast<uint8_t>(unit));
        out.push_back(static_cast<uint8_t>(unit >> 8));
      }
      out.push_back(static_cast<uint8_t>(node.value_type));
    }
    if (node.IsAttribute()) {
      out.push_back(node.IsOptional() ? 0 : 1);
      continue;
    }
    PutInt(&out, node.min_occurs);
    PutInt(&out, node.max_occurs);
    if (node.IsElement()) {
      out.push_back(node.mixed ? 1 : 0);
      PutList(&out, node.attributes);
    }
    PutList(&out, node.children);
  }
  PutList(&out, schema.roots);
  return out;
}

std::vector<uint8_t> SerializeBinarySchema(const BinarySchema& schema) {
  const std::vector<uint8_t> body = SerializeSchemaBody(schema);
  std::vector<uint8_t> out(22 + schema.identifier.size() + body.size(), 0);
  memcpy(out.data(), kBsgMagic, sizeof kBsgMagic);  // with its zero
  out[8] = 1;                                       // format version 1
  memcpy(out.data() + 22, schema.identifier.data(), schema.identifier.size());
  memcpy(out.data() + 22 + schema.identifier.size(), body.data(), body.size());
  return out;
}

void DeriveSchemaIdentifier(BinarySchema* schema) {
  const std::vector<uint8_t> body = SerializeSchemaBody(*schema);
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  EVP_Digest(body.data(), body.size(), digest, &length, EVP_sha256(), nullptr);
  memcpy(schema->identifier.data(), digest, schema->identifier.size());
}

}  // namespace zoq
