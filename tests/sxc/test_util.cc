#include "test_util.h"

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>

namespace zoq::test {

std::string DataDir() { return std::string(ZOQ_TEST_DATA_DIR) + "/sxc"; }

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
  const std::string text = ReadFile(path);
  return std::vector<uint8_t>(text.begin(), text.end());
}

bool FileExists(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0;
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

std::string TempPath(const std::string& suffix) {
  static std::atomic<int> counter{0};
  const char* dir = getenv("TMPDIR");
  return std::string(dir != nullptr && *dir ? dir : "/tmp") + "/zoq_sxc_test_" + std::to_string(getpid()) +
         "_" + std::to_string(counter++) + suffix;
}

void PutInt(std::vector<uint8_t>* out, int32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out->push_back(static_cast<uint8_t>(static_cast<uint32_t>(value) >> shift));
}

std::unique_ptr<SchemaCodec> CodecFor(const std::vector<uint8_t>& bsg) {
  const std::string path = TempPath(".bsg");
  WriteFile(path, std::string(bsg.begin(), bsg.end()));
  auto codec = SchemaCodec::Create(path);
  remove(path.c_str());
  return codec;
}

std::unique_ptr<SchemaCodec> CorpusCodec(const std::string& name) {
  return SchemaCodec::Create(DataDir() + "/" + name + ".bsg");
}

bool Encode(SchemaCodec& codec, const std::string& xml, std::vector<uint8_t>* sxc, EncodeReport* report) {
  report->print_messages = false;
  return codec.EncodeDocument(xml.data(), xml.size(), sxc, report);
}

std::string RoundTrip(SchemaCodec& codec, const std::string& xml) {
  std::vector<uint8_t> sxc;
  EncodeReport report;
  if (!Encode(codec, xml, &sxc, &report)) return "FAILED: " + report.reason;
  std::string out, error;
  if (!codec.DecodeToString(sxc.data(), sxc.size(), &out, &error)) return "DECODE FAILED: " + error;
  return out;
}

}  // namespace zoq::test

namespace zoq::test {

int BsgBuilder::Attribute(const std::string& name, int value_type, bool required) {
  nodes_.push_back({.kind = 1, .name = name, .value_type = value_type, .required = required});
  return static_cast<int>(nodes_.size() - 1);
}

int BsgBuilder::Element(const std::string& name, int value_type, int min_occurs, int max_occurs, bool mixed) {
  nodes_.push_back({.kind = 2, .name = name, .value_type = value_type, .min_occurs = min_occurs,
                    .max_occurs = max_occurs, .mixed = mixed});
  return static_cast<int>(nodes_.size() - 1);
}

int BsgBuilder::Group(int kind, int min_occurs, int max_occurs) {
  nodes_.push_back({.kind = kind, .min_occurs = min_occurs, .max_occurs = max_occurs});
  return static_cast<int>(nodes_.size() - 1);
}

std::vector<uint8_t> BsgBuilder::Bytes() const {
  std::vector<uint8_t> out;
  PutInt(&out, static_cast<int32_t>(nodes_.size()));
  for (const Node& node : nodes_) {
    out.push_back(static_cast<uint8_t>(node.kind));
    if (node.kind <= 2) {
      PutInt(&out, static_cast<int32_t>(node.name.size()));
      for (char c : node.name) {
        out.push_back(static_cast<uint8_t>(c));
        out.push_back(0);
      }
      out.push_back(static_cast<uint8_t>(node.value_type));
    }
    if (node.kind == 1) {
      out.push_back(node.required ? 1 : 0);
      continue;
    }
    PutInt(&out, node.min_occurs);
    PutInt(&out, node.max_occurs);
    if (node.kind == 2) {
      out.push_back(node.mixed ? 1 : 0);
      PutInt(&out, static_cast<int32_t>(node.attributes.size()));
      for (int a : node.attributes) PutInt(&out, a);
    }
    PutInt(&out, static_cast<int32_t>(node.children.size()));
    for (int c : node.children) PutInt(&out, c);
  }
  PutInt(&out, static_cast<int32_t>(roots_.size()));
  for (int r : roots_) PutInt(&out, r);
  // Identifier: chosen explicitly, or derived from the content so that
  // different test models never meet in the schema cache.
  std::vector<uint8_t> file(22, 'x');
  const std::string body(out.begin(), out.end());
  for (int i = 0; i < 16; ++i) {
    const size_t h = std::hash<std::string>()(body + static_cast<char>(i));
    file.push_back(explicit_id_ ? (i == 0 ? id_ : static_cast<uint8_t>(0xA0 + i)) : static_cast<uint8_t>(h));
  }
  file.insert(file.end(), out.begin(), out.end());
  return file;
}

std::string BsgBuilder::WriteTemp() const {
  const std::vector<uint8_t> bytes = Bytes();
  const std::string path = TempPath(".bsg");
  WriteFile(path, std::string(bytes.begin(), bytes.end()));
  return path;
}

std::unique_ptr<SchemaCodec> BsgBuilder::Codec() const { return CodecFor(Bytes()); }

}  // namespace zoq::test
