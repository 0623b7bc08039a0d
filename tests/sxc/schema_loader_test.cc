#include "sxc/schema_loader.h"

#include <gtest/gtest.h>

#include "sxc/schema_cache.h"
#include "sxc/schema_codec.h"
#include "sxc/schema_writer.h"
#include "test_util.h"

namespace zoq {
namespace {

using test::BsgBuilder;

bool Parse(const std::vector<uint8_t>& bytes, BinarySchema* schema, std::string* error) {
  return ParseBinarySchema(bytes.data(), bytes.size(), schema, error);
}

TEST(SchemaLoaderTest, ReadsNodesForwardReferencesAndDefaults) {
  BsgBuilder b;
  const int root = b.Element("root", kTextValue, 1, 1);
  const int seq = b.Group(kSequenceNode, 0, -1);
  const int req = b.Attribute("req", kIntegerValue, true);
  const int opt = b.Attribute("opt", kBooleanValue, false);
  const int leaf = b.Element("leaf", kDoubleValue, 0, 5, true);
  b.SetAttributes(root, {req, opt, -1, 99});
  b.SetChildren(root, {seq});  // forward reference
  b.SetChildren(seq, {leaf, 5});
  b.SetRoots({root});
  BinarySchema schema;
  std::string error;
  ASSERT_TRUE(Parse(b.Bytes(), &schema, &error)) << error;
  ASSERT_EQ(schema.nodes.size(), 5u);
  const SchemaNode& r = schema.nodes[root];
  EXPECT_EQ(r.name, u"root");
  ASSERT_EQ(r.attributes.size(), 2u) << "indexes -1 and 99 are dropped";
  EXPECT_EQ(r.children[0], &schema.nodes[seq]);
  EXPECT_EQ(r.optional_attribute_count, 1);
  EXPECT_EQ(r.optional_child_count, 1);
  const SchemaNode& g = schema.nodes[seq];
  EXPECT_TRUE(g.name.empty());
  EXPECT_EQ(g.value_type, kTextValue);
  EXPECT_EQ(g.max_occurs, -1);
  EXPECT_EQ(g.children.size(), 1u);
  EXPECT_EQ(schema.nodes[req].min_occurs, 1);
  EXPECT_EQ(schema.nodes[opt].min_occurs, 0);
  EXPECT_EQ(schema.nodes[opt].max_occurs, 1);
  EXPECT_TRUE(schema.nodes[leaf].mixed);
  EXPECT_EQ(schema.nodes[leaf].max_occurs, 5);
}

TEST(SchemaLoaderTest, RequiredByteSevenMeansRequired) {
  BsgBuilder b;
  const int root = b.Element("r", kTextValue, 1, 1);
  const int attr = b.Attribute("a", kTextValue, true);
  b.SetAttributes(root, {attr});
  b.SetRoots({root});
  std::vector<uint8_t> bytes = b.Bytes();
  // The attribute record ends with its required byte, right before the root count.
  bytes[bytes.size() - 9] = 7;
  BinarySchema schema;
  std::string error;
  ASSERT_TRUE(Parse(bytes, &schema, &error)) << error;
  EXPECT_EQ(schema.nodes[attr].min_occurs, 1);
}

TEST(SchemaLoaderTest, RootsSortByUtf16CodeUnits) {
  BsgBuilder b;
  const int lower_b = b.Element("b", kTextValue, 1, 1);
  const int lower_a = b.Element("a", kTextValue, 1, 1);
  const int upper_b = b.Element("B", kTextValue, 1, 1);
  const int ab = b.Element("ab", kTextValue, 1, 1);
  b.SetRoots({lower_b, ab, lower_a, upper_b});
  BinarySchema schema;
  std::string error;
  ASSERT_TRUE(Parse(b.Bytes(), &schema, &error)) << error;
  std::vector<std::string> names;
  for (const SchemaNode* root : schema.roots) names.push_back(root->name_utf8);
  EXPECT_EQ(names, (std::vector<std::string>{"B", "a", "ab", "b"}));
  EXPECT_EQ(schema.RootIndex(&schema.nodes[lower_a]), 1);
  EXPECT_EQ(schema.FindRoot("ab"), &schema.nodes[ab]);
  EXPECT_EQ(schema.FindRoot("A"), nullptr);
}

TEST(SchemaLoaderTest, RejectsEveryTruncation) {
  std::vector<uint8_t> bytes = test::ReadBytes(test::DataDir() + "/doc_basic.bsg");
  BinarySchema full;
  std::string error;
  ASSERT_TRUE(Parse(bytes, &full, &error)) << error;
  for (size_t size = 0; size < bytes.size(); ++size) {
    BinarySchema schema;
    std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + static_cast<long>(size));
    EXPECT_FALSE(Parse(cut, &schema, &error)) << "accepted " << size << " of " << bytes.size() << " bytes";
  }
}

TEST(SchemaLoaderTest, RejectsMalformedModels) {
  BinarySchema schema;
  std::string error;
  {
    BsgBuilder b;  // root index outside the table
    b.Element("r", kTextValue, 1, 1);
    b.SetRoots({3});
    EXPECT_FALSE(Parse(b.Bytes(), &schema, &error));
  }
  {
    BsgBuilder b;  // no roots
    b.Element("r", kTextValue, 1, 1);
    EXPECT_FALSE(Parse(b.Bytes(), &schema, &error));
  }
  {
    BsgBuilder b;  // nameless root
    b.SetRoots({b.Element("", kTextValue, 1, 1)});
    EXPECT_FALSE(Parse(b.Bytes(), &schema, &error));
    EXPECT_NE(error.find("no name"), std::string::npos) << error;
  }
  {
    BsgBuilder b;  // a group inside itself
    const int root = b.Element("r", kTextValue, 1, 1);
    const int outer = b.Group(kSequenceNode, 1, 1);
    const int inner = b.Group(kChoiceNode, 1, 1);
    b.SetChildren(root, {outer});
    b.SetChildren(outer, {inner});
    b.SetChildren(inner, {outer});
    b.SetRoots({root});
    EXPECT_FALSE(Parse(b.Bytes(), &schema, &error));
    EXPECT_NE(error.find("contains itself"), std::string::npos) << error;
  }
  {
    BsgBuilder b;  // a root that is an attribute; an attribute listed as a child
    const int root = b.Element("r", kTextValue, 1, 1);
    const int attr = b.Attribute("a", kTextValue, false);
    b.SetChildren(root, {attr});
    b.SetRoots({root});
    EXPECT_FALSE(Parse(b.Bytes(), &schema, &error));
    b.SetChildren(root, {});
    b.SetRoots({attr});
    EXPECT_FALSE(Parse(b.Bytes(), &schema, &error));
  }
  {
    BsgBuilder b;  // negative and absurd counts
    b.SetRoots({b.Element("r", kTextValue, 1, 1)});
    std::vector<uint8_t> bytes = b.Bytes();
    bytes[38] = 0xFF, bytes[39] = 0xFF, bytes[40] = 0xFF, bytes[41] = 0xFF;
    EXPECT_FALSE(Parse(bytes, &schema, &error));
    bytes[41] = 0x7F;
    EXPECT_FALSE(Parse(bytes, &schema, &error));
  }
}

TEST(SchemaLoaderTest, CacheSharesModelsByIdentifier) {
  BsgBuilder first;
  first.SetIdentifier(0x51);
  first.SetRoots({first.Element("first", kTextValue, 1, 1)});
  BsgBuilder second;
  second.SetIdentifier(0x51);
  second.SetRoots({second.Element("second", kTextValue, 1, 1)});
  const std::string path1 = first.WriteTemp();
  const std::string path2 = second.WriteTemp();
  std::shared_ptr<const BinarySchema> a, b;
  std::string error;
  ASSERT_TRUE(LoadBinarySchema(path1, &a, &error)) << error;
  // Only the first 38 bytes of the second file are looked at.
  std::vector<uint8_t> truncated = second.Bytes();
  truncated.resize(38);
  test::WriteFile(path2, std::string(truncated.begin(), truncated.end()));
  ASSERT_TRUE(LoadBinarySchema(path2, &b, &error)) << error;
  EXPECT_EQ(a.get(), b.get());
  EXPECT_EQ(b->roots[0]->name_utf8, "first");
  remove(path1.c_str());
  remove(path2.c_str());
}

TEST(SchemaLoaderTest, MalformedFilesStayOutOfTheCache) {
  BsgBuilder b;
  b.SetIdentifier(0x52);
  b.SetRoots({b.Element("ok", kTextValue, 1, 1)});
  std::vector<uint8_t> bytes = b.Bytes();
  const std::string path = test::TempPath(".bsg");
  test::WriteFile(path, std::string(bytes.begin(), bytes.end() - 2));
  std::shared_ptr<const BinarySchema> schema;
  std::string error;
  EXPECT_FALSE(LoadBinarySchema(path, &schema, &error));
  EXPECT_EQ(SchemaCodec::Create(path), nullptr);
  test::WriteFile(path, std::string(bytes.begin(), bytes.end()));
  EXPECT_TRUE(LoadBinarySchema(path, &schema, &error)) << error;
  EXPECT_THROW(SchemaCodec::Create(path + ".missing"), std::runtime_error);
  remove(path.c_str());
}

TEST(SchemaLoaderTest, WriterRoundTripsCorpusSchemas) {
  for (const char* name : {"doc_basic", "rec_types", "multi_alpha", "hb_flags23"}) {
    const std::vector<uint8_t> bytes = test::ReadBytes(test::DataDir() + "/" + name + ".bsg");
    BinarySchema schema;
    std::string error;
    ASSERT_TRUE(Parse(bytes, &schema, &error)) << error;
    const std::vector<uint8_t> written = SerializeBinarySchema(schema);
    BinarySchema again;
    ASSERT_TRUE(Parse(written, &again, &error)) << error;
    EXPECT_EQ(SerializeSchemaBody(again), SerializeSchemaBody(schema)) << name;
    EXPECT_EQ(again.identifier, schema.identifier);
  }
}

TEST(SchemaCodecTest, ScratchGrowsToMultiplesOfEight) {
  auto codec = test::CorpusCodec("rec_types");
  ASSERT_NE(codec, nullptr);
  EXPECT_EQ(codec->scratch_capacity(), 1024u);
  codec->Scratch(1000);
  EXPECT_EQ(codec->scratch_capacity(), 1024u);
  codec->Scratch(1025);
  EXPECT_EQ(codec->scratch_capacity(), 1032u);
}

}  // namespace
}  // namespace zoq
