#include "cli/arguments.h"

#include <gtest/gtest.h>

namespace zoqcli {
namespace {

const std::vector<OptionSpec> kOptions = {{"-r", true}, {"--key", true}, {"--json", false}};

TEST(ParseArguments, AcceptsEveryValueSpellingAndOptionsAnywhere) {
  ParsedArgs args = ParseArguments({"pkg.zoq", "-r", "3", "--key=00ff", "--json", "/a"}, kOptions);
  EXPECT_EQ(*args.Value("-r"), "3");
  EXPECT_EQ(*args.Value("--key"), "00ff");
  EXPECT_TRUE(args.Has("--json"));
  EXPECT_EQ(args.Positionals(), (std::vector<std::string>{"pkg.zoq", "/a"}));
  EXPECT_EQ(*ParseArguments({"-r7"}, kOptions).Value("-r"), "7");
}

TEST(ParseArguments, KeepsEveryValueOfARepeatedOption) {
  ParsedArgs args = ParseArguments({"--key", "a", "--key", "b"}, kOptions);
  EXPECT_EQ(*args.Value("--key"), "b");
  EXPECT_EQ(args.Values("--key"), (std::vector<std::string>{"a", "b"}));
}

TEST(ParseArguments, DashAloneAndEverythingAfterDoubleDashArePositional) {
  ParsedArgs args = ParseArguments({"-", "--", "--json", "-r"}, kOptions);
  EXPECT_FALSE(args.Has("--json"));
  EXPECT_EQ(args.Positionals(), (std::vector<std::string>{"-", "--json", "-r"}));
}

TEST(ParseArguments, RejectsUnknownOptionsAndMissingOrSurplusValues) {
  EXPECT_THROW(ParseArguments({"--bogus"}, kOptions), UsageError);
  EXPECT_THROW(ParseArguments({"-x"}, kOptions), UsageError);
  EXPECT_THROW(ParseArguments({"pkg", "-r"}, kOptions), UsageError);
  EXPECT_THROW(ParseArguments({"--json=1"}, kOptions), UsageError);
}

TEST(ParseArguments, HelpIsSeenOnlyBeforeDoubleDash) {
  EXPECT_TRUE(AsksForHelp({"pkg", "--help"}));
  EXPECT_TRUE(AsksForHelp({"-h"}));
  EXPECT_FALSE(AsksForHelp({"--", "--help"}));
}

TEST(ParseInteger, AcceptsWholeNumbersInRangeOnly) {
  EXPECT_EQ(ParseInteger("42", "-r", 1, 100), 42);
  EXPECT_THROW(ParseInteger("0", "-r", 1, 100), UsageError);
  EXPECT_THROW(ParseInteger("101", "-r", 1, 100), UsageError);
  EXPECT_THROW(ParseInteger("4x", "-r", 1, 100), UsageError);
  EXPECT_THROW(ParseInteger(" 4", "-r", 1, 100), UsageError);
  EXPECT_THROW(ParseInteger("", "-r", 1, 100), UsageError);
  EXPECT_THROW(ParseInteger("99999999999999999999", "-r", 1, 100), UsageError);
}

}  // namespace
}  // namespace zoqcli
