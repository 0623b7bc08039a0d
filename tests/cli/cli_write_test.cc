// The zoq commands that change packages: each change command makes one
// revision, commit makes one for many changes, import stores a folder tree,
// compact leaves a single revision.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "json_value.h"
#include "run_zoq.h"

namespace zoqtest {
namespace {

using zoq::test::JsonValue;

// The record columns of "zoq log" (revision number, type letters and paths).
std::vector<std::string> Records(const std::string& package) {
  std::vector<std::string> records;
  for (const std::string& line : SplitLines(RunZoq({"log", package}).out)) {
    std::string revision = line.substr(0, line.find('\t'));
    size_t at = 0;
    for (int field = 0; field < 3; ++field) at = line.find('\t', at) + 1;
    std::string rest = line.substr(at);
    for (char& c : rest) c = c == '\t' ? ',' : c;
    records.push_back(revision + ":" + rest);
  }
  return records;
}

class ZoqWrite : public testing::Test {
 protected:
  void SetUp() override {
    package_ = scratch_.path() + "/p.zoq";
    RunResult create = RunZoq({"create", package_});
    ASSERT_EQ(create.status, 0) << create.err;
    file_ = scratch_.path() + "/in.txt";
    WriteFileBytes(file_, "hello\n");
  }

  ScratchFolder scratch_;
  std::string package_;
  std::string file_;
};

TEST_F(ZoqWrite, EachChangeCommandMakesOneRevision) {
  Zoq({"add", package_, "/a.txt", file_});
  Zoq({"add", "--codes", "zip", package_, "dir/b.txt", file_});
  Zoq({"append", package_, "/a.txt", file_});
  Zoq({"replace", package_, "/dir/b.txt", file_});
  Zoq({"rm", package_, "/a.txt"});
  EXPECT_EQ(Records(package_),
            (std::vector<std::string>{"1:C /a.txt", "2:C /dir/b.txt", "3:A /a.txt",
                                      "4:R /dir/b.txt", "5:D /a.txt"}));
  EXPECT_EQ(Zoq({"cat", "-r", "3", package_, "/a.txt"}).out, "hello\nhello\n");
  EXPECT_EQ(SplitLines(Zoq({"ls", package_}).out), (std::vector<std::string>{"/dir/", "/dir/b.txt"}));
  Zoq({"verify", "--all", package_});
}

TEST_F(ZoqWrite, CodesAndKeysRoundTrip) {
  const std::string key = "00112233445566778899aabbccddeeff";
  Zoq({"add", "--codes", "zip,adm", "--key", key, package_, "/secret.txt", file_});
  EXPECT_EQ(Zoq({"cat", "--key", key, package_, "/secret.txt"}).out, "hello\n");
  RunResult locked = RunZoq({"cat", package_, "/secret.txt"});
  EXPECT_EQ(locked.status, 1);
  Zoq({"encode", package_, "/secret.txt", "zip"});
  RunResult info = Zoq({"info", package_, "/secret.txt"});
  EXPECT_TRUE(HasText(info.out, "2 (zip), 128 (adm), 2 (zip)")) << info.out;
  EXPECT_EQ(Zoq({"cat", "--key", key, package_, "/secret.txt"}).out, "hello\n");
}

TEST_F(ZoqWrite, CommitMakesOneRevisionOfManyChanges) {
  Zoq({"commit", package_, "--add", "/a.txt=" + file_, "--add", "/c.txt=" + file_});
  Zoq({"commit", package_, "--add", "/b.txt=" + file_, "--append", "/c.txt=" + file_, "--rm",
       "/a.txt"});
  std::vector<std::string> records = Records(package_);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_TRUE(HasText(records[1], "C /b.txt")) << records[1];
  EXPECT_TRUE(HasText(records[1], "A /c.txt")) << records[1];
  EXPECT_TRUE(HasText(records[1], "D /a.txt")) << records[1];
  EXPECT_EQ(Zoq({"cat", package_, "/c.txt"}).out, "hello\nhello\n");
}

TEST_F(ZoqWrite, ImportStoresATreeAndCompactKeepsOneRevision) {
  std::string tree = scratch_.path() + "/tree";
  std::filesystem::create_directories(tree + "/sub");
  WriteFileBytes(tree + "/x.txt", "x");
  WriteFileBytes(tree + "/sub/y.txt", "y");
  std::string imported = scratch_.path() + "/new.zoq";
  Zoq({"import", "--codes", "zip", imported, tree, "/imp"});
  EXPECT_EQ(Records(imported), std::vector<std::string>{"1:C /imp/sub/y.txt,C /imp/x.txt"});
  EXPECT_EQ(Zoq({"cat", imported, "/imp/sub/y.txt"}).out, "y");

  Zoq({"import", package_, tree});
  Zoq({"rm", package_, "/x.txt"});
  std::string compacted = scratch_.path() + "/compact.zoq";
  Zoq({"compact", package_, "-o", compacted});
  EXPECT_EQ(Records(compacted), std::vector<std::string>{"1:C /sub/y.txt"});
  EXPECT_EQ(Records(package_).size(), 2u);
}

TEST_F(ZoqWrite, TheDocumentTypeTravelsWithThePackage) {
  const std::string key = "00112233445566778899aabbccddeeff";
  // Not named .pliv: the type comes from the main part the create writes.
  const std::string doc = scratch_.path() + "/doc.bin";
  Zoq({"create", "--subset", "Full", "--docver", "258", doc});
  EXPECT_EQ(Records(doc), std::vector<std::string>{"1:C /__main.xml"});
  // SXC needs the schema of the document type, ADM of version 1.2 writes an
  // initial counter block: neither needs --docver again.
  Zoq({"add", "--codes", "sxc", doc, "/Document.xml",
       std::string(ZOQ_SOURCE_DIR) + "/samples/pliv/Document.xml"});
  Zoq({"add", "--codes", "adm", "--key", key, doc, "/secret.txt", file_});
  EXPECT_EQ(Zoq({"cat", "--key", key, doc, "/secret.txt"}).out, "hello\n");
  JsonValue listed = JsonValue::Parse(Zoq({"ls", "--json", doc, "/secret.txt"}).out);
  EXPECT_EQ(listed.Items()[0]["size"].AsInt(), 22);  // 16 bytes of counter block first
  EXPECT_EQ(Zoq({"cat", "--docver", "0", "--key", key, doc, "/secret.txt"}).out.size(), 22u);
  EXPECT_TRUE(HasText(Zoq({"cat", doc, "/Document.xml"}).out, "<document"));
  // The schema in effect as the package sees it, not a temporary copy.
  RunResult info = Zoq({"info", doc});
  EXPECT_TRUE(HasText(info.out, "schema:       embedded: /__ECSEnv/01/Schema.bsg")) << info.out;
  // The encoder's reason for content that does not fit the schema.
  WriteFileBytes(scratch_.path() + "/bad.xml", "<document><bogus/></document>\n");
  RunResult bad = RunZoq({"add", "--codes", "sxc", doc, "/bad.xml", scratch_.path() + "/bad.xml"});
  ExpectFailure(bad, 1, "zoq: error 6007");
  EXPECT_TRUE(HasText(bad.err, "bad.xml: line 1: element 'document'")) << bad.err;

  // A format 1.1 package without a main part cannot tell whether encrypted
  // parts carry the block: reading them warns, unless --docver decides.
  Zoq({"add", "--codes", "adm", "--key", key, package_, "/secret.txt", file_});
  RunResult undecided = Zoq({"cat", "--key", key, package_, "/secret.txt"});
  EXPECT_EQ(undecided.out, "hello\n");
  EXPECT_TRUE(HasText(undecided.err, "zoq: warning:")) << undecided.err;
  EXPECT_EQ(Zoq({"cat", "--docver", "0", "--key", key, package_, "/secret.txt"}).err, "");

  // Subset I has no name in a main part: refused, nothing made.
  const std::string refused = scratch_.path() + "/i.zoq";
  EXPECT_EQ(RunZoq({"create", "--subset", "I", "--docver", "258", refused}).status, 2);
  EXPECT_FALSE(std::filesystem::exists(refused));
}

TEST_F(ZoqWrite, AFailedCommandChangesNothing) {
  Zoq({"commit", package_, "--add", "/a.txt=" + file_, "--add", "/dir/b.txt=" + file_, "--add",
       "/dir/sub/c.txt=" + file_});
  const std::vector<std::string> before = Records(package_);
  ExpectFailure(RunZoq({"rm", package_, "/missing.txt"}), 1, "zoq: error 5054");
  ExpectFailure(RunZoq({"rm", package_, "/a.txt", "/dir"}), 1, "is a folder");
  ExpectFailure(RunZoq({"commit", package_, "--add", "/new.txt=" + file_, "--rm", "/missing.txt"}),
                1, "zoq: error 5054");
  EXPECT_EQ(Records(package_), before);
  Zoq({"rm", "-r", package_, "/dir", "/dir/b.txt"});
  EXPECT_EQ(Records(package_).back(), "2:D /dir/b.txt,D /dir/sub/c.txt");
  ExpectFailure(RunZoq({"rm", package_, "/dir/b.txt"}), 1, "(deleted in revision 2)");

  // Results never replace an existing file without --force.
  const std::string existing = scratch_.path() + "/existing";
  WriteFileBytes(existing, "keep");
  const std::string sxc = Sxc("doc_basic");
  const std::vector<std::vector<std::string>> writers = {
      {"compact", package_, "-o", existing},
      {"sxc", "encode", "--schema", sxc + ".bsg", sxc + ".xml", "-o", existing},
      {"sxc", "decode", "--schema", sxc + ".bsg", sxc + ".sxc", "-o", existing},
      {"schema", "compile", std::string(ZOQ_SOURCE_DIR) + "/Resource/schemas/pliv_full_v1.2.xsd",
       "-o", existing},
  };
  for (std::vector<std::string> args : writers) {
    SCOPED_TRACE(args[0] + " " + args[1]);
    ExpectFailure(RunZoq(args), 1, "exists already");
    EXPECT_EQ(ReadFileBytes(existing), "keep");
    args.push_back("--force");
    Zoq(args);
    WriteFileBytes(existing, "keep");
  }

  // A failed import into a new package removes the package it began.
  const std::string tree = scratch_.path() + "/tree";
  std::filesystem::create_directories(tree);
  WriteFileBytes(tree + "/bad.xml", "<nothing/>");
  const std::string imported = scratch_.path() + "/new.zoq";
  ExpectFailure(RunZoq({"import", "--codes", "sxc", "--docver", "258", imported, tree}), 1,
                "zoq: error 6007");
  EXPECT_FALSE(std::filesystem::exists(imported));
}

// Refused changes leave no trace: a part too large for 2-byte offsets (the
// message names the way out), a part below a part, a commit whose changes
// cancel out; compact --width makes room.
TEST_F(ZoqWrite, RefusedChangesLeaveNoTraceAndCompactWidens) {
  const std::string narrow = scratch_.path() + "/narrow.zoq";
  Zoq({"create", "--width", "2", narrow});
  const std::string big = scratch_.path() + "/big.bin";
  WriteFileBytes(big, std::string(100000, 'x'));
  ExpectFailure(RunZoq({"add", narrow, "/big.bin", big}), 1,
                "2 bytes wide, too narrow for this change; nothing was saved. Rewrite it with "
                "wider offsets first: zoq compact --width 4");
  Zoq({"add", narrow, "/small.txt", file_});
  ExpectFailure(RunZoq({"add", narrow, "/small.txt/b", file_}), 1, "error 5051");
  Zoq({"commit", narrow, "--add", "/zz=" + file_, "--rm", "/zz"});
  EXPECT_EQ(Records(narrow), std::vector<std::string>{"1:C /small.txt"});
  Zoq({"compact", "--width", "4", narrow});
  Zoq({"add", narrow, "/big.bin", big});
  EXPECT_EQ(Zoq({"cat", narrow, "/big.bin"}).out.size(), 100000u);
  EXPECT_EQ(RunZoq({"compact", "--width", "3", narrow}).status, 2);
}

TEST_F(ZoqWrite, RefusesToOverwriteAndReportsMisuse) {
  ExpectFailure(RunZoq({"create", package_}), 1, "exists already");
  EXPECT_EQ(RunZoq({"add", "--codes", "gzip", package_, "/a.txt", file_}).status, 2);
  EXPECT_EQ(RunZoq({"add", "--codes", "adm", package_, "/a.txt", file_}).status, 2);
  EXPECT_EQ(RunZoq({"commit", package_}).status, 2);
  EXPECT_EQ(RunZoq({"commit", package_, "--add", "/a.txt"}).status, 2);
  EXPECT_EQ(RunZoq({"create", "--width", "3", scratch_.path() + "/w.zoq"}).status, 2);
  EXPECT_EQ(Records(package_).size(), 0u);
}

}  // namespace
}  // namespace zoqtest
