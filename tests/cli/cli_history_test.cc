// The history commands of zoq: diff, restore, grep and recover, as a user
// runs them (outputs, exit statuses, and that failures write nothing).
#include <gtest/gtest.h>

#include "json_value.h"
#include "run_zoq.h"
#include "zoq/line_search.h"
#include "zoq/xml_lines.h"

namespace zoqtest {
namespace {

const char kKey[] = "000102030405060708090a0b0c0d0e0f";

class ZoqHistory : public testing::Test {
 protected:
  // 1: /a.txt, /dir/b.txt (zip), /bin (binary), /secret (ADM)
  // 2: /a.txt replaced, /bin replaced, "!" appended to /secret
  // 3: /dir/b.txt deleted, "4" appended to /a.txt
  void SetUp() override {
    package_ = scratch_.path() + "/p.zoq";
    Zoq({"create", package_});
    Zoq({"commit", package_, "--add", "/a.txt=" + File("one\ntwo\nthree\n"), "--add",
         "/bin=" + File(std::string("\x89PNG\0\0", 6))});
    Zoq({"commit", package_, "--merge", "--codes", "zip", "--add",
         "/dir/b.txt=" + File("hello\nHello again\n")});
    Zoq({"commit", package_, "--merge", "--codes", "adm", "--key", kKey, "--add",
         "/secret=" + File("hidden word\n")});
    Zoq({"commit", package_, "--add", "/a.txt=" + File("one\n2\nthree\n"), "--add",
         "/bin=" + File(std::string("\x89PNG\0\1", 6))});
    Zoq({"commit", package_, "--merge", "--codes", "adm", "--key", kKey, "--append",
         "/secret=" + File("!\n")});
    Zoq({"commit", package_, "--rm", "/dir/b.txt", "--append", "/a.txt=" + File("4\n")});
    ASSERT_EQ(SplitLines(Zoq({"log", package_}).out).size(), 3u);
  }

  std::string File(const std::string& content) {
    std::string path = scratch_.path() + "/in" + std::to_string(files_++);
    WriteFileBytes(path, content);
    return path;
  }

  ScratchFolder scratch_;
  std::string package_;
  int files_ = 0;
};

TEST_F(ZoqHistory, DiffListsChangedPartsAndShowsTheirContent) {
  EXPECT_EQ(Zoq({"diff", package_}).out, "M\t/a.txt\nD\t/dir/b.txt\n");
  EXPECT_EQ(Zoq({"diff", "-r", "0", "-r", "1", package_, "/dir"}).out, "A\t/dir/b.txt\n");
  EXPECT_EQ(Zoq({"diff", "--key", kKey, "-r", "1", package_}).out,
            "M\t/a.txt\nM\t/bin\nD\t/dir/b.txt\nM\t/secret\n");
  zoq::test::JsonValue json =
      zoq::test::JsonValue::Parse(Zoq({"diff", "--json", "-r", "1", "-r", "3", package_, "/a.txt",
                                       "/dir/b.txt"})
                                      .out);
  ASSERT_EQ(json.Items().size(), 2u);
  EXPECT_EQ(json.Items()[0]["to"].Items().size(), 2u);  // replaced in 2, appended in 3
  EXPECT_EQ(json.Items()[0]["to"].Items()[1].AsInt(), 3);
  EXPECT_EQ(json.Items()[1]["deleted_in"].AsInt(), 3);

  EXPECT_EQ(Zoq({"diff", "-r", "1", package_, "/a.txt"}).out,
            "--- /a.txt\trevision 1\n+++ /a.txt\trevision 3\n@@ -1,3 +1,4 @@\n one\n-two\n+2\n"
            " three\n+4\n");
  std::string binary = Zoq({"diff", "-r", "1", "-r", "2", package_, "/bin"}).out;
  EXPECT_TRUE(HasText(binary, "binary parts differ: /bin\n  revision 1: 6 bytes, SHA-256 " +
                                  Sha256Hex(std::string("\x89PNG\0\0", 6))))
      << binary;
  EXPECT_EQ(Zoq({"diff", "-r", "2", "-r", "2", package_, "/bin"}).out, "");

  // Without the key the encrypted part is named as not comparable.
  RunResult no_key = Zoq({"diff", "-r", "1", package_}, 1);
  EXPECT_EQ(no_key.out, "M\t/a.txt\nM\t/bin\nD\t/dir/b.txt\n");
  EXPECT_TRUE(HasText(no_key.err, "cannot compare /secret")) << no_key.err;
  ExpectFailure(Zoq({"diff", "-r", "4", package_}, 1), 1, "revision 4 is out of range");
  ExpectFailure(Zoq({"diff", package_, "/nothing"}, 1), 1, "/nothing: no such part or folder");
  ExpectFailure(Zoq({"diff", "-r", "1", "-r", "2", "-r", "3", package_}, 2), 2, "at most two");
}

TEST_F(ZoqHistory, RestoreMakesOneRevisionAndFailsWithoutChangingAnything) {
  const std::string before = ReadFileBytes(package_);
  ExpectFailure(Zoq({"restore", "-r", "1", package_, "/a.txt", "/missing"}, 1), 1,
                "/missing: no part or folder of that name in revision 1");
  ExpectFailure(Zoq({"restore", "-r", "9", package_, "/a.txt"}, 1), 1, "out of range");
  EXPECT_EQ(ReadFileBytes(package_), before);

  EXPECT_EQ(Zoq({"restore", "-r", "1", package_, "/", "/a.txt"}).out,
            "restored\t/a.txt\nrestored\t/bin\nrestored\t/dir/b.txt\nrestored\t/secret\n");
  std::vector<std::string> log = SplitLines(Zoq({"log", package_}).out);
  ASSERT_EQ(log.size(), 4u);
  EXPECT_TRUE(HasText(log[3], "R /a.txt\tR /bin\tC /dir/b.txt\tR /secret")) << log[3];
  EXPECT_EQ(Zoq({"cat", package_, "/dir/b.txt"}).out, "hello\nHello again\n");
  EXPECT_EQ(Zoq({"cat", "--key", kKey, package_, "/secret"}).out, "hidden word\n");
  EXPECT_EQ(Zoq({"diff", "--key", kKey, "-r", "1", package_}).out, "");
  // Nothing differs: no new revision.
  EXPECT_EQ(Zoq({"restore", "-r", "1", package_, "/dir"}).out, "unchanged\t/dir/b.txt\n");
  EXPECT_EQ(SplitLines(Zoq({"log", package_}).out).size(), 4u);
}

TEST_F(ZoqHistory, GrepPrintsMatchingLinesWithGrepsExitStatus) {
  EXPECT_EQ(Zoq({"grep", "--key", kKey, "o", package_}).out,
            "/a.txt:1:one\n/secret:1:hidden word\n");
  EXPECT_EQ(Zoq({"grep", "-i", "^HELLO", "-r", "1", package_, "/dir"}).out,
            "/dir/b.txt:1:hello\n/dir/b.txt:2:Hello again\n");
  EXPECT_EQ(Zoq({"grep", "--all-revisions", "^t", package_, "/a.txt"}).out,
            "1:/a.txt:2:two\n1:/a.txt:3:three\n2:/a.txt:3:three\n3:/a.txt:3:three\n");
  EXPECT_EQ(Zoq({"grep", "-l", "--all-revisions", "hello", package_, "/dir"}).out,
            "1:/dir/b.txt\n");
  EXPECT_EQ(Zoq({"grep", "--key", kKey, "word", package_, "/secret"}).out,
            "/secret:1:hidden word\n");
  // Binary content is searched only with -a.
  EXPECT_EQ(Zoq({"grep", "PNG", package_, "/bin", "/a.txt"}, 1).out, "");
  EXPECT_EQ(Zoq({"grep", "-a", "-l", "PNG", package_, "/bin", "/a.txt"}).out, "/bin\n");
  // A part that cannot be read is an error even when others match.
  RunResult no_key = Zoq({"grep", "o", package_, "/"}, 2);
  EXPECT_TRUE(HasText(no_key.out, "/a.txt:1:one")) << no_key.out;
  EXPECT_TRUE(HasText(no_key.err, "cannot search /secret")) << no_key.err;
  ExpectFailure(Zoq({"grep", "(", package_}, 2), 2, "bad pattern");
  ExpectFailure(Zoq({"grep", "x", package_, "/nothing"}, 2), 2, "no such part or folder");
  ExpectFailure(Zoq({"grep", "x", scratch_.path() + "/none.zoq"}, 2), 2, "5063");
}

TEST_F(ZoqHistory, GrepAndDiffReadSxcAsOneElementPerLine) {
  const std::string sample = std::string(ZOQ_BUILD_DIR) + "/samples/sample.pliv";
  std::string hits = Zoq({"grep", "-r", "1", "<heading>", sample, "/Pages/page1.xml"}).out;
  EXPECT_TRUE(HasText(hits, "/Pages/page1.xml:4:<heading>")) << hits;
  std::string diff = Zoq({"diff", "-r", "1", "-r", "2", sample, "/Pages/page1.xml"}).out;
  EXPECT_TRUE(HasText(diff, "\n-<document id=\"page1\" version=\"1.0\" lang=\"zh-CN\">\n")) << diff;
}

TEST_F(ZoqHistory, RecoverWritesWhatReadsAndReportsTheRest) {
  const std::string whole = ReadFileBytes(package_);
  const std::string cut = scratch_.path() + "/cut.zoq";
  WriteFileBytes(cut, whole.substr(0, whole.size() - 3));
  const std::string out = scratch_.path() + "/out.zoq";
  RunResult run = Zoq({"recover", cut, out});
  EXPECT_TRUE(HasText(run.out, "kept: revisions 1 to 2 (every part reads and checks)\n"
                               "revision 3 (entry at offset "))
      << run.out;
  EXPECT_TRUE(HasText(run.out, "  damaged\tA /a.txt\terror 5025: ZOQ:读取BitStream失败\n  not copied\tD /dir/b.txt\n"))
      << run.out;
  EXPECT_EQ(SplitLines(Zoq({"log", out}).out).size(), 2u);
  EXPECT_EQ(Zoq({"cat", out, "/a.txt"}).out, "one\n2\nthree\n");

  ExpectFailure(Zoq({"recover", cut, out}, 1), 1, "exists; give --force");
  ExpectFailure(Zoq({"recover", "--force", cut, cut}, 1), 1, "is the damaged package itself");
  zoq::test::JsonValue json =
      zoq::test::JsonValue::Parse(Zoq({"recover", "--force", "--json", package_, out}).out);
  EXPECT_EQ(json["kept"].AsInt(), 3);
  EXPECT_EQ(ReadFileBytes(out), whole);

  WriteFileBytes(cut, "@ZOR" + whole.substr(4));
  ExpectFailure(Zoq({"recover", cut, scratch_.path() + "/none.zoq"}, 1), 1,
                "the package header does not read");
  bool exists = true;
  ReadFileBytes(scratch_.path() + "/none.zoq", &exists);
  EXPECT_FALSE(exists);
}

// Content comes in pieces cut anywhere: lines and tags that straddle pieces
// must come out the same as from one piece.
TEST(ContentPieces, LinesAndTagsComeOutTheSameHoweverTheTextIsCut) {
  const std::string text = "alpha\n\nbeta gamma\nGAMMA\nlast line without end";
  const struct {
    const char* pattern;
    bool ignore_case;
    std::string expected;
  } cases[] = {
      {"gamma", false, "3:beta gamma|"},
      {"gamma", true, "3:beta gamma|4:GAMMA|"},
      {"^$", false, "2:|"},
      {"a\\nb", false, ""},  // a match across a line end is no line's match
      {"end$", false, "5:last line without end|"},
  };
  for (const auto& c : cases) {
    std::unique_ptr<zoq::LinePattern> pattern = zoq::LinePattern::Compile(c.pattern, c.ignore_case, nullptr);
    ASSERT_TRUE(pattern) << c.pattern;
    for (size_t piece = 1; piece <= text.size(); ++piece) {
      zoq::LineSearch search(*pattern, false);
      std::string got;
      zoq::LineHit hit = [&](int64_t number, std::string_view line) {
        got += std::to_string(number) + ":" + std::string(line) + "|";
      };
      for (size_t at = 0; at < text.size(); at += piece) {
        ASSERT_TRUE(search.Feed(text.data() + at, std::min(piece, text.size() - at), hit).ok());
      }
      ASSERT_TRUE(search.Finish(hit).ok());
      EXPECT_EQ(got, c.expected) << c.pattern << " in pieces of " << piece;
    }
  }
  const std::string xml = "<?xml?><a><b>x</b><c/></a>";
  for (size_t piece = 1; piece <= xml.size(); ++piece) {
    zoq::XmlLineBreaker breaker;
    std::string lines;
    for (size_t at = 0; at < xml.size(); at += piece) {
      breaker.Feed(xml.data() + at, std::min(piece, xml.size() - at), &lines);
    }
    EXPECT_EQ(lines, "<?xml?>\n<a>\n<b>x</b>\n<c/>\n</a>") << piece;
  }
}

}  // namespace
}  // namespace zoqtest
