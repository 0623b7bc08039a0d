// Extraction: the output folder's rules (names, links, what stands in the
// way, files that appear only when complete) in both ways of making files,
// and the extraction job on real packages: the tree, decoded or as stored,
// on any number of workers; failures that end their item only; history
// versions; stopping; the package never written over.
#include "zoq/extract_job.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <thread>

#include "file_size_limit.h"
#include "package/output_files.h"
#include "save_test_util.h"
#include "test_util.h"

namespace zoq::test {
namespace {

namespace fs = std::filesystem;

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

// Everything below `root` (hidden files too), relative: folders end with
// "/", links with "@", files map to their content.
std::map<std::string, std::string> Listing(const std::string& root) {
  std::map<std::string, std::string> entries;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    const std::string relative = entry.path().lexically_relative(root).string();
    if (entry.is_symlink()) {
      entries[relative + "@"] = "";
    } else if (entry.is_directory()) {
      entries[relative + "/"] = "";
    } else {
      entries[relative] = ReadText(entry.path().string());
    }
  }
  return entries;
}

std::string Text(const std::vector<uint8_t>& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

// ---- the output folder, with unnamed files and with hidden temporaries ----

class OutputFolderTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    AllowUnnamedFiles(GetParam());
    target_ = scratch_.File("target");
    outside_ = scratch_.File("outside");
    fs::create_directories(target_);
    fs::create_directories(outside_);
    ASSERT_EQ(OutputFolder::Open(target_, &folder_), kOk);
  }
  void TearDown() override { AllowUnnamedFiles(true); }

  // Writes a whole file through the folder: 0 or the failing step's code.
  int Put(const OutputFolder& folder, const std::string& name, const std::string& text,
          std::string* why, bool replace = true) {
    OutputFile file;
    int code = folder.CreateFile(name, replace, &file, why);
    if (code == kOk) code = file.Write(text.data(), text.size(), why);
    if (code == kOk) code = file.Commit(why);
    return code;
  }

  ScratchDir scratch_;
  std::string target_;
  std::string outside_;
  OutputFolder folder_;
};

TEST_P(OutputFolderTest, RefusesNamesThatLeaveAndWhatStandsInTheWay) {
  std::string why;
  OutputFolder sub;
  for (const std::string& name :
       {std::string(), std::string("."), std::string(".."), std::string("a/b"),
        std::string("../outside"), std::string("a\\b"), std::string("a\0b", 3)}) {
    EXPECT_FALSE(IsSafeOutputName(name)) << name;
    EXPECT_EQ(folder_.Subfolder(name, 0777, &sub, &why), kTargetFileFailed) << name;
    EXPECT_EQ(Put(folder_, name, "x", &why), kTargetFileFailed) << name;
    EXPECT_NE(why.find("unsafe name"), std::string::npos) << why;
  }
  EXPECT_TRUE(IsSafeOutputName(".hidden"));
  EXPECT_TRUE(IsSafeOutputName("..zoqf"));

  WriteText(outside_ + "/victim.xml", "<old/>");
  fs::create_directory_symlink(outside_, target_ + "/sub");
  fs::create_symlink(outside_ + "/victim.xml", target_ + "/page.xml");
  fs::create_directory(target_ + "/dir.txt");
  WriteText(target_ + "/file", "");
  EXPECT_EQ(folder_.Subfolder("sub", 0777, &sub, &why), kTargetFileFailed);
  EXPECT_NE(why.find("symbolic link"), std::string::npos) << why;
  EXPECT_EQ(folder_.Subfolder("file", 0777, &sub, &why), kTargetFileFailed);
  EXPECT_NE(why.find("a file stands"), std::string::npos) << why;
  EXPECT_EQ(Put(folder_, "page.xml", "<new/>", &why), kTargetFileFailed);
  EXPECT_NE(why.find("symbolic link"), std::string::npos) << why;
  EXPECT_EQ(Put(folder_, "dir.txt", "x", &why), kTargetFileFailed);
  EXPECT_NE(why.find("a folder stands"), std::string::npos) << why;

  // Nothing went outside, the link is left for the user to see, and no
  // hidden file stayed behind.
  EXPECT_EQ(Listing(outside_), (std::map<std::string, std::string>{{"victim.xml", "<old/>"}}));
  EXPECT_EQ(Listing(target_),
            (std::map<std::string, std::string>{
                {"dir.txt/", ""}, {"file", ""}, {"page.xml@", ""}, {"sub@", ""}}));
}

TEST_P(OutputFolderTest, FileAppearsOnlyWhenCompleteAndReplacesInOneStep) {
  std::string why;
  WriteText(target_ + "/a.txt", "old");
  {
    OutputFile file;
    ASSERT_EQ(folder_.CreateFile("a.txt", true, &file, &why), kOk) << why;
    ASSERT_EQ(file.Write("new", 3, &why), kOk);
    EXPECT_EQ(ReadText(target_ + "/a.txt"), "old");
  }  // abandoned
  EXPECT_EQ(Listing(target_), (std::map<std::string, std::string>{{"a.txt", "old"}}));

  {
    // The system refuses to let files grow past 1 MiB: the write fails
    // partway, and neither the old file nor any leftover changes.
    FileSizeLimit limit(1 << 20);
    EXPECT_EQ(Put(folder_, "a.txt", std::string(5 << 19, 'x'), &why), kTargetFileFailed);
    EXPECT_NE(why.find("a.txt"), std::string::npos) << why;
  }
  EXPECT_EQ(Listing(target_), (std::map<std::string, std::string>{{"a.txt", "old"}}));

  ASSERT_EQ(Put(folder_, "a.txt", "new", &why), kOk) << why;
  // After a replacement the folder's next files start under a hidden name:
  // nothing shows under the real name before Commit, a refusal leaves
  // nothing behind, and a name not yet taken is taken.
  {
    OutputFile file;
    ASSERT_EQ(folder_.CreateFile("a.txt", true, &file, &why), kOk) << why;
    ASSERT_EQ(file.Write("newer", 5, &why), kOk);
    EXPECT_EQ(ReadText(target_ + "/a.txt"), "new");
  }
  fs::create_symlink(outside_ + "/victim.xml", target_ + "/link.xml");
  EXPECT_EQ(Put(folder_, "link.xml", "<new/>", &why), kTargetFileFailed);
  ASSERT_EQ(Put(folder_, "b.txt", "bee", &why), kOk) << why;
  EXPECT_EQ(Put(folder_, "b.txt", "other", &why, false), kTargetFileFailed);
  EXPECT_NE(why.find("already exists"), std::string::npos) << why;

  // A file named to be kept (the package being read) is never replaced,
  // also below a folder made later.
  OutputFolder keeping;
  ASSERT_EQ(OutputFolder::OpenOrCreate(scratch_.File("made/below"), &keeping, &why), kOk) << why;
  keeping.KeepFile(target_ + "/a.txt");
  ASSERT_EQ(OutputFolder::Open(target_, &keeping, &why), kOk);
  keeping.KeepFile(target_ + "/a.txt");
  OutputFolder below;
  ASSERT_EQ(keeping.Subfolder("d", 0777, &below, &why), kOk);
  ASSERT_EQ(::link((target_ + "/a.txt").c_str(), (target_ + "/d/same").c_str()), 0);
  EXPECT_EQ(Put(keeping, "a.txt", "over", &why), kTargetFileFailed);
  EXPECT_NE(why.find("package being read"), std::string::npos) << why;
  EXPECT_EQ(Put(below, "same", "over", &why), kTargetFileFailed);
  EXPECT_EQ(Listing(target_),
            (std::map<std::string, std::string>{
                {"a.txt", "new"}, {"b.txt", "bee"}, {"d/", ""}, {"d/same", "new"}, {"link.xml@", ""}}));
  EXPECT_TRUE(fs::is_directory(scratch_.File("made/below")));
}

INSTANTIATE_TEST_SUITE_P(UnnamedOrHidden, OutputFolderTest, ::testing::Bool());

// ---- the extraction job ----

class ExtractJobTest : public ::testing::Test {
 protected:
  // Opens the package at `file` in a fresh container.
  Container* Open(const std::string& file, int revision_limit = 0) {
    container_ = MakeContainer();
    EXPECT_EQ(container_->OpenFileAt(file, revision_limit), kOk);
    return container_.get();
  }

  // Runs `job` on `items` into a new folder `name` below the scratch folder.
  size_t RunInto(ExtractJob* job, const std::vector<ExtractItem>& items, const std::string& name) {
    OutputFolder target;
    EXPECT_EQ(OutputFolder::OpenOrCreate(scratch_.File(name), &target), kOk);
    return job->Run(items, target);
  }

  ScratchDir scratch_;
  std::unique_ptr<Container> container_;
};

// A package of a plain part, compressed ones (one appended to in a second
// revision), an encrypted one and a folder of 300 parts (more than one
// hand-over to the workers). Answers every part's content.
std::map<std::string, std::string> WriteMixedPackage(const std::string& file) {
  std::map<std::string, std::string> parts;
  auto c = MakeContainer();
  EXPECT_EQ(c->CreatePackage(file, 0, 0, 4, 0), kOk);
  auto add = [&](const std::string& path, const std::vector<uint8_t>& content,
                 std::vector<int> codes) {
    EXPECT_EQ(AddBytes(c.get(), path, content, codes), kOk) << path;
    parts[path.substr(1)] = Text(content);
  };
  add("/a.txt", Bytes("alpha"), {});
  add("/d/x.txt", TextLike(300000, 1), {kEcsZip});
  add("/d/e/y.bin", TextLike(2000, 2), {kEcsZip});
  add("/d/empty.txt", {}, {});
  for (int i = 0; i < 300; ++i) {
    add("/many/p" + std::to_string(i) + ".txt", TextLike(100 + 37 * i, 10 + i), {kEcsZip});
  }
  const std::vector<uint8_t> secret = TextLike(5000, 3);
  EcsCodeArg adm{kEcsAdm, &kTestKey};
  EXPECT_EQ(c->AddPartFromMemory(u"/d/k.txt", secret.data(), 5000, &adm, 1, false), kOk);
  parts["d/k.txt"] = Text(secret);
  EXPECT_EQ(c->Save(kSaveIncremental, false), kOk);
  EXPECT_EQ(c->AppendToPartFromMemory(u"/d/e/y.bin", "-more", 5, nullptr, 0), kOk);
  parts["d/e/y.bin"] += "-more";
  EXPECT_EQ(c->Save(kSaveIncremental, false), kOk);
  return parts;
}

TEST_F(ExtractJobTest, WritesTheTreeOnAnyNumberOfWorkers) {
  const std::string package = scratch_.File("p.zoq");
  std::map<std::string, std::string> expected = WriteMixedPackage(package);
  for (const auto& [path, content] : std::map<std::string, std::string>(expected)) {
    for (size_t slash = path.find('/'); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
      expected[path.substr(0, slash + 1)] = "";
    }
  }
  int64_t bytes = 0;
  for (const auto& [path, content] : expected) bytes += static_cast<int64_t>(content.size());
  Container* c = Open(package);

  struct Way {
    int workers;
    bool off_calling_thread;
  };
  for (const Way way : {Way{1, false}, Way{1, true}, Way{3, false}}) {
    ExtractSettings settings;
    settings.key = &kTestKey;
    settings.workers = way.workers;
    settings.off_calling_thread = way.off_calling_thread;
    settings.release_copies = way.workers > 1;
    ExtractJob job(c, settings);
    const std::thread::id caller = std::this_thread::get_id();
    int off_thread_calls = 0;
    job.SetProgress([&](const ExtractProgress&) {
      off_thread_calls += std::this_thread::get_id() != caller;
      return true;
    });
    const std::string name =
        "out" + std::to_string(way.workers) + (way.off_calling_thread ? "off" : "");
    ASSERT_EQ(RunInto(&job, {{c->GetNode(u"/"), false}}, name), 0u);
    EXPECT_EQ(Listing(scratch_.File(name)), expected) << name;
    EXPECT_EQ(off_thread_calls, 0);
    EXPECT_EQ(job.progress().parts_written, 305);
    EXPECT_EQ(job.progress().parts_failed, 0);
    EXPECT_EQ(job.progress().bytes_written, bytes);
    EXPECT_EQ(job.progress().folders_made, 3);
  }

  // As stored, and a folder given as an item of its own.
  ExtractSettings raw;
  raw.raw = true;
  ExtractJob raw_job(c, raw);
  ASSERT_EQ(RunInto(&raw_job, {{c->GetNode(u"/d/"), true}, {c->GetNode(u"/a.txt"), true}}, "raw"),
            0u);
  DecodeOptions stored;
  stored.code = 0;
  std::vector<uint8_t> x;
  ASSERT_EQ(ReadContent(c, u"/d/x.txt", 0, &stored, false, &x), kOk);
  EXPECT_EQ(ReadText(scratch_.File("raw/d/x.txt.zoqf")), Text(x));
  EXPECT_EQ(ReadText(scratch_.File("raw/a.txt.zoqf")), "alpha");
  EXPECT_TRUE(fs::is_regular_file(scratch_.File("raw/d/e/y.bin.zoqf")));
}

// Runs over an earlier extraction killed at different moments, in both ways
// of making files: every name holds its old or its new content whole. The
// next run's first replacement in a folder removes the hidden files of runs
// that no longer run, and leaves those of a running one.
TEST_F(ExtractJobTest, KilledRunLeavesWholeFilesAndTheNextRunClearsUp) {
  const std::string package = scratch_.File("p.zoq");
  const std::map<std::string, std::string> parts = WriteMixedPackage(package);
  Container* c = Open(package);
  const std::string out = scratch_.File("out");
  ExtractSettings settings;
  settings.key = &kTestKey;
  for (const bool unnamed : {true, false}) {
    AllowUnnamedFiles(unnamed);
    for (const auto& [path, content] : parts) {
      fs::create_directories(fs::path(out + "/" + path).parent_path());
      WriteText(out + "/" + path, "old " + path);
    }
    pid_t killed = 0;
    for (int attempt = 0; attempt < 6; ++attempt) {
      killed = ::fork();
      ASSERT_GE(killed, 0);
      if (killed == 0) {
        ExtractJob job(c, settings);
        OutputFolder target;
        if (OutputFolder::Open(out, &target) == kOk) job.Run({{c->GetNode(u"/"), false}}, target);
        ::_exit(0);
      }
      ::usleep(static_cast<useconds_t>(3000 * attempt));
      ::kill(killed, SIGKILL);
      ASSERT_EQ(::waitpid(killed, nullptr, 0), killed);
      for (const auto& [path, content] : parts) {
        const std::string now = ReadText(out + "/" + path);
        EXPECT_TRUE(now == content || now == "old " + path) << path << " after kill " << attempt;
      }
    }
    // Hidden files of a dead run here (named with and without the machine's
    // name) go; those of a running one and of a run on another machine stay.
    char host[256] = {};
    ASSERT_EQ(::gethostname(host, sizeof host - 1), 0);
    const std::string hidden = out + "/many/.zoq-partial-";
    const std::string dead = hidden + std::to_string(killed) + "-0";
    const std::string dead_here = hidden + std::to_string(killed) + "-1-" + host;
    const std::string alive = hidden + std::to_string(::getpid()) + "-999-" + host;
    const std::string elsewhere = hidden + std::to_string(killed) + "-2-other.example";
    for (const std::string& name : {dead, dead_here, alive, elsewhere}) WriteText(name, "left");
    ExtractJob job(c, settings);
    ASSERT_EQ(RunInto(&job, {{c->GetNode(u"/"), false}}, "out"), 0u);
    EXPECT_FALSE(fs::exists(dead));
    EXPECT_FALSE(fs::exists(dead_here));
    EXPECT_TRUE(fs::remove(alive));
    EXPECT_TRUE(fs::remove(elsewhere));
    std::vector<std::string> wrong;
    size_t files = 0;
    for (const auto& [path, content] : Listing(out)) {
      if (path.back() == '/') continue;
      ++files;
      const auto part = parts.find(path);
      if (part == parts.end() || part->second != content) wrong.push_back(path);
    }
    EXPECT_EQ(wrong, std::vector<std::string>()) << (unnamed ? "unnamed" : "hidden");
    EXPECT_EQ(files, parts.size());
  }
  AllowUnnamedFiles(true);
}

TEST_F(ExtractJobTest, FirstFailureEndsItsItemOnly) {
  const std::string package = scratch_.File("p.zoq");
  auto c = MakeContainer();
  ASSERT_EQ(c->CreatePackage(package, 0, 0, 4, 0), kOk);
  for (const std::string path : {"/d/x.txt", "/d/locked.txt", "/d/y.txt", "/z.txt"}) {
    EcsCodeArg adm{kEcsAdm, &kTestKey};
    const bool locked = path == "/d/locked.txt";
    ASSERT_EQ(c->AddPartFromMemory(U16(path), path.data(), static_cast<int64_t>(path.size()),
                                   locked ? &adm : nullptr, locked, false),
              kOk);
  }
  ASSERT_EQ(c->Save(kSaveIncremental, false), kOk);
  c.reset();
  Container* open = Open(package);

  for (int workers : {1, 2}) {
    const std::string out = "out" + std::to_string(workers);
    fs::create_directories(scratch_.File(out + "/d"));
    WriteText(scratch_.File(out + "/d/locked.txt"), "older");
    ExtractSettings settings;
    settings.workers = workers;
    ExtractJob job(open, settings);
    std::vector<ExtractProblem> problems;
    job.SetProblems([&](const ExtractProblem& problem) { problems.push_back(problem); });
    EXPECT_EQ(RunInto(&job, {{open->GetNode(u"/d/"), true}, {open->GetNode(u"/z.txt"), true}}, out),
              1u);
    EXPECT_TRUE(job.item_failed(0));
    EXPECT_FALSE(job.item_failed(1));
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems[0].kind, ExtractProblem::kRead);
    EXPECT_EQ(problems[0].code, kSiteNoKey);
    EXPECT_EQ(problems[0].path, u"/d/locked.txt");
    EXPECT_EQ(problems[0].item, 0u);
    const auto listing = Listing(scratch_.File(out));
    EXPECT_EQ(listing.at("d/x.txt"), "/d/x.txt");
    EXPECT_EQ(listing.at("d/locked.txt"), "older");
    EXPECT_EQ(listing.at("z.txt"), "/z.txt");
    // One worker never starts what follows the failure; two may have.
    if (workers == 1) {
      EXPECT_EQ(listing.count("d/y.txt"), 0u);
    }
    EXPECT_EQ(listing.size(), 4u + (listing.count("d/y.txt") ? 1 : 0));
  }
}

TEST_F(ExtractJobTest, HistoryVersionPassesOverPartsMadeLater) {
  Container* c = Open(DataDir() + "/v_history.zoq");
  ExtractSettings settings;
  settings.revision_limit = 2;
  ExtractJob job(c, settings);
  const ExtractTotals totals = job.Measure({{c->GetNode(u"/"), false}}, false);
  ASSERT_EQ(RunInto(&job, {{c->GetNode(u"/"), false}}, "v2"), 0u);
  EXPECT_EQ(job.progress().parts_written, totals.parts);
  std::vector<uint8_t> at2;
  std::vector<uint8_t> newest;
  ASSERT_EQ(ReadContent(c, u"/a.txt", 2, nullptr, false, &at2), kOk);
  ASSERT_EQ(ReadContent(c, u"/a.txt", 0, nullptr, false, &newest), kOk);
  EXPECT_NE(at2, newest);
  EXPECT_EQ(ReadText(scratch_.File("v2/a.txt")), Text(at2));
  // The newest revision's tree holds more than version 2 had.
  ExtractJob all(c, ExtractSettings{});
  EXPECT_GT(all.Measure({{c->GetNode(u"/"), false}}, false).parts, totals.parts);
}

TEST_F(ExtractJobTest, StopEndsAfterThePartsUnderWay) {
  const std::string package = scratch_.File("p.zoq");
  WriteMixedPackage(package);
  Container* c = Open(package);
  for (int workers : {1, 2}) {
    ExtractSettings settings;
    settings.key = &kTestKey;
    settings.workers = workers;
    ExtractJob job(c, settings);
    const ExtractTotals totals = job.Measure({{c->GetNode(u"/many/"), true}}, true);
    EXPECT_EQ(totals.parts, 300);
    int64_t stored_seen = -1;
    job.SetProgress([&](const ExtractProgress& now) {
      stored_seen = now.stored_done;
      return false;
    });
    // One worker reports after each part; several are first asked before
    // any part is handed over.
    const std::string out = "stopped" + std::to_string(workers);
    EXPECT_EQ(RunInto(&job, {{c->GetNode(u"/many/"), true}}, out), 1u);
    EXPECT_TRUE(job.cancelled());
    EXPECT_TRUE(job.item_failed(0));
    const int64_t written = workers == 1 ? 1 : 0;
    EXPECT_EQ(job.progress().parts_written, written);
    EXPECT_EQ(static_cast<int64_t>(Listing(scratch_.File(out)).size()), written + 1);
    EXPECT_EQ(stored_seen > 0, workers == 1);
    EXPECT_LT(stored_seen, totals.stored_bytes);
  }
}

// A package whose parts each have two records: each part read is assembled
// in a temporary copy, which must not hold a descriptor while it is
// remembered.
TEST_F(ExtractJobTest, PartsOfSeveralRecordsNeedNoDescriptorEach) {
  const std::string package = scratch_.File("p.zoq");
  auto c = MakeContainer();
  ASSERT_EQ(c->CreatePackage(package, 0, 0, 4, 0), kOk);
  for (int i = 0; i < 200; ++i)
    ASSERT_EQ(AddBytes(c.get(), "/p" + std::to_string(i), Bytes("a")), kOk);
  ASSERT_EQ(c->Save(kSaveIncremental, false), kOk);
  for (int i = 0; i < 200; ++i) {
    ASSERT_EQ(c->AppendToPartFromMemory(U16("/p" + std::to_string(i)), "b", 1, nullptr, 0), kOk);
  }
  ASSERT_EQ(c->Save(kSaveIncremental, false), kOk);
  c.reset();
  Container* open = Open(package);
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
  rlimit lowered = saved;
  lowered.rlim_cur = 96;
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &lowered), 0);
  ExtractJob job(open, ExtractSettings{});
  const size_t failed = RunInto(&job, {{open->GetNode(u"/"), false}}, "out");
  setrlimit(RLIMIT_NOFILE, &saved);
  EXPECT_EQ(failed, 0u);
  EXPECT_EQ(job.progress().parts_written, 200);
  EXPECT_EQ(ReadText(scratch_.File("out/p7")), "ab");
}

TEST_F(ExtractJobTest, NeverWritesOverThePackage) {
  const std::string package = scratch_.File("p.zoq");
  auto c = test::SavedPackage(package, {{"/p.zoq", "not a package"}, {"/other.txt", "other"}});
  ASSERT_TRUE(c);
  c.reset();
  const std::string before = ReadText(package);
  Container* open = Open(package);
  OutputFolder target;
  ASSERT_EQ(OutputFolder::Open(scratch_.path(), &target), kOk);
  target.KeepFile(package);
  ExtractJob job(open, ExtractSettings{});
  std::vector<ExtractProblem> problems;
  job.SetProblems([&](const ExtractProblem& problem) { problems.push_back(problem); });
  EXPECT_EQ(
      job.Run({{open->GetNode(u"/p.zoq"), true}, {open->GetNode(u"/other.txt"), true}}, target),
      1u);
  EXPECT_EQ(ReadText(package), before);
  EXPECT_EQ(ReadText(scratch_.File("other.txt")), "other");
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_EQ(problems[0].kind, ExtractProblem::kWrite);
  EXPECT_NE(problems[0].message.find("package being read"), std::string::npos);
}

}  // namespace
}  // namespace zoq::test
