#include "sxc/sxc_writer.h"

#include <cstring>

#include "sxc/byte_coder.h"
#include "sxc/sxc_format.h"
#include "sxc/zlib_codec.h"

namespace zoq {
namespace {

void PutInt(std::vector<uint8_t>* out, int32_t value) {
  const auto v = static_cast<uint32_t>(value);
  out->push_back(static_cast<uint8_t>(v));
  out->push_back(static_cast<uint8_t>(v >> 8));
  out->push_back(static_cast<uint8_t>(v >> 16));
  out->push_back(static_cast<uint8_t>(v >> 24));
}

void Append(std::vector<uint8_t>* out, const void* data, size_t size) {
  const size_t at = out->size();
  out->resize(at + size);
  if (size > 0) memcpy(out->data() + at, data, size);
}

void SetInt(std::vector<uint8_t>* out, size_t at, size_t value) {
  const auto v = static_cast<uint32_t>(value);
  (*out)[at] = static_cast<uint8_t>(v);
  (*out)[at + 1] = static_cast<uint8_t>(v >> 8);
  (*out)[at + 2] = static_cast<uint8_t>(v >> 16);
  (*out)[at + 3] = static_cast<uint8_t>(v >> 24);
}

// Value classes in the order their shared blocks are written.
int ClassOf(int value_type) {
  if (IsFloating(value_type)) return 1;
  if (IsBooleanOrInteger(value_type)) return 2;
  return 0;
}

bool WriteValueSection(const BinarySchema& schema, const EncodedDocument& doc, std::vector<uint8_t>* out,
                       size_t* directory_offset) {
  const auto& streams = *doc.streams;
  const auto& has = *doc.has_stream;
  std::vector<uint8_t> directory;
  int32_t individual_count = 0;
  std::vector<int> grouped[3];
  for (size_t i = 0; i < streams.size(); ++i) {
    if (!has[i]) continue;
    if (streams[i].size() > kGroupedStreamLimit) {
      const size_t before = out->size();
      if (!DeflateAll(reinterpret_cast<const uint8_t*>(streams[i].data()), streams[i].size(), out)) {
        return false;
      }
      PutInt(&directory, static_cast<int32_t>(i));
      PutInt(&directory, static_cast<int32_t>(out->size() - before));
      ++individual_count;
    } else {
      grouped[ClassOf(schema.nodes[i].value_type)].push_back(static_cast<int>(i));
    }
  }
  int32_t group_count = 0;
  for (const auto& members : grouped) {
    if (members.empty()) continue;
    const size_t before = out->size();
    Deflater deflater;
    for (int node : members) {
      if (!deflater.Add(reinterpret_cast<const uint8_t*>(streams[node].data()), streams[node].size(), out)) {
        return false;
      }
    }
    if (!deflater.Finish(out)) return false;
    PutInt(&directory, static_cast<int32_t>(members.size()));
    PutInt(&directory, static_cast<int32_t>(out->size() - before));
    for (int node : members) {
      PutInt(&directory, node);
      PutInt(&directory, static_cast<int32_t>(streams[node].size()));
    }
    ++group_count;
  }
  std::vector<uint8_t> counts;
  PutInt(&counts, individual_count);
  PutInt(&counts, group_count);
  Append(&counts, directory.data(), directory.size());
  directory.swap(counts);
  *directory_offset = out->size();
  out->push_back(0);  // reserved
  out->push_back(1);  // the directory is compressed
  return DeflateAll(directory.data(), directory.size(), out);
}

}  // namespace

bool WriteSxcDocument(const BinarySchema& schema, const EncodedDocument& doc, std::vector<uint8_t>* out) {
  out->clear();
  Append(out, kSxcSignature, sizeof kSxcSignature);
  PutInt(out, kSxcVersion);
  Append(out, schema.identifier.data(), schema.identifier.size());
  out->push_back(0);
  bool has_values = false;
  for (uint8_t h : *doc.has_stream) has_values = has_values || h != 0;
  const bool has_structure = schema.roots.size() != 1 || !doc.root_bytes->empty();
  out->push_back(static_cast<uint8_t>((has_values ? kHasValues : 0) | (has_structure ? kHasStructure : 0)));
  const size_t fields = out->size();
  out->resize(fields + (has_structure ? 8 : 0) + (has_values ? 16 : 0), 0);
  size_t at = fields;
  if (has_structure) {
    std::vector<uint8_t> structure;
    if (schema.roots.size() >= 2) {
      const ByteCode code = ByteCoder::Encode(static_cast<uint32_t>(schema.RootIndex(doc.root)));
      Append(&structure, code.bytes, code.length);
    }
    Append(&structure, doc.root_bytes->data(), doc.root_bytes->size());
    const size_t start = out->size();
    if (!DeflateAll(structure.data(), structure.size(), out)) return false;
    SetInt(out, at, start);
    SetInt(out, at + 4, out->size() - start);
    at += 8;
  }
  if (has_values) {
    const size_t start = out->size();
    size_t directory_offset = 0;
    if (!WriteValueSection(schema, doc, out, &directory_offset)) return false;
    SetInt(out, at, start);
    SetInt(out, at + 4, directory_offset - start);
    SetInt(out, at + 8, directory_offset);
    SetInt(out, at + 12, out->size() - directory_offset);
  }
  return true;
}

}  // namespace zoq
