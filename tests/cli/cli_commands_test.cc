// The zoq commands as a user meets them: help and usage errors, failure
// messages, key arguments, and the text and JSON forms of ls, info, log and
// stat.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "cli/command.h"
#include "json_value.h"
#include "package_builder.h"
#include "run_zoq.h"

namespace zoqtest {
namespace {

using zoq::test::JsonValue;

// Whether `text` names the option as a word of its own ("-r" is not
// named by "--raw").
bool NamesOption(const std::string& text, const std::string& option) {
  for (size_t at = text.find(option); at != std::string::npos; at = text.find(option, at + 1)) {
    char before = at == 0 ? ' ' : text[at - 1];
    char after = at + option.size() < text.size() ? text[at + option.size()] : ' ';
    if (std::string(" [|\n").find(before) != std::string::npos &&
        std::string(" ]|=\n").find(after) != std::string::npos) {
      return true;
    }
  }
  return false;
}

TEST(ZoqHelp, DescribesEveryCommandAndEachOfItsOptions) {
  RunResult overview = RunZoq({"--help"});
  EXPECT_EQ(overview.status, 0);
  RunResult version = RunZoq({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out.rfind("zoq ", 0), 0u) << version.out;
  RunResult help = RunZoq({"cat", "--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_TRUE(HasText(help.out, "usage: zoq cat [-r N]")) << help.out;
  EXPECT_TRUE(help.err.empty());
  // "zoq CMD --help" prints "usage: zoq " SYNOPSIS, a blank line and HELP:
  // both name every option the command takes.
  for (const zoqcli::Command* command : zoqcli::AllCommands()) {
    SCOPED_TRACE(command->name);
    EXPECT_TRUE(HasText(overview.out, std::string("  ") + command->name + " "));
    for (const zoqcli::OptionSpec& option : command->options) {
      EXPECT_TRUE(NamesOption(command->synopsis, option.name)) << option.name;
      EXPECT_TRUE(NamesOption(command->help, option.name)) << option.name;
    }
  }
}

TEST(ZoqUsage, MistakesExitWithStatus2AndAShortUsage) {
  const std::string package = Package("v_history");
  const std::vector<std::vector<std::string>> mistakes = {
      {},
      {"frobnicate", package},
      {"ls"},
      {"ls", "--bogus", package},
      {"ls", package, "/", "/extra"},
      {"cat", package},
      {"cat", "--raw", "--keep", "zip", package, "/a.txt"},
      {"cat", "--keep", "7", package, "/a.txt"},
      {"cat", "-r", "0", package, "/a.txt"},
      {"cat", "-r", "two", package, "/a.txt"},
      {"cat", "--key", "xyz", package, "/a.txt"},
      // Keys are never guessed: runs longer than a pair, odd runs, prefixes with separators.
      {"cat", "--key", "0x00112233445566778899aabbccddeeff0", package, "/a.txt"},
      {"cat", "--key", "00112233 44556677 8899aabb ccddeeff", package, "/a.txt"},
      {"cat", "--key", "0:11:f22:33", package, "/a.txt"},
      {"cat", "--key", "00", "--key-file", "/dev/null", package, "/a.txt"},
      {"cat", "--docver", "-1", package, "/a.txt"},
      {"verify", "--all=yes", package},
  };
  for (const auto& args : mistakes) {
    std::string line;
    for (const auto& arg : args) line += arg + " ";
    SCOPED_TRACE(line);
    RunResult run = RunZoq(args);
    ExpectFailure(run, 2, "usage: zoq");
    EXPECT_TRUE(run.out.empty());
  }
}

TEST(ZoqFailures, PrintTheCodeAndTableTextAndExit1) {
  ExpectFailure(RunZoq({"ls", Package("no-such-file")}), 1,
                "zoq: error 5063: ZOQ:");
  ExpectFailure(RunZoq({"info", Package("v_history"), "/nothing.txt"}), 1, "zoq: error 5054: ZOQ:");
  ExpectFailure(RunZoq({"cat", Package("v_history"), "/dir"}), 1, "is a folder");
  // A part that fails to decode is a failure even though nothing is shown.
  ExpectFailure(RunZoq({"cat", Package("v_damaged_deflate"), "/broken.xml"}), 1,
                "zoq: error 6008");
  // ZOQ_LANG=en: the same codes with the English texts.
  setenv("ZOQ_LANG", "en_US.UTF-8", 1);
  const RunResult english = RunZoq({"info", Package("v_history"), "/nothing.txt"});
  unsetenv("ZOQ_LANG");
  ExpectFailure(english, 1, "zoq: error 5054: ZOQ: no node data for the path inside the package\n");
}

TEST(ZoqKeys, EveryKeySpellingDecodesTheSamePart) {
  const std::string package = Package("v_adm_noiv");
  const std::string expected = "7dc8d7aa378456b99a1c4226d87d870d236fc968c88b8e51dc059dc08cdafb54";
  const std::vector<std::string> spellings = {
      "00112233445566778899aabbccddeeff",
      "00112233445566778899AABBCCDDEEFF",
      "00 11 22 33 44 55 66 77 88 99 AA BB CC DD EE FF",
      "00-11-22-33-44-55-66-77-88-99-aa-bb-cc-dd-ee-ff",
  };
  for (const std::string& key : spellings) {
    SCOPED_TRACE(key);
    RunResult run = RunZoq({"cat", "--key", key, package, "/adm/150000.bin"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Sha256Hex(run.out), expected);
  }
  ScratchFolder scratch;
  std::string key_file = scratch.path() + "/key.bin";
  WriteFileBytes(key_file, std::string("\x00\x11\x22\x33\x44\x55\x66\x77\x88\x99\xaa\xbb\xcc\xdd"
                                       "\xee\xff",
                                       16));
  RunResult from_file = RunZoq({"cat", "--key-file", key_file, package, "/adm/150000.bin"});
  ASSERT_EQ(from_file.status, 0) << from_file.err;
  EXPECT_EQ(Sha256Hex(from_file.out), expected);

  ExpectFailure(RunZoq({"cat", package, "/adm/150000.bin"}), 1, "zoq: error 10052392");
  // A wrong key cannot be told from the right one: it gives other bytes.
  RunResult wrong = RunZoq({"cat", "--key", "0011", package, "/adm/150000.bin"});
  EXPECT_EQ(wrong.status, 0) << wrong.err;
  EXPECT_NE(Sha256Hex(wrong.out), expected);
  ExpectFailure(RunZoq({"cat", "--key-file", scratch.path() + "/none", package, "/adm/1.bin"}), 1,
                "cannot read key file");
  // A key file is taken as it is, never cut or padded.
  WriteFileBytes(key_file, "");
  ExpectFailure(RunZoq({"cat", "--key-file", key_file, package, "/adm/1.bin"}), 1, "is empty");
  WriteFileBytes(key_file, std::string(257, 'k'));
  ExpectFailure(RunZoq({"cat", "--key-file", key_file, package, "/adm/1.bin"}), 1,
                "more than 256 bytes");
}

TEST(ZoqLs, ListsBelowAFolderAndAtARevision) {
  const std::string package = Package("v_history");
  RunResult folder = RunZoq({"ls", package, "dir"});
  ASSERT_EQ(folder.status, 0) << folder.err;
  EXPECT_EQ(SplitLines(folder.out), std::vector<std::string>{"/dir/c.txt"});
  RunResult part = RunZoq({"ls", package, "/a.txt"});
  EXPECT_EQ(SplitLines(part.out), std::vector<std::string>{"/a.txt"});
  // After the first revision: four parts created, nothing deleted yet.
  RunResult first = RunZoq({"ls", "-r", "1", package});
  EXPECT_EQ(SplitLines(first.out),
            (std::vector<std::string>{"/a.txt", "/b.txt", "/dir/", "/dir/c.txt", "/dir/d.txt"}));
  RunResult json = RunZoq({"ls", "--json", "-r", "1", package, "/a.txt"});
  JsonValue listed = JsonValue::Parse(json.out);
  ASSERT_EQ(listed.Items().size(), 1u);
  EXPECT_EQ(listed.Items()[0]["total_size"].AsInt(), 3);
  // Opened at revision 1, the package knows no later revision.
  EXPECT_EQ(listed.Items()[0]["revisions"].Items().size(), 1u);
}

TEST(ZoqLog, ShowsEveryRevisionWithItsRecords) {
  RunResult run = RunZoq({"log", Package("v_history")});
  ASSERT_EQ(run.status, 0) << run.err;
  std::vector<std::string> lines = SplitLines(run.out);
  ASSERT_EQ(lines.size(), 8u);
  EXPECT_EQ(lines[0], "1\t66\t3\tC /a.txt\tC /b.txt\tC /dir/c.txt\tC /dir/d.txt");
  EXPECT_EQ(lines[1], "2\t185\t3\tA /a.txt\tR /b.txt\tD /dir/c.txt");
  EXPECT_EQ(lines[7], "8\t1786\t3\tD /dir/d.txt\tC /f.txt");

  RunResult json = RunZoq({"log", "--json", Package("v_tables_mixed")});
  ASSERT_EQ(json.status, 0) << json.err;
  JsonValue revisions = JsonValue::Parse(json.out);
  std::vector<int64_t> flags;
  for (const JsonValue& revision : revisions.Items())
    flags.push_back(revision["table_flags"].AsInt());
  EXPECT_EQ(flags, (std::vector<int64_t>{1, 2, 0, 3}));
  EXPECT_EQ(revisions.Items()[0]["revision"].AsInt(), 1);

  ExpectFailure(RunZoq({"log", Package("b_chain_short")}), 1, "zoq: error 5026");
}

TEST(ZoqInfo, ShowsPackageFactsAtTheRevisionLimit) {
  RunResult all = RunZoq({"info", "--json", Package("v_w8_revisions")});
  ASSERT_EQ(all.status, 0) << all.err;
  JsonValue facts = JsonValue::Parse(all.out);
  EXPECT_EQ(facts["offset_width"].AsInt(), 8);
  EXPECT_EQ(facts["revision_count"].AsInt(), 4);
  EXPECT_EQ(facts["entries"].Items().size(), 4u);
  EXPECT_TRUE(facts["schema"].IsNull());

  RunResult limited = RunZoq({"info", "--json", "-r", "2", Package("v_w8_revisions")});
  JsonValue two = JsonValue::Parse(limited.out);
  EXPECT_EQ(two["revision_count"].AsInt(), 2);
  EXPECT_EQ(two["stored_revision_count"].AsInt(), 4);
  EXPECT_EQ(two["entries"].Items().size(), 2u);

  RunResult text = RunZoq({"info", Package("v_v10")});
  EXPECT_TRUE(HasText(text.out, "version:      1.0")) << text.out;

  RunResult part = RunZoq({"info", "--json", Package("v_history"), "/a.txt"});
  JsonValue info = JsonValue::Parse(part.out);
  EXPECT_EQ(info["kind"].AsString(), "part");
  EXPECT_EQ(info["position"].AsInt(), 30);
  EXPECT_EQ(info["size"].AsInt(), 895);
  RunResult folder = RunZoq({"info", Package("v_history"), "/dir/"});
  EXPECT_TRUE(HasText(folder.out, "children:     1")) << folder.out;
}

TEST(ZoqTerminal, NamesCannotDriveTheTerminal) {
  ScratchFolder scratch;
  const std::string package = scratch.path() + "/names.zoq";
  const std::string named = "/t\x1b]0;owned\x07\xc2\x9bx.txt";  // C1 U+009B too
  WriteFileBytes(package, zoq::test::BuildPackage({{named, {}, "a"}, {"/c.\x1b[2J", {}, "b"}}));
  auto expect_escaped = [](const RunResult& run) {
    EXPECT_EQ(run.out.find_first_of("\x1b\x07"), std::string::npos) << run.out;
    EXPECT_FALSE(HasText(run.out, "\xc2\x9b")) << run.out;
    EXPECT_TRUE(HasText(run.out, "\\x1b")) << run.out;
  };
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{"ls", package},
                                             {"log", package},
                                             {"info", package, named},
                                             {"stat", package},
                                             {"diff", package},
                                             {"grep", "a", package}}) {
    SCOPED_TRACE(args[0]);
    RunResult run = RunZoqOnTerminal(args);
    EXPECT_EQ(run.status, 0) << run.out;
    expect_escaped(run);
    // Only control characters change: the folder row of stat stays "\".
    if (args[0] == "stat") {
      EXPECT_TRUE(HasText(run.out, "\n\\    ")) << run.out;
    }
  }
  RunResult error = RunZoqOnTerminal({"cat", package, "/no\x1b[2J"});
  EXPECT_EQ(error.status, 1);
  expect_escaped(error);
  // Into a pipe the names stay as stored; JSON escapes them always.
  EXPECT_TRUE(HasText(RunZoq({"ls", package}).out, named + "\n"));
  RunResult json = RunZoq({"ls", "--json", package});
  EXPECT_EQ(json.out.find('\x1b'), std::string::npos);
  EXPECT_EQ(JsonValue::Parse(json.out).Items()[0]["path"].AsString(), named);
}

TEST(ZoqUnreadablePart, IsShownWithItsErrorAndTheOthersStillAre) {
  ScratchFolder scratch;
  const std::string package = scratch.path() + "/codes.zoq";
  // A data record may list at most 7 ECS codes.
  WriteFileBytes(package, zoq::test::BuildPackage({{"/good.txt", {}, "ok"},
                                                   {"/bad.bin", {2, 2, 2, 2, 2, 2, 2, 2}, "x"}}));
  RunResult listed = RunZoq({"ls", "--json", package});
  ExpectFailure(listed, 1, "/bad.bin: error 10020622");
  JsonValue items = JsonValue::Parse(listed.out);
  ASSERT_EQ(items.Items().size(), 2u);
  EXPECT_EQ(items.Items()[0]["size"].AsInt(), 2);
  EXPECT_EQ(items.Items()[1]["error"]["code"].AsInt(), 10020622);
  EXPECT_FALSE(items.Items()[1]["error"]["text"].AsString().empty());
  RunResult info = RunZoq({"info", "--json", package, "/bad.bin"});
  ExpectFailure(info, 1, "/bad.bin: error 10020622");
  EXPECT_EQ(JsonValue::Parse(info.out)["error"]["code"].AsInt(), 10020622);
  RunResult stat = RunZoq({"stat", package});
  ExpectFailure(stat, 1, "/bad.bin: error 10020622");
  EXPECT_TRUE(HasText(stat.out, "total")) << stat.out;
}

TEST(ZoqVerify, DecodeProvesThatEveryPartReads) {
  // The check byte agrees with damaged deflate data: only decoding tells.
  RunResult checks = RunZoq({"verify", Package("v_damaged_deflate")});
  EXPECT_EQ(checks.status, 0) << checks.err;
  EXPECT_TRUE(HasText(checks.out, "check bytes")) << checks.out;
  EXPECT_TRUE(HasText(checks.out, "not decoded")) << checks.out;
  RunResult decoded = RunZoq({"verify", "--decode", Package("v_damaged_deflate")});
  ExpectFailure(decoded, 1, "zoq: /broken.xml: error 6008");
  EXPECT_TRUE(HasText(decoded.err, "1 of 2 parts cannot be decoded")) << decoded.err;

  // Every revision's content, deleted parts included.
  RunResult all = RunZoq({"verify", "--decode", "--all", Package("v_history")});
  EXPECT_EQ(all.status, 0) << all.err;
  EXPECT_TRUE(HasText(all.out, "ok: ")) << all.out;
  const std::string adm = Package("v_adm_noiv");
  ExpectFailure(RunZoq({"verify", "--decode", adm}), 1, "error 10052392");
  EXPECT_EQ(RunZoq({"verify", "--decode", "--key", "00112233445566778899aabbccddeeff", adm}).status,
            0);
  ExpectFailure(RunZoq({"verify", "--key", "00", adm}), 2, "--key needs --decode");
}

TEST(ZoqStat, CountsByUpperCaseExtensionWithFoldersUnderABackslash) {
  RunResult run = RunZoq({"stat", Package("v_utf8_paths")});
  ASSERT_EQ(run.status, 0) << run.err;
  std::vector<std::string> lines = SplitLines(run.out);
  // Folders: the root and four below it; .TXT: three parts.
  bool saw_folders = false;
  bool saw_txt = false;
  for (const std::string& line : lines) {
    std::istringstream fields(line);
    std::string key;
    long long count = 0;
    fields >> key >> count;
    if (key == "\\") {
      saw_folders = true;
      EXPECT_EQ(count, 5);
    }
    if (key == ".TXT") {
      saw_txt = true;
      EXPECT_EQ(count, 4);
    }
    if (key == "total") {
      EXPECT_EQ(count, 11);
    }
  }
  EXPECT_TRUE(saw_folders && saw_txt) << run.out;
  RunResult empty = RunZoq({"stat", Package("v_empty")});
  ASSERT_EQ(empty.status, 0) << empty.err;
  // Nothing stored: no share is shown.
  EXPECT_FALSE(HasText(empty.out, "%")) << empty.out;
}

}  // namespace
}  // namespace zoqtest
