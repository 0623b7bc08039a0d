// Choosing the schema file: by document type below the resource directory,
// an explicitly named file, or the package's own copy.
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include <gtest/gtest.h>

#include "zoq/container.h"
#include "package_builder.h"
#include "test_util.h"

namespace zoq::test {
namespace {

class SchemaSelectionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char base[] = "/tmp/zoq-schema-XXXXXX";
    ASSERT_NE(mkdtemp(base), nullptr);
    resource_ = base;
    mkdir((resource_ + "/Resource").c_str(), 0700);
    mkdir(SchemaDir().c_str(), 0700);
  }
  void TearDown() override {
    for (const std::string& f : files_) unlink(f.c_str());
    rmdir(SchemaDir().c_str());
    rmdir((resource_ + "/Resource").c_str());
    rmdir(resource_.c_str());
  }
  std::string SchemaDir() const { return resource_ + "/Resource/BinarySchema"; }
  std::string Touch(const std::string& path) {
    std::ofstream(path) << "schema";
    files_.push_back(path);
    return path;
  }
  std::unique_ptr<Container> Open(const BuiltPackage& built, bool no_temp_dir = false) {
    package_ = built.bytes;
    ContainerOptions options;
    options.resource_dir = resource_;
    options.no_temp_dir = no_temp_dir;
    Container* c = nullptr;
    EXPECT_EQ(CreateContainer(&options, &c), kOk);
    EXPECT_EQ(c->OpenMemory(package_.data(), package_.size(), 0), kOk);
    return std::unique_ptr<Container>(c);
  }

  std::string resource_;
  std::vector<std::string> files_;
  std::vector<uint8_t> package_;
};

TEST_F(SchemaSelectionTest, DocumentTypeChoosesTheFile) {
  auto built = BuildPackage({{{TestRecord{1, "/a.xml", {'x'}, {}, false}}}}, 4, 0x0101);
  auto c = Open(built);
  std::string schema;
  EXPECT_EQ(c->SetDocumentType(8, 257), kSiteVersionCodeTooLow);
  const std::string m12 = Touch(SchemaDir() + "/PLIV_M_v1.2.bsg");
  ASSERT_EQ(c->SetDocumentType(8, 258), kOk);
  ASSERT_FALSE(c->GetSchemaPath(&schema));
  EXPECT_EQ(schema, m12);
  // A subset without a suffix: the explicit file, else the Full file.
  const std::string mine = Touch(resource_ + "/mine.bsg");
  EXPECT_EQ(c->SetSchemaFile(resource_ + "/missing.bsg"), kSchemaFileMissing);
  EXPECT_EQ(c->SetSchemaFile(""), kInvalidArgument);
  ASSERT_EQ(c->SetSchemaFile(mine), kOk);
  ASSERT_EQ(c->SetDocumentType(3, 300), kOk);
  c->GetSchemaPath(&schema);
  EXPECT_EQ(schema, mine);

  auto v10 = BuildPackage({{{TestRecord{1, "/a.xml", {'x'}, {}, false}}}}, 4, 0x0100);
  c = Open(v10);
  EXPECT_EQ(c->SetDocumentType(16, 258), kSiteVersionCodeTooHigh);
  ASSERT_EQ(c->SetDocumentType(8, 100), kOk);
  c->GetSchemaPath(&schema);
  EXPECT_EQ(schema, SchemaDir() + "/PLIV_Full_v1.0.bsg");  // taken though missing
  EXPECT_EQ(c->Close(), kOk);
  EXPECT_EQ(c->SetDocumentType(8, 256), kSiteNoPackageOpen);
}

TEST_F(SchemaSelectionTest, PackageCarriesItsOwnSchema) {
  TestRecord embedded{1, "/__ECSEnv/01/Schema.bsg", {'b', 's', 'g'}, {}, false};
  auto built = BuildPackage({{{embedded, TestRecord{1, "/a.xml", {'x'}, {}, false}}}});
  auto c = Open(built);
  std::string schema;
  ASSERT_FALSE(c->GetSchemaPath(&schema));
  auto bytes = ReadFileBytes(schema);
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "bsg");
  EXPECT_NE(schema.find("/~~ZOQ"), std::string::npos);

  // Without a temporary directory the copy is ignored.
  auto plain = Open(built, true);
  EXPECT_TRUE(plain->GetSchemaPath(&schema));
}

}  // namespace
}  // namespace zoq::test
