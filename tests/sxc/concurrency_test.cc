// Two threads load the same schema and decode and encode SXC at the same
// time; each must get exactly what a lone thread gets. Run under
// ThreadSanitizer by `make tsan`.
#include <gtest/gtest.h>

#include <cstdio>
#include <thread>

#include "sxc/schema_cache.h"
#include "sxc/schema_codec.h"
#include "zoq/sxc_tools.h"
#include "test_util.h"

namespace zoq {
namespace {

struct Work {
  std::string failure;
  int rounds = 0;
};

void DecodeAndEncode(const std::string& name, Work* work) {
  const std::string dir = test::DataDir() + "/";
  const std::vector<uint8_t> sxc = test::ReadBytes(dir + name + ".sxc");
  const std::string expected = test::ReadFile(dir + name + ".expected.xml");
  const std::string source = test::ReadFile(dir + name + ".xml");
  for (int round = 0; round < 4; ++round) {
    auto codec = SchemaCodec::Create(dir + name + ".bsg");
    if (codec == nullptr) {
      work->failure = "no codec";
      return;
    }
    std::string xml, error;
    if (!codec->DecodeToString(sxc.data(), sxc.size(), &xml, &error) || xml != expected) {
      work->failure = "decode differs: " + error;
      return;
    }
    if (test::RoundTrip(*codec, source) != expected) {
      work->failure = "encode differs";
      return;
    }
    ++work->rounds;
  }
}

TEST(SxcConcurrencyTest, TwoThreadsDecodeAndEncodeAtOnce) {
  SchemaCache::Clear();  // both threads race to load the schema
  const char* const names[] = {"doc_large", "doc_basic", "doc_mixed"};
  Work work[3];
  std::vector<std::thread> threads;
  for (int i = 0; i < 3; ++i) threads.emplace_back(DecodeAndEncode, names[i], &work[i]);
  int rounds = 0;
  for (int i = 0; i < 3; ++i) {
    threads[i].join();
    EXPECT_EQ(work[i].failure, "") << names[i];
    rounds += work[i].rounds;
  }
  EXPECT_EQ(rounds, 12);
  EXPECT_EQ(SchemaCache::Size(), 1u) << "doc_* share one identifier";
}

// Documents large enough that compression runs on helper threads beside the
// encoder's own check, and long value streams are cut into chunks: two such
// encodings at once must both come back exactly.
TEST(SxcConcurrencyTest, LargeDocumentsEncodeOnTwoThreadsAtOnce) {
  const std::string xsd =
      "<xs:schema xmlns:xs=\"http://www.w3.org/2001/XMLSchema\">"
      "<xs:element name=\"log\"><xs:complexType><xs:sequence>"
      "<xs:element name=\"entry\" maxOccurs=\"unbounded\"><xs:complexType><xs:sequence>"
      "<xs:element name=\"text\" type=\"xs:string\"/><xs:element name=\"n\" type=\"xs:int\"/>"
      "</xs:sequence></xs:complexType></xs:element>"
      "</xs:sequence></xs:complexType></xs:element></xs:schema>";
  std::vector<uint8_t> bsg;
  std::string error;
  ASSERT_TRUE(CompileSchemaText(xsd, &bsg, &error)) << error;
  const std::string path = test::TempPath(".bsg");
  test::WriteFile(path, std::string(bsg.begin(), bsg.end()));
  auto codec = SchemaCodec::Create(path);
  ASSERT_NE(codec, nullptr);

  auto make = [](int entries, int seed) {
    std::string xml = "<log>";
    for (int i = 0; i < entries; ++i) {
      xml += "<entry><text>line " + std::to_string(i * seed) + " of the run, status ";
      xml += (i % 3 == 0 ? "ok" : "pending");
      xml += "</text><n>" + std::to_string(i) + "</n></entry>";
    }
    return xml + "</log>";
  };
  const std::string first = make(60000, 7), second = make(45000, 13);
  const std::string first_expected = test::RoundTrip(*codec, first);
  const std::string second_expected = test::RoundTrip(*codec, second);
  ASSERT_NE(first_expected.find("<n>59999</n></entry></log>"), std::string::npos);
  ASSERT_NE(second_expected.find("<n>44999</n></entry></log>"), std::string::npos);
  std::string a_result, b_result;
  // One codec per thread: a codec keeps scratch state of its own.
  std::thread a([&] { a_result = test::RoundTrip(*SchemaCodec::Create(path), first); });
  std::thread b([&] { b_result = test::RoundTrip(*SchemaCodec::Create(path), second); });
  a.join();
  b.join();
  EXPECT_TRUE(a_result == first_expected);
  EXPECT_TRUE(b_result == second_expected);
  std::remove(path.c_str());
}

}  // namespace
}  // namespace zoq
