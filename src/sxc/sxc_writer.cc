#include "sxc/sxc_writer.h"

#include <cstring>

#include "sxc/byte_coder.h"
#include "sxc/parallel_deflate.h"
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

const uint8_t* Bytes(const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); }

// Which value streams get a block of their own and which share one block
// per value class, in the order the blocks are written.
struct ValueLayout {
  std::vector<int> individual;
  std::vector<int> grouped[3];
};

ValueLayout LayOutValues(const BinarySchema& schema, const EncodedDocument& doc) {
  ValueLayout layout;
  const auto& streams = *doc.streams;
  const auto& has = *doc.has_stream;
  for (size_t i = 0; i < streams.size(); ++i) {
    if (!has[i]) continue;
    if (streams[i].size() > kGroupedStreamLimit) {
      layout.individual.push_back(static_cast<int>(i));
    } else {
      layout.grouped[ClassOf(schema.nodes[i].value_type)].push_back(static_cast<int>(i));
    }
  }
  return layout;
}

// Writes the value blocks compressed by `jobs` (from `first_job` on) and the
// directory part after them.
bool WriteValueSection(const EncodedDocument& doc, const ValueLayout& layout,
                       std::vector<DeflateJob>& jobs, size_t first_job, std::vector<uint8_t>* out,
                       size_t* directory_offset) {
  const auto& streams = *doc.streams;
  std::vector<uint8_t> directory;
  PutInt(&directory, static_cast<int32_t>(layout.individual.size()));
  PutInt(&directory, 0);  // group count, set below
  size_t job = first_job;
  for (int node : layout.individual) {
    const std::vector<uint8_t>& block = jobs[job++].output;
    Append(out, block.data(), block.size());
    PutInt(&directory, node);
    PutInt(&directory, static_cast<int32_t>(block.size()));
  }
  int32_t group_count = 0;
  for (const auto& members : layout.grouped) {
    if (members.empty()) continue;
    const std::vector<uint8_t>& block = jobs[job++].output;
    Append(out, block.data(), block.size());
    PutInt(&directory, static_cast<int32_t>(members.size()));
    PutInt(&directory, static_cast<int32_t>(block.size()));
    for (int node : members) {
      PutInt(&directory, node);
      PutInt(&directory, static_cast<int32_t>(streams[node].size()));
    }
    ++group_count;
  }
  SetInt(&directory, 4, static_cast<size_t>(group_count));
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

  // Every section and block is a zlib stream of its own: compress them all
  // at once, then lay them out in order.
  std::vector<uint8_t> root_code;
  if (has_structure && schema.roots.size() >= 2) {
    const ByteCode code = ByteCoder::Encode(static_cast<uint32_t>(schema.RootIndex(doc.root)));
    root_code.assign(code.bytes, code.bytes + code.length);
  }
  std::vector<DeflateJob> jobs;
  if (has_structure) {
    jobs.emplace_back();
    jobs.back().pieces = {{root_code.data(), root_code.size()},
                          {doc.root_bytes->data(), doc.root_bytes->size()}};
  }
  const size_t first_value_job = jobs.size();
  ValueLayout layout;
  if (has_values) {
    layout = LayOutValues(schema, doc);
    const auto& streams = *doc.streams;
    for (int node : layout.individual) {
      jobs.emplace_back();
      jobs.back().pieces = {{Bytes(streams[node]), streams[node].size()}};
      if (doc.early_chunks != nullptr) jobs.back().done = std::move((*doc.early_chunks)[node]);
    }
    for (const auto& members : layout.grouped) {
      if (members.empty()) continue;
      jobs.emplace_back();
      for (int node : members) jobs.back().pieces.emplace_back(Bytes(streams[node]), streams[node].size());
    }
  }
  if (!ParallelDeflate().Run(&jobs)) return false;

  size_t at = fields;
  if (has_structure) {
    const size_t start = out->size();
    Append(out, jobs[0].output.data(), jobs[0].output.size());
    SetInt(out, at, start);
    SetInt(out, at + 4, out->size() - start);
    at += 8;
  }
  if (has_values) {
    const size_t start = out->size();
    size_t directory_offset = 0;
    if (!WriteValueSection(doc, layout, jobs, first_value_job, out, &directory_offset)) return false;
    SetInt(out, at, start);
    SetInt(out, at + 4, directory_offset - start);
    SetInt(out, at + 8, directory_offset);
    SetInt(out, at + 12, out->size() - directory_offset);
  }
  return true;
}

}  // namespace zoq
