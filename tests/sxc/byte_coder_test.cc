#include "sxc/byte_coder.h"

#include <gtest/gtest.h>

#include <vector>

namespace zoq {
namespace {

uint32_t DecodeAll(std::vector<uint8_t> bytes, size_t* consumed) {
  const uint8_t* cursor = bytes.data();
  const uint32_t value = ByteCoder::Decode(&cursor, bytes.data() + bytes.size());
  *consumed = static_cast<size_t>(cursor - bytes.data());
  return value;
}

TEST(ByteCoderTest, DecodesEachLength) {
  size_t used;
  EXPECT_EQ(DecodeAll({0x7F}, &used), 127u);
  EXPECT_EQ(used, 1u);
  EXPECT_EQ(DecodeAll({0x80, 0x80}, &used), 128u);
  EXPECT_EQ(used, 2u);
  EXPECT_EQ(DecodeAll({0xC0, 0x40, 0x00}, &used), 16384u);
  EXPECT_EQ(used, 3u);
  EXPECT_EQ(DecodeAll({0xE1, 0x00, 0x00, 0x00}, &used), 16777216u);
  EXPECT_EQ(used, 4u);
}

TEST(ByteCoderTest, InvalidOrShortInput) {
  size_t used;
  EXPECT_EQ(DecodeAll({0xF0, 0x01}, &used), 0u);
  EXPECT_EQ(used, 0u) << "an invalid first byte is not consumed";
  EXPECT_EQ(DecodeAll({0xC0, 0x40}, &used), 0u);
  EXPECT_EQ(used, 2u) << "a cut-off code consumes what is left";
  EXPECT_EQ(DecodeAll({}, &used), 0u);
  EXPECT_EQ(used, 0u);
}

TEST(ByteCoderTest, EncodesShortestFormAndRoundTrips) {
  const std::pair<uint32_t, int> cases[] = {{0, 1},          {0x7F, 1},       {0x80, 2},
                                            {0x3FFF, 2},     {0x4000, 3},     {0x1FFFFF, 3},
                                            {0x200000, 4},   {0x0FFFFFFF, 4}};
  for (const auto& [value, length] : cases) {
    const ByteCode code = ByteCoder::Encode(value);
    ASSERT_EQ(code.length, length) << value;
    const uint8_t* cursor = code.bytes;
    EXPECT_EQ(ByteCoder::Decode(&cursor, code.bytes + code.length), value);
    EXPECT_EQ(cursor, code.bytes + code.length);
  }
}

TEST(ByteCoderTest, ValuesBeyond28BitsAreNotCoded) {
  testing::internal::CaptureStdout();
  const ByteCode code = ByteCoder::Encode(0x10000000);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Out of ByteCoder range.\n");
  EXPECT_EQ(code.length, 0);
}

}  // namespace
}  // namespace zoq
