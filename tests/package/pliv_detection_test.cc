#include "zoq/pliv_detection.h"

#include <gtest/gtest.h>

#include "zoq/container.h"
#include "zoq/main_document.h"
#include "package_builder.h"
#include "test_util.h"

namespace zoq::test {
namespace {

PlivDocumentType Detect(const std::string& text, bool* ok) {
  PlivDocumentType type;
  *ok = DetectPlivType(reinterpret_cast<const uint8_t*>(text.data()),
                       static_cast<int64_t>(text.size()), &type);
  return type;
}

TEST(PlivDetectionTest, SubsetAndVersionCodes) {
  bool ok = false;
  auto type = Detect(R"(<Doc SubsetType="PLIV_M" Version="1.1"/>)", &ok);
  EXPECT_TRUE(ok);
  EXPECT_EQ(type.subset, 8);
  EXPECT_EQ(type.version, 0x101);
  EXPECT_EQ(Detect(R"(<Doc Version="1.0" SubsetType="PLIV_A">)", &ok).version, 0x100);
  EXPECT_EQ(Detect(R"(<Doc SubsetType="PLIV_P" Version="2.0">)", &ok).version, 0x102);
  type = Detect(R"(<Doc SubsetType="PLIV_Full">)", &ok);
  EXPECT_TRUE(ok);
  EXPECT_EQ(type.subset, 16);
  EXPECT_EQ(type.version, 0);
}

TEST(PlivDetectionTest, ValuesAgreeOverTheirOwnLength) {
  bool ok = false;
  EXPECT_EQ(Detect(R"(SubsetType="PLIV_")", &ok).subset, 16);
  EXPECT_EQ(Detect(R"(SubsetType="")", &ok).subset, 16);
  EXPECT_EQ(Detect(R"(SubsetType="PLIV_A" Version="1")", &ok).version, 0x100);
  Detect(R"(SubsetType="PLIV_Mx")", &ok);
  EXPECT_FALSE(ok);
  Detect(R"(SubsetType="Other")", &ok);
  EXPECT_FALSE(ok);
  Detect(R"(SubsetType=PLIV_M)", &ok);
  EXPECT_FALSE(ok);
  Detect(R"(SubsetType="PLIV_M)", &ok);
  EXPECT_FALSE(ok);
  auto type = Detect("", &ok);
  EXPECT_FALSE(ok);
  EXPECT_EQ(type.subset, 0);
}

TEST(PlivDetectionTest, Utf16Text) {
  std::u16string text = u"\uFEFF<D SubsetType=\"PLIV_P\" Version=\"1.1\"/>";
  std::vector<uint8_t> bytes;
  for (char16_t c : text) {
    bytes.push_back(static_cast<uint8_t>(c & 0xFF));
    bytes.push_back(static_cast<uint8_t>(c >> 8));
  }
  PlivDocumentType type;
  ASSERT_TRUE(DetectPlivType(bytes.data(), static_cast<int64_t>(bytes.size()), &type));
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
  std::string wide_bytes;
  for (char16_t c : wide) {
    wide_bytes.push_back(static_cast<char>(c & 0xFF));
    wide_bytes.push_back(static_cast<char>(c >> 8));
  }
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
  EXPECT_TRUE(IsPlivFileName("/x/doc.pliv"));
  EXPECT_TRUE(IsPlivFileName("DOC.PLIV"));
  EXPECT_TRUE(IsPlivFileName("a.PLiv"));
  EXPECT_FALSE(IsPlivFileName("doc.zoq"));
  EXPECT_FALSE(IsPlivFileName("pliv"));
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
