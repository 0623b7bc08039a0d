#include "zoq/key_text.h"

#include <gtest/gtest.h>

#include <string>

namespace zoq {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(KeyEntryText, ReadsSeparatedRunsInAnyCase) {
  EXPECT_EQ(ParseKeyEntryText("FF FE 0D 0A"), (Bytes{0xFF, 0xFE, 0x0D, 0x0A}));
  EXPECT_EQ(ParseKeyEntryText("ff-fe-0d-0a"), (Bytes{0xFF, 0xFE, 0x0D, 0x0A}));
  EXPECT_EQ(ParseKeyEntryText("  aB,,Cd:1\t2  "), (Bytes{0xAB, 0xCD, 0x01, 0x02}));
  EXPECT_EQ(ParseKeyEntryText(u"Ab\u3000cD"), (Bytes{0xAB, 0xCD}));
}

TEST(KeyEntryText, KeepsTheLastTwoDigitsOfALongRun) {
  EXPECT_EQ(ParseKeyEntryText("ABC"), Bytes{0xBC});
  EXPECT_EQ(ParseKeyEntryText("123 4"), (Bytes{0x23, 0x04}));
  // The entry rule never splits a run, even an even-length one.
  EXPECT_EQ(ParseKeyEntryText("00112233"), Bytes{0x33});
}

TEST(KeyEntryText, TextWithoutDigitsGivesAnEmptyKey) {
  EXPECT_TRUE(ParseKeyEntryText("").empty());
  EXPECT_TRUE(ParseKeyEntryText("xyz - ?").empty());
}

TEST(KeyEntryText, StopsAt256Bytes) {
  std::string text;
  for (int i = 0; i < 300; ++i) text += std::to_string(i % 10) + " ";
  Bytes key = ParseKeyEntryText(text);
  ASSERT_EQ(key.size(), kMaxKeyBytes);
  EXPECT_EQ(key[255], 5);
}

TEST(KeyArgument, ReadsAnUnbrokenEvenRunAsPairs) {
  EXPECT_EQ(ParseKeyArgument("00112233445566778899aabbccddeeff"),
            (Bytes{0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xAA, 0xBB, 0xCC,
                   0xDD, 0xEE, 0xFF}));
  EXPECT_EQ(ParseKeyArgument("2B7E1516"), (Bytes{0x2B, 0x7E, 0x15, 0x16}));
}

TEST(KeyArgument, FallsBackToTheEntryRule) {
  EXPECT_EQ(ParseKeyArgument("ABC"), Bytes{0xBC});  // odd length
  EXPECT_EQ(ParseKeyArgument("0011 2233"), (Bytes{0x11, 0x33}));
  EXPECT_EQ(ParseKeyArgument("00-11-22"), (Bytes{0x00, 0x11, 0x22}));
  EXPECT_EQ(ParseKeyArgument("0g"), Bytes{0x00});
  EXPECT_TRUE(ParseKeyArgument("").empty());
}

TEST(KeyArgument, StopsAt256Bytes) {
  EXPECT_EQ(ParseKeyArgument(std::string(1000, 'a')).size(), kMaxKeyBytes);
}

}  // namespace
}  // namespace zoq
