// A package to which SXC-coded parts are added carries its schema: saving
// stores the schema file in effect as "/__ECSEnv/01/Schema.bsg" (once), and
// a container that has no schema file of its own decodes the parts with it.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>

#include "zoq/codes.h"
#include "zoq/container.h"
#include "zoq/decode_options.h"
#include "save_test_util.h"
#include "test_util.h"

namespace zoq::test {
namespace {

const char16_t kSchemaPart[] = u"/__ECSEnv/01/Schema.bsg";

std::string SxcCase(const std::string& name) {
  return std::string(ZOQ_TEST_DATA_DIR) + "/sxc/" + name;
}

// A container whose resource directory is `resource` (which may hold no
// schema at all).
std::unique_ptr<Container> ContainerWithResources(const std::string& resource) {
  ContainerOptions options;
  options.resource_dir = resource;
  Container* made = nullptr;
  if (CreateContainer(&options, &made) != kOk) return nullptr;
  return std::unique_ptr<Container>(made);
}

class SchemaEmbeddingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Resources with the schema that subset Full, version 1.2 selects.
    with_schema_ = dir_.File("with");
    without_schema_ = dir_.File("without");
    for (const std::string& base : {with_schema_, without_schema_}) {
      ASSERT_EQ(mkdir(base.c_str(), 0700), 0);
      ASSERT_EQ(mkdir((base + "/Resource").c_str(), 0700), 0);
      ASSERT_EQ(mkdir((base + "/Resource/BinarySchema").c_str(), 0700), 0);
    }
    schema_bytes_ = ReadFileBytes(SxcCase("doc_basic.bsg"));
    ASSERT_FALSE(schema_bytes_.empty());
    WriteFileBytes(with_schema_ + "/Resource/BinarySchema/PLIV_Full_v1.2.bsg", schema_bytes_);
    xml_ = ReadFileBytes(SxcCase("doc_basic.xml"));
    ASSERT_FALSE(xml_.empty());
  }

  // A new version 1.1 package of subset Full, version 1.2, with the XML
  // added SXC-coded (and ZIP after it) and saved; returns the decoded
  // content as that container reads it.
  std::vector<uint8_t> MakePackage(const std::string& file) {
    auto c = ContainerWithResources(with_schema_);
    EXPECT_EQ(c->CreatePackage(file, 16, 258, 4, 0), kOk);
    EcsCodeArg codes[2];
    codes[0].code = kEcsSxc;
    codes[1].code = kEcsZip;
    EXPECT_EQ(c->AddPartFromMemory(u"/Doc/Document.xml", xml_.data(), xml_.size(), codes, 2,
                                   false),
              kOk);
    std::vector<uint8_t> decoded;
    EXPECT_EQ(ReadContent(c.get(), u"/Doc/Document.xml", 0, nullptr, false, &decoded), kOk);
    EXPECT_EQ(c->Save(kSaveIncremental, false), kOk);
    return decoded;
  }

  ScratchDir dir_;
  std::string with_schema_;
  std::string without_schema_;
  std::vector<uint8_t> schema_bytes_;
  std::vector<uint8_t> xml_;
};

TEST_F(SchemaEmbeddingTest, SavedPackageCarriesItsSchemaAndDecodesWithIt) {
  const std::string file = dir_.File("doc.pliv");
  const std::vector<uint8_t> decoded = MakePackage(file);
  ASSERT_FALSE(decoded.empty());

  // Reopened where no schema file exists: the package's own copy is used.
  auto c = ContainerWithResources(without_schema_);
  ASSERT_EQ(c->OpenFile(file, true), kOk);
  EXPECT_EQ(c->GetRevisionCount(), 1);
  EXPECT_EQ(c->GetPathKind(kSchemaPart), kPathPart);
  PartInfo info;
  ASSERT_EQ(c->GetPartInfoByPath(&info, kSchemaPart, 0), kOk);
  ASSERT_EQ(info.code_count, 1);
  EXPECT_EQ(info.codes[0], kEcsZip);
  EXPECT_EQ(PartContent(c.get(), kSchemaPart), schema_bytes_);
  EXPECT_EQ(PartContent(c.get(), u"/Doc/Document.xml"), decoded);
  std::string schema_path;
  EXPECT_FALSE(c->GetSchemaPath(&schema_path));
  EXPECT_EQ(ReadFileBytes(schema_path), schema_bytes_);
}

TEST_F(SchemaEmbeddingTest, SchemaIsStoredOnlyOnce) {
  const std::string file = dir_.File("twice.pliv");
  const std::vector<uint8_t> decoded = MakePackage(file);
  ASSERT_FALSE(decoded.empty());
  // Another SXC part and another save: the schema part is not written again.
  auto c = ContainerWithResources(with_schema_);
  ASSERT_EQ(c->OpenFile(file, false), kOk);
  ASSERT_EQ(c->SetDocumentType(16, 258), kOk);
  EcsCodeArg sxc;
  sxc.code = kEcsSxc;
  ASSERT_EQ(c->AddPartFromMemory(u"/Doc/Copy.xml", xml_.data(), xml_.size(), &sxc, 1, false),
            kOk);
  ASSERT_EQ(c->Save(kSaveIncremental, false), kOk);
  PartInfo info;
  ASSERT_EQ(c->GetPartInfoByPath(&info, kSchemaPart, 0), kOk);
  EXPECT_EQ(info.revisions, std::vector<int>{0});
  EXPECT_EQ(c->Close(), kOk);

  auto plain = ContainerWithResources(without_schema_);
  ASSERT_EQ(plain->OpenFile(file, true), kOk);
  EXPECT_EQ(plain->GetRevisionCount(), 2);
  // Both parts read with the stored schema, as the first container read them.
  EXPECT_EQ(PartContent(plain.get(), u"/Doc/Document.xml"), decoded);
  EXPECT_EQ(PartContent(plain.get(), u"/Doc/Copy.xml"), decoded);
}

TEST_F(SchemaEmbeddingTest, NoSchemaPartWithoutSxcParts) {
  const std::string file = dir_.File("plain.pliv");
  auto c = ContainerWithResources(with_schema_);
  ASSERT_EQ(c->CreatePackage(file, 16, 258, 4, 0), kOk);
  ASSERT_EQ(AddBytes(c.get(), "/a.txt", Bytes("text"), {kEcsZip}), kOk);
  ASSERT_EQ(c->Save(kSaveIncremental, false), kOk);
  EXPECT_EQ(c->GetPathKind(kSchemaPart), kPathNotFound);
}

}  // namespace
}  // namespace zoq::test
