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

std::string Package(const std::string& name) { return TestDataDir() + "/package/" + name + ".zoq"; }

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

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
  EXPECT_TRUE(Contains(run.out, "extracted 6 parts")) << run.out;
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
  EXPECT_EQ(partial.status, 1);
  EXPECT_TRUE(Contains(partial.err, "zoq: error 6008")) << partial.err;
  EXPECT_TRUE(Contains(partial.err, "zoq: error 5054")) << partial.err;
  EXPECT_TRUE(Contains(partial.err, "partly failed: 2 of 3")) << partial.err;
  // The part that could not be decoded leaves no file, not even a partial one.
  EXPECT_EQ(Listing(scratch.path()), std::vector<std::string>{"fine.xml"});

  RunResult none =
      RunZoq({"extract", "-d", scratch.path(), Package("v_damaged_deflate"), "/broken.xml"});
  EXPECT_EQ(none.status, 1);
  EXPECT_TRUE(Contains(none.err, "extraction failed")) << none.err;
}

TEST(ZoqExtract, DefaultTargetIsBesideThePackageNamedAfterIt) {
  ScratchFolder scratch;
  fs::copy_file(Package("v_zero_length"), scratch.path() + "/sample.v2.zoq");
  RunResult run = RunZoq({"extract", "sample.v2.zoq"}, scratch.path());
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(fs::is_regular_file(scratch.path() + "/sample.v2/full.txt"));
}

TEST(ZoqExtract, NeverFollowsLinksOutOfTheTarget) {
  ScratchFolder scratch;
  std::string target = scratch.path() + "/target";
  std::string outside = scratch.path() + "/outside";
  fs::create_directories(target);
  fs::create_directories(outside);
  WriteFileBytes(outside + "/b.txt", "keep");
  // A link where a folder of the package goes, and one where a part goes.
  fs::create_directory_symlink(outside, target + "/dir");
  fs::create_symlink(outside + "/b.txt", target + "/b.txt");
  RunResult run = RunZoq({"extract", "-d", target, Package("v_history")});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(Contains(run.err, "cannot open folder")) << run.err;
  EXPECT_EQ(Listing(outside), std::vector<std::string>{"b.txt"});
  EXPECT_EQ(ReadFileBytes(outside + "/b.txt"), "keep");
  // The part's link was replaced by the part itself, not written through.
  EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(target + "/b.txt")));
  EXPECT_EQ(ReadFileBytes(target + "/b.txt"), Cat({Package("v_history"), "/b.txt"}));
}

TEST(ZoqExtract, LeavesNoTemporaryFilesBehind) {
  ScratchFolder scratch;
  RunResult run = RunZoq({"extract", "-d", scratch.path(), Package("v_damaged_deflate")});
  EXPECT_EQ(run.status, 1);
  for (const auto& entry : fs::recursive_directory_iterator(scratch.path())) {
    EXPECT_FALSE(Contains(entry.path().filename().string(), "zoq-partial")) << entry.path();
  }
}

}  // namespace
}  // namespace zoqtest
