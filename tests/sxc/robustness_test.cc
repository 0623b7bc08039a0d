// Damaged inputs must fail or decode, never crash or read out of bounds
// (the tests run under AddressSanitizer).
#include <gtest/gtest.h>

#include <random>

#include "sxc/schema_codec.h"
#include "sxc/schema_loader.h"
#include "sxc/zlib_codec.h"
#include "test_util.h"

namespace zoq {
namespace {

std::vector<uint8_t> Mutate(std::vector<uint8_t> bytes, std::mt19937* random) {
  switch ((*random)() % 3) {
    case 0:
      bytes[(*random)() % bytes.size()] ^= static_cast<uint8_t>(1 + (*random)() % 255);
      break;
    case 1:
      bytes.resize((*random)() % bytes.size());
      break;
    default:
      for (int i = 0; i < 8; ++i) bytes[(*random)() % bytes.size()] = static_cast<uint8_t>((*random)());
  }
  return bytes;
}

TEST(RobustnessTest, DamagedSxcDocuments) {
  std::mt19937 random(12345);
  for (const char* name : {"doc_basic", "rec_types", "rec_groups", "multi_alpha", "hb_flags23", "hb_dir_plain"}) {
    auto codec = test::CorpusCodec(name);
    ASSERT_NE(codec, nullptr);
    const std::vector<uint8_t> original = test::ReadBytes(test::DataDir() + "/" + name + ".sxc");
    int decoded = 0;
    for (int round = 0; round < 300; ++round) {
      const std::vector<uint8_t> bytes = Mutate(original, &random);
      std::string xml, error;
      decoded += codec->DecodeToString(bytes.data(), bytes.size(), &xml, &error);
    }
    EXPECT_LT(decoded, 300) << name;
  }
}

TEST(RobustnessTest, DamagedStructureInsideValidCompression) {
  // Garbage that inflates cleanly reaches the structure walk itself.
  std::mt19937 random(99);
  auto codec = test::CorpusCodec("doc_basic");
  ASSERT_NE(codec, nullptr);
  std::vector<uint8_t> original = test::ReadBytes(test::DataDir() + "/doc_basic.sxc");
  const size_t header = 27 + 8 + 16;  // flags 3: structure and values
  ASSERT_EQ(original[26], 3);
  const int32_t structure_size = original[27 + 4] | original[27 + 5] << 8;
  std::vector<uint8_t> structure;
  ASSERT_TRUE(InflateAll(original.data() + header, static_cast<size_t>(structure_size), &structure));
  for (int round = 0; round < 300; ++round) {
    std::vector<uint8_t> damaged = structure;
    for (int i = 0; i < 4; ++i) damaged[random() % damaged.size()] = static_cast<uint8_t>(random());
    std::vector<uint8_t> compressed;
    ASSERT_TRUE(DeflateAll(damaged.data(), damaged.size(), &compressed));
    std::vector<uint8_t> bytes(original.begin(), original.begin() + header);
    bytes.insert(bytes.end(), compressed.begin(), compressed.end());
    bytes.insert(bytes.end(), original.begin() + header + structure_size, original.end());
    const uint32_t size = static_cast<uint32_t>(compressed.size());
    for (int k = 0; k < 4; ++k) bytes[27 + 4 + k] = static_cast<uint8_t>(size >> (8 * k));
    std::string xml, error;
    codec->DecodeToString(bytes.data(), bytes.size(), &xml, &error);
  }
}

TEST(RobustnessTest, DamagedSchemaFiles) {
  std::mt19937 random(777);
  for (const char* name : {"doc_basic", "rec_types", "multi_alpha"}) {
    const std::vector<uint8_t> original = test::ReadBytes(test::DataDir() + "/" + name + ".bsg");
    for (int round = 0; round < 500; ++round) {
      const std::vector<uint8_t> bytes = Mutate(original, &random);
      BinarySchema schema;
      std::string error;
      if (ParseBinarySchema(bytes.data(), bytes.size(), &schema, &error)) {
        EXPECT_FALSE(schema.roots.empty());
      } else {
        EXPECT_FALSE(error.empty());
      }
    }
  }
}

TEST(RobustnessTest, DamagedXmlNeverEncodesWrongly) {
  std::mt19937 random(4242);
  auto codec = test::CorpusCodec("doc_basic");
  ASSERT_NE(codec, nullptr);
  const std::string original = test::ReadFile(test::DataDir() + "/doc_basic.xml");
  for (int round = 0; round < 200; ++round) {
    std::string xml = original;
    // Drop a random tag-sized slice: often still well-formed, rarely valid.
    const size_t at = random() % xml.size();
    xml.erase(at, random() % 40);
    std::vector<uint8_t> sxc;
    EncodeReport report;
    if (test::Encode(*codec, xml, &sxc, &report)) {
      std::string decoded, error;
      EXPECT_TRUE(codec->DecodeToString(sxc.data(), sxc.size(), &decoded, &error)) << error;
    } else {
      EXPECT_FALSE(report.reason.empty());
      EXPECT_TRUE(sxc.empty());
    }
  }
}

}  // namespace
}  // namespace zoq
