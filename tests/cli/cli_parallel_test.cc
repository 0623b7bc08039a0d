// zoq extract -j and zoq import -j: worker threads change how fast, never
// what is written; failures still stop the path they belong to.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <random>

#include "package_builder.h"
#include "run_zoq.h"

namespace zoqtest {
namespace {

namespace fs = std::filesystem;

// Every file and folder below `root` with the content of each file, sorted.
std::vector<std::pair<std::string, std::string>> Snapshot(const std::string& root) {
  std::vector<std::pair<std::string, std::string>> entries;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    std::string relative = fs::relative(entry.path(), root).string();
    if (entry.is_directory()) {
      entries.emplace_back(relative + "/", "");
    } else {
      entries.emplace_back(relative, ReadFileBytes(entry.path().string()));
    }
  }
  std::sort(entries.begin(), entries.end());
  return entries;
}

// A tree of text files of many sizes (empty ones, and some larger than one
// read piece) in nested folders.
void WriteTree(const std::string& root, int files) {
  std::mt19937 random(42);
  for (int i = 0; i < files; ++i) {
    std::string folder = root + "/d" + std::to_string(i % 4) + "/s" + std::to_string(i % 3);
    fs::create_directories(folder);
    size_t size = i % 9 == 0 ? 0 : (i % 10 == 1 ? 300000 + i : random() % 5000);
    std::string text;
    while (text.size() < size) text += "line " + std::to_string(random() % 1000) + " of text\n";
    text.resize(size);
    WriteFileBytes(folder + "/f" + std::to_string(i) + ".txt", text);
  }
}

TEST(ZoqParallel, ExtractWithWorkersWritesTheSameFiles) {
  ScratchFolder scratch;
  WriteTree(scratch.path() + "/tree", 60);
  std::string package = scratch.path() + "/p.zoq";
  Zoq({"import", "--codes", "zip", package, scratch.path() + "/tree"});
  Zoq({"rm", package, "/d1/s1/f49.txt"});

  Zoq({"extract", "-d", scratch.path() + "/one", package});
  RunResult parallel = Zoq({"extract", "-j", "3", "-d", scratch.path() + "/three", package});
  EXPECT_TRUE(HasText(parallel.out, "extracted 59 parts")) << parallel.out;
  auto expected = Snapshot(scratch.path() + "/tree");
  expected.erase(std::find(expected.begin(), expected.end(),
                           std::make_pair(std::string("d1/s1/f49.txt"),
                                          ReadFileBytes(scratch.path() + "/tree/d1/s1/f49.txt"))));
  EXPECT_EQ(Snapshot(scratch.path() + "/one"), expected);
  EXPECT_EQ(Snapshot(scratch.path() + "/three"), expected);

  // Chosen paths, raw, at an earlier revision (the removed part is back).
  Zoq({"extract", "--raw", "-r", "1", "-d", scratch.path() + "/raw1", package, "/d1",
       "/d0/s0/f0.txt"});
  Zoq({"extract", "--raw", "-r", "1", "-j", "0", "-d", scratch.path() + "/rawN", package, "/d1",
       "/d0/s0/f0.txt"});
  auto raw = Snapshot(scratch.path() + "/raw1");
  EXPECT_EQ(Snapshot(scratch.path() + "/rawN"), raw);
  EXPECT_TRUE(std::count_if(raw.begin(), raw.end(), [](const auto& entry) {
                return entry.first == "d1/s1/f49.txt.zoqf";
              }) == 1);
}

TEST(ZoqParallel, ExtractFailureStopsOnlyItsPath) {
  ScratchFolder scratch;
  std::string package = scratch.path() + "/p.zoq";
  std::string file = scratch.path() + "/in.txt";
  WriteFileBytes(file, "content\n");
  Zoq({"create", package});
  Zoq({"commit", package, "--add", "/good.txt=" + file, "--add", "/dir/a.txt=" + file});
  Zoq({"add", "--codes", "adm", "--key", "00112233445566778899aabbccddeeff", package,
       "/dir/locked.txt", file});
  std::string target = scratch.path() + "/out";
  RunResult run = RunZoq({"extract", "-j", "2", "-d", target, package, "/dir", "/good.txt"});
  ExpectFailure(run, 1, "1 of 2 paths not extracted");
  EXPECT_EQ(ReadFileBytes(target + "/good.txt"), "content\n");
  for (const auto& entry : fs::recursive_directory_iterator(target)) {
    EXPECT_FALSE(HasText(entry.path().filename().string(), ".zoq-partial")) << entry.path();
    EXPECT_NE(entry.path().filename(), "locked.txt");
  }
  EXPECT_EQ(RunZoq({"extract", "-j", "many", "-d", target, package}).status, 2);
  EXPECT_EQ(RunZoq({"extract", "-j", "-1", "-d", target, package}).status, 2);
}

// Workers take a folder's parts in batches: a folder holding more parts than
// one batch, beside a subfolder, comes out the same; a part that fails in the
// middle is reported once and leaves nothing behind, and the other path is
// still written.
TEST(ZoqParallel, ExtractLargeFolderInBatches) {
  ScratchFolder scratch;
  std::string tree = scratch.path() + "/tree";
  fs::create_directories(tree + "/flat/sub");
  for (int i = 0; i < 300; ++i) {
    WriteFileBytes(tree + "/flat/f" + std::to_string(i) + ".txt",
                   std::string(static_cast<size_t>(i % 7) * 100, static_cast<char>('a' + i % 26)));
  }
  WriteFileBytes(tree + "/flat/sub/g.txt", "g");
  WriteFileBytes(tree + "/good.txt", "good");
  std::string package = scratch.path() + "/p.zoq";
  Zoq({"import", "--codes", "zip", package, tree});
  Zoq({"extract", "-j", "2", "-d", scratch.path() + "/two", package});
  EXPECT_EQ(Snapshot(scratch.path() + "/two"), Snapshot(tree));

  Zoq({"add", "--codes", "adm", "--key", "00112233445566778899aabbccddeeff", package,
       "/flat/f150x.txt", tree + "/good.txt"});
  std::string target = scratch.path() + "/failed";
  RunResult run = RunZoq({"extract", "-j", "2", "-d", target, package, "/flat", "/good.txt"});
  EXPECT_EQ(run.status, 1);
  std::vector<std::string> lines = SplitLines(run.err);
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                          [](const std::string& line) { return HasText(line, "zoq: error"); }),
            1)
      << run.err;
  EXPECT_TRUE(HasText(run.err, "1 of 2 paths not extracted")) << run.err;
  EXPECT_EQ(ReadFileBytes(target + "/good.txt"), "good");
  for (const auto& entry : fs::recursive_directory_iterator(target)) {
    EXPECT_FALSE(HasText(entry.path().filename().string(), ".zoq-partial")) << entry.path();
    EXPECT_NE(entry.path().filename(), "f150x.txt");
  }
}

// Workers share the command's one package model: peak memory at -j 8
// stays within twice that of -j 1 plus 32 MiB (it grew by a model per worker
// when each opened the package for itself).
TEST(ZoqParallel, ExtractMemoryDoesNotGrowWithWorkers) {
  ScratchFolder scratch;
  std::vector<zoq::test::TestEntry> entries(1);
  for (int i = 0; i < 20000; ++i) {
    zoq::test::TestRecord record;
    record.path = "/folder" + std::to_string(i % 200) + "/part" + std::to_string(i) + ".txt";
    record.data = {'p', static_cast<uint8_t>('0' + i % 10)};
    entries[0].records.push_back(record);
  }
  const zoq::test::BuiltPackage built = zoq::test::BuildPackage(entries);
  const std::string package = scratch.path() + "/p.zoq";
  WriteFileBytes(package, std::string(built.bytes.begin(), built.bytes.end()));
  // The sanitizers' quarantine of freed memory would hide what workers add.
  const char* set = std::getenv("ASAN_OPTIONS");
  const std::string saved = set != nullptr ? set : "";
  setenv("ASAN_OPTIONS", (saved + ":quarantine_size_mb=0").c_str(), 1);
  const RunResult one = Zoq({"extract", "-j", "1", "-d", scratch.path() + "/one", package});
  const RunResult eight = Zoq({"extract", "-j", "8", "-d", scratch.path() + "/eight", package});
  setenv("ASAN_OPTIONS", saved.c_str(), 1);
  ASSERT_GT(one.peak_rss, 0);
  EXPECT_LE(eight.peak_rss, 2 * one.peak_rss + (int64_t{32} << 20))
      << "-j 1: " << one.peak_rss << " bytes, -j 8: " << eight.peak_rss << " bytes";
  EXPECT_TRUE(HasText(eight.out, "extracted 20000 parts")) << eight.out;
}

TEST(ZoqParallel, ImportWithWorkersStoresTheSameParts) {
  ScratchFolder scratch;
  std::string tree = scratch.path() + "/tree";
  WriteTree(tree, 40);
  // One file above the read-ahead size goes its own way.
  WriteFileBytes(tree + "/d0/big.txt", std::string(9 << 20, 'b'));
  std::string one = scratch.path() + "/one.zoq";
  std::string four = scratch.path() + "/four.zoq";
  Zoq({"import", "--codes", "zip", one, tree, "/in"});
  Zoq({"import", "--codes", "zip", "-j", "4", four, tree, "/in"});
  // Into packages that exist: a second revision each.
  Zoq({"import", one, tree + "/d1", "/again"});
  Zoq({"import", "-j", "2", four, tree + "/d1", "/again"});
  EXPECT_EQ(Zoq({"ls", "--json", four}).out, Zoq({"ls", "--json", one}).out);
  EXPECT_EQ(Zoq({"log", four}).out, Zoq({"log", one}).out);
  Zoq({"extract", "-d", scratch.path() + "/back", four});
  EXPECT_EQ(Snapshot(scratch.path() + "/back/in"), Snapshot(tree));
  Zoq({"verify", "--all", four});
}

}  // namespace
}  // namespace zoqtest
