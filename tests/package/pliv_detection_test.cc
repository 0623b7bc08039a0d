#include "zoq/pliv_detection.h"

#include <gtest/gtest.h>

#include <cstring>

#include "zoq/container.h"
#include "zoq/main_document.h"
#include "package_builder.h"
#include "test_util.h"

namespace zoq::test {
namespace {

std::string Utf16Le(const std::u16string& text) {
  std::string bytes;
  for (char16_t c : text) {
    bytes.push_back(static_cast<char>(c & 0xFF));
    bytes.push_back(static_cast<char>(c >> 8));
  }
  return bytes;
}

// Subset and version codes from 8-bit text. Values agree over their own
// length; a refusal answers both codes 0.
TEST(PlivDetectionTest, SubsetAndVersionCodes) {
  const struct {
    const char* text;
    bool ok;
    int subset, version;
  } cases[] = {
      {R"(<Doc SubsetType="PLIV_M" Version="1.1"/>)", true, 8, 0x101},
      {R"(<Doc Version="1.0" SubsetType="PLIV_A">)", true, 1, 0x100},
      {R"(<Doc SubsetType="PLIV_P" Version="2.0">)", true, 2, 0x102},
      {R"(<Doc SubsetType="PLIV_Full">)", true, 16, 0},
      {R"(SubsetType="PLIV_")", true, 16, 0},
      {R"(SubsetType="")", true, 16, 0},
      {R"(SubsetType="PLIV_A" Version="1")", true, 1, 0x100},
      {R"(SubsetType="PLIV_Mx")", false, 0, 0},
      {R"(SubsetType="Other")", false, 0, 0},
      {R"(SubsetType=PLIV_M)", false, 0, 0},
      {R"(SubsetType="PLIV_M)", false, 0, 0},
      {"", false, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    PlivDocumentType type;
    EXPECT_EQ(DetectPlivType(reinterpret_cast<const uint8_t*>(c.text),
                             static_cast<int64_t>(std::strlen(c.text)), &type),
              c.ok);
    EXPECT_EQ(type.subset, c.subset);
    EXPECT_EQ(type.version, c.version);
  }
}

TEST(PlivDetectionTest, Utf16Text) {
  const std::string bytes = Utf16Le(u"\uFEFF<D SubsetType=\"PLIV_P\" Version=\"1.1\"/>");
  PlivDocumentType type;
  ASSERT_TRUE(DetectPlivType(reinterpret_cast<const uint8_t*>(bytes.data()),
                             static_cast<int64_t>(bytes.size()), &type));
  EXPECT_EQ(type.subset, 2);
  EXPECT_EQ(type.version, 0x101);
}

TEST(PlivDetectionTest, AMainPartOfAnySizeIsScannedInPieces) {
  // Attributes across the 64 KiB pieces in which the stream is read, in
  // 8-bit text and in UTF-16.
  const std::string attributes = R"(SubsetType="PLIV_M" Version="1.1")";
  std::string narrow = std::string(65530, ' ') + attributes;
  std::u16string wide = u"\uFEFF" + std::u16string(32764, u' ') +
                        std::u16string(attributes.begin(), attributes.end());
  std::string wide_bytes = Utf16Le(wide);
  wide_bytes.push_back('x');  // an odd last byte is no code unit
  // A value longer than any name never agrees, however long it runs.
  std::string long_value = "SubsetType=\"PLIV_" + std::string(100000, 'M') + "\"";
  for (const auto& [text, subset] : std::vector<std::pair<std::string, int>>{
           {narrow, 8}, {wide_bytes, 8}, {long_value, 0}}) {
    auto built = BuildPackage({{{TestRecord{1, "/__main.xml", {text.begin(), text.end()}, {}, false}}}},
                              4, 0x0100);
    auto container = MakeContainer();
    ASSERT_EQ(container->OpenMemory(built.bytes.data(), built.bytes.size(), 0), kOk);
    PlivDocumentType type;
    EXPECT_EQ(ReadPlivDocumentType(container.get(), &type, false), subset != 0);
    EXPECT_EQ(type.subset, subset);
    EXPECT_EQ(type.version, subset != 0 ? 0x101 : 0);
  }
}

TEST(PlivDetectionTest, ANewDocumentsMainPartNamesItsType) {
  for (int subset : {16, 8, 2, 1}) {
    for (int version : {256, 257, 258}) {
      std::string text = MainDocumentText(subset, version);
      PlivDocumentType type;
      ASSERT_TRUE(DetectPlivType(reinterpret_cast<const uint8_t*>(text.data()),
                                 static_cast<int64_t>(text.size()), &type))
          << text;
      EXPECT_EQ(type.subset, subset);
      EXPECT_EQ(type.version, version);
    }
  }
  // Subset I has no name that detection knows; versions are 256 to 258.
  EXPECT_EQ(MainDocumentText(4, 258), "");
  EXPECT_EQ(MainDocumentText(16, 259), "");
  auto container = MakeContainer();
  ASSERT_EQ(container->CreatePackage("", 16, 258, 4, 0), kOk);
  EXPECT_EQ(WriteMainDocument(container.get(), 4, 258), kInvalidArgument);
  ASSERT_EQ(WriteMainDocument(container.get(), 16, 258), kOk);
  PartInfo info;
  ASSERT_EQ(container->GetPartInfoByPath(&info, kMainDocumentPath, 0), kOk);
  EXPECT_EQ(info.code_count, 1);
  EXPECT_EQ(info.codes[0], kEcsZip);
  PlivDocumentType type;
  ASSERT_TRUE(ReadPlivDocumentType(container.get(), &type, false));
  EXPECT_EQ(type.subset, 16);
  EXPECT_EQ(type.version, 0x102);
}

TEST(PlivDetectionTest, FileNames) {
  for (const char* name : {"/x/doc.pliv", "DOC.PLIV", "a.PLiv"}) {
    EXPECT_TRUE(IsPlivFileName(name)) << name;
  }
  for (const char* name : {"doc.zoq", "pliv"}) EXPECT_FALSE(IsPlivFileName(name)) << name;
}

TEST(PlivDetectionTest, AppliesTheDocumentTypeToTheContainer) {
  TestRecord main;
  main.path = "/__main.xml";
  std::string xml = R"(<?xml version="1.0"?><Doc SubsetType="PLIV_M" Version="1.1"/>)";
  main.data.assign(xml.begin(), xml.end());
  auto built = BuildPackage({{{main}}}, 4, 0x0100);
  auto container = MakeContainer();
  ASSERT_EQ(container->OpenMemory(built.bytes.data(), built.bytes.size(), 0), kOk);
  std::string schema;
  EXPECT_TRUE(container->GetSchemaPath(&schema));  // nothing selected yet
  PlivDocumentType type;
  ASSERT_TRUE(ApplyPlivDetection(container.get(), &type));
  EXPECT_EQ(type.subset, 8);
  EXPECT_EQ(type.version, 0x101);
  ASSERT_FALSE(container->GetSchemaPath(&schema));
  // No PLIV_M_v1.1 file below the resource directory: the Full file is chosen.
  EXPECT_EQ(schema, std::string(ZOQ_TEST_DATA_DIR) + "/Resource/BinarySchema/PLIV_Full_v1.1.bsg");

  auto empty = BuildPackage({{{TestRecord{1, "/other.xml", {}, {}, false}}}});
  ASSERT_EQ(container->OpenMemory(empty.bytes.data(), empty.bytes.size(), 0), kOk);
  EXPECT_FALSE(ApplyPlivDetection(container.get(), &type));
  EXPECT_EQ(type.subset, 0);
}

}  // namespace
}  // namespace zoq::test
