// Helpers shared by the binary XML tests.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "sxc/schema_codec.h"

namespace zoq::test {

std::string DataDir();  // tests/data/sxc
std::string ReadFile(const std::string& path);
std::vector<uint8_t> ReadBytes(const std::string& path);
bool FileExists(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);
// A fresh path in the temporary directory.
std::string TempPath(const std::string& suffix);

// Appends `value` as four little-endian bytes.
void PutInt(std::vector<uint8_t>* out, int32_t value);

// A codec for the .bsg bytes (null when they do not load), read from a
// temporary file that is gone again.
std::unique_ptr<SchemaCodec> CodecFor(const std::vector<uint8_t>& bsg);
// A codec for tests/data/sxc/NAME.bsg.
std::unique_ptr<SchemaCodec> CorpusCodec(const std::string& name);

// Encodes `xml` without printing messages.
bool Encode(SchemaCodec& codec, const std::string& xml, std::vector<uint8_t>* sxc, EncodeReport* report);
// Encodes and decodes again; answers the XML text, or "FAILED: reason".
std::string RoundTrip(SchemaCodec& codec, const std::string& xml);

}  // namespace zoq::test

namespace zoq::test {

// Writes .bsg bytes for hand-made content models. Node indexes follow the
// order of the calls.
class BsgBuilder {
 public:
  int Attribute(const std::string& name, int value_type, bool required);
  int Element(const std::string& name, int value_type, int min_occurs, int max_occurs, bool mixed = false);
  int Group(int kind, int min_occurs, int max_occurs);
  void SetAttributes(int element, std::vector<int> attributes) { nodes_[element].attributes = attributes; }
  void SetChildren(int node, std::vector<int> children) { nodes_[node].children = children; }
  void SetRoots(std::vector<int> roots) { roots_ = roots; }
  // Fixes the identifier: `first`, then fixed bytes. By default it is
  // derived from the content.
  void SetIdentifier(uint8_t first) {
    id_ = first;
    explicit_id_ = true;
  }
  std::vector<uint8_t> Bytes() const;
  // Writes a temporary file and answers its path.
  std::string WriteTemp() const;
  // CodecFor(Bytes()).
  std::unique_ptr<SchemaCodec> Codec() const;

 private:
  struct Node {
    int kind = 0;
    std::string name{};
    int value_type = 4;
    bool required = false;
    int min_occurs = 1, max_occurs = 1;
    bool mixed = false;
    std::vector<int> attributes{}, children{};
  };
  std::vector<Node> nodes_;
  std::vector<int> roots_;
  uint8_t id_ = 0;
  bool explicit_id_ = false;
};

}  // namespace zoq::test
