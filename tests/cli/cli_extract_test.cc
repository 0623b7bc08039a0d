// zoq extract: the folder structure it recreates, decoded and raw content,
// partial failures, and that it never writes outside the chosen folder nor
// leaves an incomplete file behind.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "run_zoq.h"

namespace zoqtest {
namespace {

namespace fs = std::filesystem;

// Every file and folder below `root`, relative, sorted; folders end with "/".
std::vector<std::string> Listing(const std::string& root) {
  std::vector<std::string> entries;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    std::string relative = fs::relative(entry.path(), root).string();
    if (entry.is_directory() && !entry.is_symlink()) relative += "/";
    entries.push_back(relative);
  }
  std::sort(entries.begin(), entries.end());
  return entries;
}

std::string Cat(const std::vector<std::string>& args) {
  std::vector<std::string> full = {"cat"};
  full.insert(full.end(), args.begin(), args.end());
  RunResult run = RunZoq(full);
  EXPECT_EQ(run.status, 0) << run.err;
  return run.out;
}

TEST(ZoqExtract, WritesTheWholeTreeIntoTheTarget) {
  ScratchFolder scratch;
  std::string target = scratch.path() + "/out/nested";
  RunResult run = RunZoq({"extract", "-d", target, Package("v_utf8_paths")});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Listing(target),
            (std::vector<std::string>{"ascii.txt", "données/", "données/été.txt", "文档/",
                                      "文档/图片/", "文档/图片/图.png", "文档/页面_1.xml", "Ａ.txt",
                                      "😀/", "😀/smile.txt"}));
  EXPECT_EQ(ReadFileBytes(target + "/文档/图片/图.png"),
            Cat({Package("v_utf8_paths"), "/文档/图片/图.png"}));
  EXPECT_TRUE(HasText(run.out, "extracted 6 parts")) << run.out;
}

TEST(ZoqExtract, RawModeWritesStoredBytesWithTheZoqfSuffix) {
  ScratchFolder scratch;
  RunResult run = RunZoq({"extract", "--raw", "-d", scratch.path(), Package("v_zero_length")});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Listing(scratch.path()), (std::vector<std::string>{"dir/", "dir/empty2.zoqf",
                                                               "empty.txt.zoqf", "full.txt.zoqf"}));
  EXPECT_EQ(ReadFileBytes(scratch.path() + "/full.txt.zoqf"),
            Cat({"--raw", Package("v_zero_length"), "/full.txt"}));
}

TEST(ZoqExtract, PathsAreWrittenAsThemselvesAtTheRevisionAsked) {
  ScratchFolder scratch;
  RunResult run =
      RunZoq({"extract", "-r", "1", "-d", scratch.path(), Package("v_history"), "/dir", "b.txt"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Listing(scratch.path()),
            (std::vector<std::string>{"b.txt", "dir/", "dir/c.txt", "dir/d.txt"}));
  EXPECT_EQ(ReadFileBytes(scratch.path() + "/b.txt"),
            Cat({"-r", "1", Package("v_history"), "/b.txt"}));
}

TEST(ZoqExtract, ReportsPartialAndCompleteFailure) {
  ScratchFolder scratch;
  RunResult partial = RunZoq({"extract", "-d", scratch.path(), Package("v_damaged_deflate"),
                              "/fine.xml", "/broken.xml", "/missing.xml"});
  ExpectFailure(partial, 1, "zoq: error 6008");
  EXPECT_TRUE(HasText(partial.err, "zoq: error 5054")) << partial.err;
  EXPECT_TRUE(HasText(partial.err, "partly failed: 2 of 3")) << partial.err;
  // The part that could not be decoded leaves no file, not even a partial one.
  EXPECT_EQ(Listing(scratch.path()), std::vector<std::string>{"fine.xml"});

  RunResult none =
      RunZoq({"extract", "-d", scratch.path(), Package("v_damaged_deflate"), "/broken.xml"});
  ExpectFailure(none, 1, "extraction failed");

  // Stored data failing its check byte: written whole as read, named in a
  // warning, exit status 1; alone, by path and with workers.
  const std::string package = Package("v_bad_check_byte");
  const std::string bad = RunZoq({"cat", package, "/bad.txt"}).out;
  ASSERT_EQ(bad.size(), 25u);
  for (const std::vector<std::string>& tail :
       {std::vector<std::string>{package}, {package, "/bad.txt"}, {"-j", "2", package}}) {
    ScratchFolder out;
    std::vector<std::string> args = {"extract", "-d", out.path()};
    args.insert(args.end(), tail.begin(), tail.end());
    RunResult run = RunZoq(args);
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_TRUE(HasText(run.err, "/bad.txt: the stored data does not match its check byte"))
        << run.err;
    EXPECT_EQ(ReadFileBytes(out.path() + "/bad.txt"), bad);
  }
}

// The default target sits beside the package, named after it; a name that
// gives no such folder ("..zoq", "...zoq", ".zoq", "plain") is refused
// before anything is written, and the package is never written over.
TEST(ZoqExtract, DefaultTargetIsBesideThePackageOrRefused) {
  ScratchFolder scratch;
  fs::copy_file(Package("v_zero_length"), scratch.path() + "/sample.v2.zoq");
  RunResult run = RunZoq({"extract", "sample.v2.zoq"}, scratch.path());
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(fs::is_regular_file(scratch.path() + "/sample.v2/full.txt"));

  fs::create_directories(scratch.path() + "/in");
  WriteFileBytes(scratch.path() + "/file.txt", "beside");
  for (const std::string name : {"..zoq", "...zoq", ".zoq", "plain"}) {
    const std::string package = scratch.path() + "/in/" + name;
    fs::copy_file(Package("v_zero_length"), package);
    const std::string before = ReadFileBytes(package);
    for (const std::string& shown : {name, package}) {
      RunResult refused = RunZoq({"extract", shown}, scratch.path() + "/in");
      EXPECT_EQ(refused.status, 2) << name;
      EXPECT_TRUE(HasText(refused.err, "give one with -d")) << refused.err;
    }
    EXPECT_EQ(ReadFileBytes(package), before);
    fs::remove(package);
  }
  EXPECT_EQ(Listing(scratch.path() + "/in"), std::vector<std::string>{});
  EXPECT_EQ(ReadFileBytes(scratch.path() + "/file.txt"), "beside");

  // A package holding a part named like itself, extracted into its own
  // folder: the other path is written, the package stays as it was.
  const std::string package = scratch.path() + "/self.zoq";
  const std::string content = scratch.path() + "/content.txt";
  WriteFileBytes(content, "not the package");
  ASSERT_EQ(RunZoq({"create", package}).status, 0);
  ASSERT_EQ(RunZoq({"commit", package, "--add", "/self.zoq=" + content, "--add",
                    "/other.txt=" + content})
                .status,
            0);
  const std::string before = ReadFileBytes(package);
  RunResult self =
      RunZoq({"extract", "-d", ".", "self.zoq", "/self.zoq", "/other.txt"}, scratch.path());
  ExpectFailure(self, 1, "package being read");
  EXPECT_EQ(ReadFileBytes(package), before);
  EXPECT_EQ(ReadFileBytes(scratch.path() + "/other.txt"), "not the package");
}

TEST(ZoqExtract, NeverFollowsOrReplacesLinksInTheTarget) {
  ScratchFolder scratch;
  std::string target = scratch.path() + "/target";
  std::string outside = scratch.path() + "/outside";
  fs::create_directories(target);
  fs::create_directories(outside);
  WriteFileBytes(outside + "/b.txt", "keep");
  // A link where a folder of the package goes, and one where a part goes.
  fs::create_directory_symlink(outside, target + "/dir");
  fs::create_symlink(outside + "/b.txt", target + "/b.txt");
  RunResult run = RunZoq({"extract", "-d", target, Package("v_history"), "/dir", "/b.txt",
                          "/a.txt"});
  ExpectFailure(run, 1, "a symbolic link stands where the folder");
  EXPECT_TRUE(HasText(run.err, "a symbolic link stands where " + target + "/b.txt")) << run.err;
  EXPECT_TRUE(HasText(run.err, "2 of 3 paths not extracted")) << run.err;
  EXPECT_EQ(Listing(outside), std::vector<std::string>{"b.txt"});
  EXPECT_EQ(ReadFileBytes(outside + "/b.txt"), "keep");
  EXPECT_TRUE(fs::is_symlink(target + "/b.txt"));
  EXPECT_EQ(ReadFileBytes(target + "/a.txt"), Cat({Package("v_history"), "/a.txt"}));
}

TEST(ZoqExtract, LeavesNoTemporaryFilesBehind) {
  ScratchFolder scratch;
  RunResult run = RunZoq({"extract", "-d", scratch.path(), Package("v_damaged_deflate")});
  EXPECT_EQ(run.status, 1);
  for (const auto& entry : fs::recursive_directory_iterator(scratch.path())) {
    EXPECT_FALSE(HasText(entry.path().filename().string(), "zoq-partial")) << entry.path();
  }
}

}  // namespace
}  // namespace zoqtest
