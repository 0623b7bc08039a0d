// Checks the decoder and encoder against the reference cases in
// tests/data/sxc (see CASES.md there): every case has NAME.bsg; encode cases
// have NAME.xml, decode cases only NAME.sxc; failures have
// NAME.expected-fail.txt (the encoder's first console message), successes
// NAME.expected.xml.
#include <dirent.h>

#include <algorithm>
#include <gtest/gtest.h>

#include "sxc/schema_dump.h"
#include "sxc/schema_loader.h"
#include "test_util.h"

namespace zoq {
namespace {

using test::DataDir;
using test::FileExists;
using test::ReadFile;

std::vector<std::string> CaseNames() {
  std::vector<std::string> names;
  if (DIR* dir = opendir(DataDir().c_str())) {
    while (dirent* entry = readdir(dir)) {
      const std::string file = entry->d_name;
      if (file.size() > 4 && file.compare(file.size() - 4, 4, ".bsg") == 0) {
        names.push_back(file.substr(0, file.size() - 4));
      }
    }
    closedir(dir);
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string PathOf(const std::string& name, const std::string& suffix) {
  return DataDir() + "/" + name + suffix;
}

class ConformanceTest : public ::testing::TestWithParam<std::string> {};

TEST(ConformanceCorpus, EveryManifestCaseIsPresent) {
  const std::string manifest = ReadFile(DataDir() + "/manifest.json");
  size_t listed = 0;
  for (size_t at = manifest.find("\"name\""); at != std::string::npos; at = manifest.find("\"name\"", at + 1)) {
    ++listed;
  }
  EXPECT_EQ(listed, CaseNames().size());
  EXPECT_EQ(listed, 28u);
}

TEST_P(ConformanceTest, ReferenceSxcDecodesAsExpected) {
  const std::string name = GetParam();
  if (!FileExists(PathOf(name, ".sxc"))) GTEST_SKIP() << "no reference SXC";
  auto codec = test::CorpusCodec(name);
  ASSERT_NE(codec, nullptr);
  const std::vector<uint8_t> sxc = test::ReadBytes(PathOf(name, ".sxc"));
  std::string xml, error;
  const bool ok = codec->DecodeToString(sxc.data(), sxc.size(), &xml, &error);
  if (FileExists(PathOf(name, ".expected.xml"))) {
    ASSERT_TRUE(ok) << error;
    EXPECT_EQ(xml, ReadFile(PathOf(name, ".expected.xml")));
  } else {
    EXPECT_FALSE(ok);
  }
}

TEST_P(ConformanceTest, DecodeFileWritesTheSameText) {
  const std::string name = GetParam();
  if (!FileExists(PathOf(name, ".sxc")) || !FileExists(PathOf(name, ".expected.xml"))) GTEST_SKIP();
  auto codec = test::CorpusCodec(name);
  ASSERT_NE(codec, nullptr);
  const std::string target = test::TempPath(".xml");
  ASSERT_TRUE(codec->DecodeFile(PathOf(name, ".sxc"), target));
  EXPECT_EQ(ReadFile(target), ReadFile(PathOf(name, ".expected.xml")));
  remove(target.c_str());
}

TEST_P(ConformanceTest, EncoderAgreesWithReference) {
  const std::string name = GetParam();
  if (!FileExists(PathOf(name, ".xml"))) GTEST_SKIP() << "decode-only case";
  auto codec = test::CorpusCodec(name);
  ASSERT_NE(codec, nullptr);
  const std::string output = test::TempPath(".sxc");
  EncodeReport report;
  report.print_messages = false;
  const bool ok = codec->EncodeFile(PathOf(name, ".xml"), output, &report);
  if (FileExists(PathOf(name, ".expected-fail.txt"))) {
    EXPECT_FALSE(ok);
    EXPECT_EQ(report.message, ReadFile(PathOf(name, ".expected-fail.txt")));
    EXPECT_FALSE(report.reason.empty());
    EXPECT_FALSE(FileExists(output)) << "a failed run writes no file";
    return;
  }
  ASSERT_TRUE(ok) << report.reason << report.message;
  EXPECT_EQ(report.message, "");
  const std::vector<uint8_t> sxc = test::ReadBytes(output);
  std::string xml, error;
  ASSERT_TRUE(codec->DecodeToString(sxc.data(), sxc.size(), &xml, &error)) << error;
  EXPECT_EQ(xml, ReadFile(PathOf(name, ".expected.xml")));
  remove(output.c_str());
}

TEST_P(ConformanceTest, DumpMatchesSchemaListing) {
  const std::string name = GetParam();
  const std::string manifest = ReadFile(DataDir() + "/manifest.json");
  const size_t at = manifest.find("\"name\": \"" + name + "\"");
  ASSERT_NE(at, std::string::npos);
  const size_t key = manifest.find("\"schema\": \"", at);
  const size_t start = key + 11;
  const std::string schema = manifest.substr(start, manifest.find('"', start) - start);
  std::shared_ptr<const BinarySchema> loaded;
  std::string error;
  ASSERT_TRUE(LoadBinarySchema(PathOf(name, ".bsg"), &loaded, &error)) << error;
  EXPECT_EQ(DumpBinarySchema(*loaded), ReadFile(DataDir() + "/schemas/" + schema + ".txt"));
}

INSTANTIATE_TEST_SUITE_P(Cases, ConformanceTest, ::testing::ValuesIn(CaseNames()),
                         [](const auto& info) { return info.param; });

}  // namespace
}  // namespace zoq
