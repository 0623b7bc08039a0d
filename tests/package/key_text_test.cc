#include "zoq/key_text.h"

#include <gtest/gtest.h>

#include <string>

namespace zoq {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Entry(std::string_view text) { return ReadKeyText(text, KeyTextMode::kEntry).bytes; }

TEST(KeyEntryText, ReadsRunsAndSaysWhenOneWasCut) {
  EXPECT_EQ(Entry("FF FE 0D 0A"), (Bytes{0xFF, 0xFE, 0x0D, 0x0A}));
  EXPECT_EQ(Entry("  aB,,Cd:1\t2  "), (Bytes{0xAB, 0xCD, 0x01, 0x02}));
  EXPECT_EQ(ReadKeyText(u"Ab\u3000cD", KeyTextMode::kEntry).bytes, (Bytes{0xAB, 0xCD}));
  EXPECT_FALSE(ReadKeyText("FF FE", KeyTextMode::kEntry).runs_cut);
  // Only the last two digits of a run count, even in an even-length run.
  const KeyText cut = ReadKeyText("7a6f712d73616d706c65", KeyTextMode::kEntry);
  EXPECT_EQ(cut.bytes, Bytes{0x65});
  EXPECT_TRUE(cut.runs_cut);
  EXPECT_TRUE(cut.ok());
  EXPECT_EQ(Entry("123 4"), (Bytes{0x23, 0x04}));
  EXPECT_TRUE(Entry("xyz - ?").empty());
  std::string text;
  for (int i = 0; i < 300; ++i) text += std::to_string(i % 10) + " ";
  const KeyText full = ReadKeyText(text, KeyTextMode::kEntry);
  ASSERT_EQ(full.bytes.size(), kMaxKeyBytes);
  EXPECT_EQ(full.bytes[255], 5);
  EXPECT_TRUE(full.truncated);
}

TEST(KeyStrictText, AcceptsPairsAndRefusesEverythingElse) {
  const Bytes k16{0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77,
                  0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF};
  struct Case {
    const char* text;
    Bytes bytes;  // empty: refused
    const char* problem_part;
  };
  const Case cases[] = {
      {"00112233445566778899aabbccddeeff", k16, ""},
      {"0x00112233445566778899AABBCCDDEEFF", k16, ""},
      {"00 11 22 33 44 55 66 77 88 99 aa bb cc dd ee ff", k16, ""},
      {"00:11:22:33:44:55:66:77:88:99:aa:bb:cc:dd:ee:ff", k16, ""},
      {"00-11-22", {0x00, 0x11, 0x22}, ""},
      {" 2B7E1516 ", {0x2B, 0x7E, 0x15, 0x16}, ""},
      {"00112233 44556677 8899aabb ccddeeff", {}, "exactly two digits"},
      {"abc", {}, "odd number"},
      {"0g", {}, "'g' at position 2"},
      {"0x", {}, "after \"0x\""},
      {"00 0x11", {}, "'x'"},
      {"00::11", {}, "has 0 digits"},
      {"00 11 ", {0x00, 0x11}, ""},  // surrounding blanks are trimmed
      {"00:", {}, "ends with a separator"},
      {"", {}, "empty"},
      {"   ", {}, "empty"},
  };
  for (const Case& c : cases) {
    const KeyText key = ReadKeyText(c.text, KeyTextMode::kStrict);
    EXPECT_EQ(key.bytes, c.bytes) << c.text;
    EXPECT_EQ(key.ok(), !c.bytes.empty()) << c.text;
    EXPECT_NE(key.problem.find(c.problem_part), std::string::npos) << c.text << ": " << key.problem;
  }
  EXPECT_EQ(ReadKeyText(std::string(512, 'a'), KeyTextMode::kStrict).bytes.size(), kMaxKeyBytes);
  EXPECT_FALSE(ReadKeyText(std::string(514, 'a'), KeyTextMode::kStrict).ok());
}

}  // namespace
}  // namespace zoq
