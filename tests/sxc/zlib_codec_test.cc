#include "sxc/zlib_codec.h"

#include <gtest/gtest.h>

#include <string>

namespace zoq {
namespace {

std::vector<uint8_t> Compressed(const std::string& text) {
  std::vector<uint8_t> out;
  EXPECT_TRUE(DeflateAll(reinterpret_cast<const uint8_t*>(text.data()), text.size(), &out));
  return out;
}

// The limit bounds what is produced and allocated, whatever the stream
// would inflate to; a stream that ends exactly at the limit is whole.
TEST(InflateBoundedTest, LimitBoundsOutputAndMemory) {
  const std::string zeros(8 << 20, '\0');
  const std::vector<uint8_t> bomb = Compressed(zeros);
  ASSERT_LT(bomb.size(), zeros.size() / 500);
  std::vector<uint8_t> out;
  for (size_t limit : {size_t{0}, size_t{1}, size_t{1000}, size_t{3} << 20}) {
    EXPECT_EQ(InflateBounded(bomb.data(), bomb.size(), limit, &out), InflateStatus::kTooLarge) << limit;
    EXPECT_LE(out.size(), limit);
    EXPECT_LE(out.capacity(), limit + 1024) << "memory follows the limit";
  }
  EXPECT_EQ(InflateBounded(bomb.data(), bomb.size(), zeros.size(), &out), InflateStatus::kOk);
  EXPECT_EQ(out.size(), zeros.size());
  EXPECT_TRUE(InflateAll(bomb.data(), bomb.size(), &out)) << "within zlib's own ratio";
}

TEST(InflateBoundedTest, DamagedAndShortStreamsAreCorrupt) {
  const std::vector<uint8_t> stream = Compressed(std::string(100000, 'x') + "tail");
  std::vector<uint8_t> out;
  EXPECT_EQ(InflateBounded(stream.data(), stream.size() - 1, SIZE_MAX, &out), InflateStatus::kCorrupt);
  EXPECT_EQ(InflateBounded(stream.data(), 0, SIZE_MAX, &out), InflateStatus::kCorrupt);
  std::vector<uint8_t> damaged = stream;
  damaged[0] ^= 0x20;  // the header check fails
  EXPECT_EQ(InflateBounded(damaged.data(), damaged.size(), SIZE_MAX, &out), InflateStatus::kCorrupt);
  EXPECT_EQ(InflateLimitFor(10), 10 * kMaxInflateRatio + 1024);
  EXPECT_EQ(InflateLimitFor(SIZE_MAX / 2), SIZE_MAX);
}

}  // namespace
}  // namespace zoq
