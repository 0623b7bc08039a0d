// The bundled sample document: built from samples/pliv/ with the schema of
// its version, it must open as a document of that version whose binary XML
// parts decode, whose revisions show the changes of the plan, and whose
// plain, compressed and encrypted parts read back as their sources.
#include "sample_package.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "zoq/container.h"
#include "zoq/pliv_detection.h"
#include "zoq/sxc_tools.h"

namespace zoq {
namespace {

const std::string kSourceRoot = std::string(ZOQ_TEST_DATA_DIR) + "/../..";
const std::string kSamples = kSourceRoot + "/samples/pliv";

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class SamplePackageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* base = getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/zoq-sample-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    std::filesystem::create_directories(dir_ + "/Resource/BinarySchema");
    std::string error;
    ASSERT_TRUE(CompileSchemaFile(kSourceRoot + "/Resource/schemas/pliv_full_v1.2.xsd",
                                  dir_ + "/Resource/BinarySchema/PLIV_Full_v1.2.bsg", &error))
        << error;
    package_ = dir_ + "/sample.pliv";
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }

  std::unique_ptr<Container> Open(int revision_limit) {
    ContainerOptions options;
    options.resource_dir = dir_;
    Container* raw = nullptr;
    EXPECT_EQ(CreateContainer(&options, &raw), kOk);
    std::unique_ptr<Container> c(raw);
    EXPECT_EQ(c->OpenFileAt(package_, revision_limit), kOk);
    return c;
  }

  static std::string Read(Container* c, const std::u16string& path, int revision_limit = 0,
                          const DecodeOptions* options = nullptr, int* code = nullptr) {
    int64_t length = 0;
    int result = c->ReadPart(path, nullptr, &length, revision_limit, options);
    std::string out;
    if (result == kOk) {
      out.resize(static_cast<size_t>(length));
      result = c->ReadPart(path, out.data(), &length, revision_limit, options);
      out.resize(static_cast<size_t>(length));
    }
    if (code) *code = result;
    EXPECT_TRUE(code != nullptr || result == kOk) << "reading a part: " << result;
    return out;
  }

  std::string dir_;
  std::string package_;
};

TEST_F(SamplePackageTest, BuildsADocumentWhosePartsReadBack) {
  std::string error;
  ASSERT_TRUE(tools::BuildSamplePackage(kSamples + "/plan.txt", dir_, package_,
                                        tools::SamplePlan{}, &error))
      << error;
  auto c = Open(0);
  EXPECT_EQ(c->GetRevisionCount(), 3);
  EXPECT_EQ(c->GetContainerVersion(), 0x0101);
  PlivDocumentType type;
  ASSERT_TRUE(ApplyPlivDetection(c.get(), &type));
  EXPECT_EQ(type.subset, 16);
  EXPECT_EQ(type.version, 0x102);
  // The schema travels with the document: the one in effect is the copy
  // taken out of the package, not the resource file it was made from.
  std::string schema;
  EXPECT_FALSE(c->GetSchemaPath(&schema));
  EXPECT_EQ(schema.find(dir_ + "/Resource"), std::string::npos) << schema;
  EXPECT_EQ(ReadFile(schema), ReadFile(dir_ + "/Resource/BinarySchema/PLIV_Full_v1.2.bsg"));

  // Binary XML parts decode to the document model's XML.
  std::string document = Read(c.get(), u"/Document.xml");
  EXPECT_EQ(document.rfind("<?xml", 0), 0u) << document.substr(0, 80);
  EXPECT_NE(document.find("<document id=\"sample\" version=\"1.2\""), std::string::npos);
  EXPECT_NE(document.find("<revision>3</revision>"), std::string::npos);
  EXPECT_NE(document.find("修订历史"), std::string::npos);
  PartInfo info;
  ASSERT_EQ(c->GetPartInfoByPath(&info, u"/Document.xml", 0), kOk);
  ASSERT_GE(info.code_count, 1);
  EXPECT_EQ(info.codes[0], kEcsSxc);
  std::string page3 = Read(c.get(), u"/Pages/page3.xml");
  EXPECT_NE(page3.find("<integer>3</integer>"), std::string::npos);

  // Plain and compressed parts are their sources; the note was appended to.
  EXPECT_EQ(Read(c.get(), u"/__main.xml"), ReadFile(kSamples + "/__main.xml"));
  EXPECT_EQ(Read(c.get(), u"/notes.txt"),
            ReadFile(kSamples + "/notes.txt") + ReadFile(kSamples + "/notes.r2.txt"));
  EXPECT_EQ(Read(c.get(), u"/Images/diagram.svg"), ReadFile(kSamples + "/diagram.svg"));
  std::string png = Read(c.get(), u"/Images/cover.png");
  EXPECT_EQ(png, std::string(reinterpret_cast<const char*>(tools::MakePicture(160, 96).data()),
                             tools::MakePicture(160, 96).size()));
  EXPECT_EQ(png.substr(1, 3), "PNG");

  // The encrypted part needs its key.
  int code = kOk;
  Read(c.get(), u"/Private/memo.txt", 0, nullptr, &code);
  EXPECT_NE(code, kOk);
  const std::string key = "zoq-sample";
  KeyInfo key_info;
  key_info.key = reinterpret_cast<const uint8_t*>(key.data());
  key_info.key_length = static_cast<int>(key.size());
  DecodeOptions with_key;
  with_key.key = &key_info;
  EXPECT_EQ(Read(c.get(), u"/Private/memo.txt", 0, &with_key), ReadFile(kSamples + "/memo.txt"));

  // The draft page is gone in the newest revision only.
  EXPECT_EQ(c->GetPathKind(u"/Pages/draft.xml"), kPathNotFound);
  auto first = Open(1);
  ApplyPlivDetection(first.get(), &type);
  EXPECT_EQ(first->GetPathKind(u"/Pages/draft.xml"), kPathPart);
  EXPECT_EQ(first->GetPathKind(u"/Pages/page3.xml"), kPathNotFound);
  std::string old_page1 = Read(first.get(), u"/Pages/page1.xml");
  EXPECT_NE(old_page1.find("<document id=\"page1\""), std::string::npos);
  EXPECT_EQ(old_page1.find("Q4"), std::string::npos);
  EXPECT_NE(Read(c.get(), u"/Pages/page1.xml").find("Q4"), std::string::npos);
}

TEST_F(SamplePackageTest, BadPlansFailWithTheLine) {
  const std::string plan = dir_ + "/plan.txt";
  std::string error;
  std::ofstream(plan) << "# comment\n\nadd /a.txt missing.txt zip\n";
  EXPECT_FALSE(tools::BuildSamplePackage(plan, dir_, package_, tools::SamplePlan{}, &error));
  EXPECT_NE(error.find("plan.txt:3: cannot read"), std::string::npos) << error;

  std::ofstream(plan) << "save\nfrobnicate /a\n";
  EXPECT_FALSE(tools::BuildSamplePackage(plan, dir_, package_, tools::SamplePlan{}, &error));
  EXPECT_NE(error.find("plan.txt:2: unknown step"), std::string::npos) << error;

  // XML that does not fit the schema is refused when stored as binary XML.
  std::ofstream(dir_ + "/bad.xml") << "<document id=\"x\"><oops/></document>";
  std::ofstream(plan) << "add /bad.xml bad.xml sxc\nsave\n";
  EXPECT_FALSE(tools::BuildSamplePackage(plan, dir_, package_, tools::SamplePlan{}, &error));
  EXPECT_NE(error.find("plan.txt:"), std::string::npos) << error;
}

}  // namespace
}  // namespace zoq
