#include "stream/bounded_inflate.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <string>

namespace zoq {
namespace {

std::vector<uint8_t> Zlib(const std::string& text, int level = 9) {
  uLongf size = compressBound(text.size());
  std::vector<uint8_t> out(size);
  EXPECT_EQ(compress2(out.data(), &size, reinterpret_cast<const Bytef*>(text.data()), text.size(),
                      level),
            Z_OK);
  out.resize(size);
  return out;
}

std::string Text(const std::vector<uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

// Streams inflating 1 to about 1000 times their size, so that the first
// guess is right, too small once, or too small several times.
TEST(BoundedInflateTest, WholeStreamsWithinTheLimitInflate) {
  std::string varied;
  for (int i = 0; varied.size() < 300000; ++i) varied += "line " + std::to_string(i * 7919) + "\n";
  for (const std::string& text :
       {std::string(), std::string("x"), varied, std::string(5 << 20, 'z')}) {
    const std::vector<uint8_t> stored = Zlib(text);
    std::vector<uint8_t> out{1, 2, 3};
    ASSERT_EQ(InflateToLimit(stored.data(), stored.size(), SIZE_MAX, &out), InflateResult::kOk)
        << text.size();
    EXPECT_EQ(Text(out), text);
    // Exactly the limit is whole; one byte less is too large, and nothing
    // is kept.
    ASSERT_EQ(InflateToLimit(stored.data(), stored.size(), text.size(), &out), InflateResult::kOk);
    EXPECT_EQ(out.size(), text.size());
    if (text.empty()) continue;
    EXPECT_EQ(InflateToLimit(stored.data(), stored.size(), text.size() - 1, &out),
              InflateResult::kTooLarge);
    EXPECT_TRUE(out.empty());
  }
}

TEST(BoundedInflateTest, BytesAfterTheStreamAreIgnored) {
  std::vector<uint8_t> stored = Zlib("the table");
  stored.insert(stored.end(), {0xDE, 0xAD, 0xBE, 0xEF});
  std::vector<uint8_t> out;
  ASSERT_EQ(InflateToLimit(stored.data(), stored.size(), 100, &out), InflateResult::kOk);
  EXPECT_EQ(Text(out), "the table");
}

TEST(BoundedInflateTest, DamagedShortAndForeignDataIsCorrupt) {
  const std::vector<uint8_t> stored = Zlib(std::string(20000, 'q') + "end", 6);
  std::vector<uint8_t> damaged = stored;
  damaged[damaged.size() - 1] ^= 1;  // the Adler-32 check
  std::vector<uint8_t> raw_deflate(stored.begin() + 2, stored.end());
  const std::vector<uint8_t> gzip_magic{0x1F, 0x8B, 0x08, 0x00};
  struct Case {
    const char* what;
    const uint8_t* data;
    size_t size;
  } cases[] = {
      {"empty", stored.data(), 0},
      {"cut short", stored.data(), stored.size() - 5},
      {"bad check", damaged.data(), damaged.size()},
      {"no zlib header", raw_deflate.data(), raw_deflate.size()},
      {"gzip header", gzip_magic.data(), gzip_magic.size()},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> out{9};
    EXPECT_EQ(InflateToLimit(c.data, c.size, SIZE_MAX, &out), InflateResult::kCorrupt) << c.what;
    EXPECT_TRUE(out.empty()) << c.what;
  }
}

}  // namespace
}  // namespace zoq
