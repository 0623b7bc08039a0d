// Two threads load the same schema and decode and encode SXC at the same
// time; each must get exactly what a lone thread gets. Run under
// ThreadSanitizer by `make tsan`.
#include <gtest/gtest.h>

#include <thread>

#include "sxc/schema_cache.h"
#include "sxc/schema_codec.h"
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
  Work first, second, third;
  std::thread a(DecodeAndEncode, "doc_large", &first);
  std::thread b(DecodeAndEncode, "doc_basic", &second);
  std::thread c(DecodeAndEncode, "doc_mixed", &third);
  a.join();
  b.join();
  c.join();
  EXPECT_EQ(first.failure, "");
  EXPECT_EQ(second.failure, "");
  EXPECT_EQ(third.failure, "");
  EXPECT_EQ(first.rounds + second.rounds + third.rounds, 12);
  EXPECT_EQ(SchemaCache::Size(), 1u) << "doc_* share one identifier";
}

}  // namespace
}  // namespace zoq
