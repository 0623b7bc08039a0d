// Injected I/O faults on every open, read and save path: the k-th operation
// of one kind (open, read, write, seek, set-length, flush) fails, for every
// k the path makes. Each operation then either fails with a non-zero code or
// gives exactly the content it gives without faults; a fault never poisons
// later operations; and after a failed save the package still holds what it
// held before.
#include <gtest/gtest.h>
#include <unistd.h>

#include <functional>
#include <map>
#include <ostream>
#include <memory>
#include <string>
#include <vector>

#include "fault_stream.h"
#include "file_size_limit.h"
#include "hardening_util.h"
#include "zoq/container.h"
#include "save_test_util.h"
#include "test_util.h"

namespace zoq::hardening {
namespace {

using test::AddBytes;
using test::FileSizeLimit;
using test::Bytes;
using test::MakeContainer;
using test::SnapshotBytes;
using Parts = std::map<std::string, std::vector<uint8_t>>;

const std::vector<Op> kReadKinds = {Op::kOpen, Op::kRead, Op::kSeek};
const std::vector<Op> kAllKinds = {Op::kOpen, Op::kRead,      Op::kWrite,
                                   Op::kSeek, Op::kSetLength, Op::kFlush};

// One step of a walk over a package: what was asked and what came back.
struct Step {
  std::string what;
  int code = 0;
  std::vector<uint8_t> bytes;
};

class Walk {
 public:
  void Add(std::string what, int code, std::vector<uint8_t> bytes = {}) {
    steps_.push_back({std::move(what), code, code == kOk ? std::move(bytes) : std::vector<uint8_t>{}});
  }
  const std::vector<Step>& steps() const { return steps_; }

 private:
  std::vector<Step> steps_;
};

std::vector<uint8_t> Number(int64_t value) {
  std::string text = std::to_string(value);
  return {text.begin(), text.end()};
}

std::vector<uint8_t> FileBytes(const std::string& path) { return test::ReadFileBytes(path); }

// Every read operation of an open package, on at most `max_parts` parts.
void WalkParts(Container* c, Walk* walk, size_t max_parts = 6) {
  const DecodeOptions full{kEcsEnd, &TestKey()};
  const DecodeOptions stored{0, &TestKey()};
  std::vector<std::u16string> parts;
  int code = c->ListParts(u"/", &parts);
  std::vector<uint8_t> listing;
  for (const auto& p : parts) {
    std::string u8 = test::U8(p) + "\n";
    listing.insert(listing.end(), u8.begin(), u8.end());
  }
  walk->Add("list", code, listing);
  if (parts.size() > max_parts) parts.resize(max_parts);
  for (const std::u16string& path : parts) {
    const std::string name = test::U8(path);
    PartInfo info;
    code = c->GetPartInfoByPath(&info, path, 0);
    std::vector<uint8_t> facts = Number(info.position);
    for (int64_t v : {info.size, info.total_size, int64_t{info.code_count}}) {
      facts.push_back(' ');
      auto n = Number(v);
      facts.insert(facts.end(), n.begin(), n.end());
    }
    walk->Add("info " + name, code, facts);

    int64_t length = 0;
    code = c->ReadPart(path, nullptr, &length, 0, &full);
    walk->Add("length " + name, code, Number(length));
    if (code == kOk && length >= 0 && length < (16 << 20)) {
      std::vector<uint8_t> buffer(static_cast<size_t>(length));
      int64_t got = length;
      code = c->ReadPart(path, buffer.data(), &got, 0, &full);
      if (code == kOk) buffer.resize(static_cast<size_t>(got));
      walk->Add("read " + name, code, buffer);
    } else {
      walk->Add("read " + name, code == kOk ? -1 : code);
    }
    std::vector<uint8_t> content;
    code = test::ReadContent(c, path, 0, &full, false, &content);
    walk->Add("open " + name, code, content);
    code = test::ReadContent(c, path, 0, &full, true, &content);
    walk->Add("open-keep " + name, code, content);
    code = test::ReadContent(c, path, 0, &stored, false, &content);
    walk->Add("stored " + name, code, content);
    std::string target;
    code = c->ExtractPart(path, &target, 0, &full);
    walk->Add("extract " + name, code, code == kOk ? FileBytes(target) : std::vector<uint8_t>{});
    c->ReleasePartCopies(u"*").IgnoreError();  // an injected fault may refuse it
  }
  walk->Add("verify", c->VerifyChecks(true));
}

// A walk with a fault must agree with the walk without one: each step
// either failed or gave the same bytes.
void ExpectAgrees(const Walk& faulty, const Walk& clean, const std::string& label) {
  ASSERT_LE(faulty.steps().size(), clean.steps().size()) << label;
  for (size_t i = 0; i < faulty.steps().size(); ++i) {
    const Step& f = faulty.steps()[i];
    const Step& g = clean.steps()[i];
    ASSERT_EQ(f.what, g.what) << label;
    if (f.code == kOk) {
      EXPECT_EQ(g.code, kOk) << label << ": " << f.what << " succeeded only with a fault";
      EXPECT_TRUE(f.bytes == g.bytes) << label << ": " << f.what << " gave other content";
    }
  }
}

void ExpectSame(const Walk& a, const Walk& b, const std::string& label) {
  ASSERT_EQ(a.steps().size(), b.steps().size()) << label;
  for (size_t i = 0; i < a.steps().size(); ++i) {
    EXPECT_EQ(a.steps()[i].code, b.steps()[i].code) << label << ": " << a.steps()[i].what;
    EXPECT_TRUE(a.steps()[i].bytes == b.steps()[i].bytes) << label << ": " << a.steps()[i].what;
  }
}

// Opens the package held by `stream` and walks it.
Walk OpenAndWalk(Container* c, Stream* stream) {
  Walk walk;
  int code = c->OpenStream(stream, true);
  walk.Add("open-package", code);
  if (code != kOk) {
    // A failed open leaves the container closed.
    EXPECT_EQ(c->GetRevisionCount(), 0);
    EXPECT_EQ(c->GetNode(u"/"), nullptr);
    return walk;
  }
  WalkParts(c, &walk);
  return walk;
}

struct ReadCase {
  const char* package;
};

void PrintTo(const ReadCase& c, std::ostream* os) { *os << c.package; }

class ReadFaults : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ReadFaults, EveryReadPathReportsTheFaultAndRecovers) {
  const std::vector<uint8_t> bytes =
      test::ReadFileBytes(test::DataDir() + "/" + GetParam().package + ".zoq");
  ASSERT_FALSE(bytes.empty());
  auto counting = std::make_shared<FaultPlan>();
  Walk clean;
  {
    auto stream = FaultyMemory(bytes, counting);
    auto c = MakeContainer();
    clean = OpenAndWalk(c.get(), stream.get());
    ASSERT_EQ(clean.steps()[0].code, kOk);
  }
  int reported = 0;
  const int cases = SweepFaults(
      kReadKinds, [&](Op op) { return counting->Count(op); },
      [&](Op op, int64_t k, const std::string& label) {
        auto plan = std::make_shared<FaultPlan>(op, k);
        auto stream = FaultyMemory(bytes, plan);
        auto c = MakeContainer();
        Walk faulty = OpenAndWalk(c.get(), stream.get());
        ASSERT_TRUE(plan->Fired()) << label;
        ExpectAgrees(faulty, clean, label);
        bool failed = false;
        for (const Step& s : faulty.steps()) failed |= s.code != kOk;
        reported += failed;
        // The fault was one-off: the same container (reopened when the open
        // failed) now reads everything as without faults.
        Walk again;
        if (faulty.steps()[0].code == kOk) {
          again.Add("open-package", kOk);
          WalkParts(c.get(), &again);
        } else {
          again = OpenAndWalk(c.get(), stream.get());
        }
        ExpectSame(again, clean, label + " (again)");
      });
  if (HasFailure()) return;
  EXPECT_GT(reported, 0);
  RecordProperty("cases", cases);
}

INSTANTIATE_TEST_SUITE_P(Packages, ReadFaults,
                         ::testing::Values(ReadCase{"v_tables_mixed"}, ReadCase{"v_history"},
                                           ReadCase{"v_seven_codes"}, ReadCase{"v_adm_zip_stack"},
                                           ReadCase{"v_skippable"}, ReadCase{"v_gaps"},
                                           ReadCase{"v_create_w4"}),
                         [](const auto& info) { return std::string(info.param.package); });

// --- SXC through the stream. ------------------------------------------------

// Decoding reads its input, encoding writes its output, through a stream
// that fails the k-th operation of a kind. Either the document comes out
// exactly as without the fault, or the failure is reported.
struct SxcCase {
  const char* name;
  int (*through)(const std::vector<uint8_t>&, std::shared_ptr<FaultPlan>, const std::string&,
                 std::vector<uint8_t>*);
  const char* input;
  std::vector<Op> kinds;
  bool every_fault_fires;  // a fault at any operation of the clean run is met
  std::vector<Op> must_fail;  // kinds whose failure can never be hidden
};

void PrintTo(const SxcCase& c, std::ostream* os) { *os << c.name; }

class SxcStreamFaults : public ::testing::TestWithParam<SxcCase> {};

TEST_P(SxcStreamFaults, EveryFaultIsReportedOrHarmless) {
  const SxcCase& sc = GetParam();
  const std::string schema = SxcData("doc_basic.bsg");
  const std::vector<uint8_t> input = test::ReadFileBytes(SxcData(sc.input));
  auto counting = std::make_shared<FaultPlan>();
  std::vector<uint8_t> expected;
  ASSERT_EQ(sc.through(input, counting, schema, &expected), kOk);
  ASSERT_FALSE(expected.empty());
  const int cases = SweepFaults(
      sc.kinds, [&](Op op) { return counting->Count(op); },
      [&](Op op, int64_t k, const std::string& label) {
        auto plan = std::make_shared<FaultPlan>(op, k);
        std::vector<uint8_t> output;
        const int code = sc.through(input, plan, schema, &output);
        if (sc.every_fault_fires || code != kOk) {
          ASSERT_TRUE(plan->Fired()) << label;
        }
        for (Op fatal : sc.must_fail) {
          if (op == fatal) {
            EXPECT_NE(code, kOk) << label << " reported success";
          }
        }
        if (code == kOk) {
          EXPECT_TRUE(output == expected) << label << " gave other output";
        }
      });
  RecordProperty("cases", cases);
}

INSTANTIATE_TEST_SUITE_P(
    Directions, SxcStreamFaults,
    ::testing::Values(SxcCase{"decode", DecodeThrough, "doc_basic.sxc", kReadKinds, false, {}},
                      SxcCase{"encode", EncodeThrough, "doc_basic.xml", kAllKinds, true,
                              {Op::kWrite, Op::kFlush, Op::kOpen}}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Saving through a caller's stream. ---------------------------------------

int Edit(Container* c) {
  int code = AddBytes(c, "/a.txt", Bytes("alpha-2"));
  if (code == kOk) code = c->AppendToPartFromMemory(u"/c.txt", "+", 1, nullptr, 0);
  if (code == kOk) code = c->DeletePart(u"/b.txt");
  if (code == kOk) code = AddBytes(c, "/f/g.txt", test::TextLike(2500, 4), {2});
  return code;
}

struct SaveCase {
  const char* name;
  int mode;
  bool merge;
  // Over a caller's stream: aim faults at writes too (the package tests
  // cover an incremental save's writes already).
  bool write_faults = false;
  // Into files: SaveAs a new file instead of Save in place.
  bool save_as = false;
};

void PrintTo(const SaveCase& c, std::ostream* os) { *os << c.name; }

// Each save test starts from a package of three revisions, which it edits.
class SaveFaults : public ::testing::TestWithParam<SaveCase> {
 protected:
  void SetUp() override {
    original = test::RevisedPackage(3);
    before = SnapshotBytes(original, &code);
    ASSERT_EQ(code, kOk);
  }

  std::vector<uint8_t> original;
  Parts before;  // what the unedited package holds
  int code = 0;
};

class CallerStreamSaveFaults : public SaveFaults {};

TEST_P(CallerStreamSaveFaults, FailedSaveKeepsThePackage) {
  const SaveCase& sc = GetParam();

  // A run without faults: the operations the save makes, and its result.
  auto counting = std::make_shared<FaultPlan>();
  std::array<int64_t, static_cast<int>(Op::kCount)> at_save{};
  Parts after;
  {
    auto stream = FaultyMemory(original, counting);
    auto c = MakeContainer();
    ASSERT_EQ(c->OpenStream(stream.get(), false), kOk);
    ASSERT_EQ(Edit(c.get()), kOk);
    for (Op op : kAllKinds) at_save[static_cast<int>(op)] = counting->Count(op);
    ASSERT_EQ(c->Save(sc.mode, sc.merge), kOk);
    after = SnapshotBytes(ContentOf(stream->inner()), &code);
    ASSERT_EQ(code, kOk);
    ASSERT_NE(after, before);
  }
  // Faults are aimed at the operations the save makes, after the open and
  // the edits.
  const std::vector<Op>& kinds = sc.write_faults ? kAllKinds : kReadKinds;
  int failures = 0;
  const int cases = SweepFaults(
      kinds, [&](Op op) { return counting->Count(op) - at_save[static_cast<int>(op)]; },
      [&](Op op, int64_t j, const std::string& label) {
        auto plan = std::make_shared<FaultPlan>(op, at_save[static_cast<int>(op)] + j);
        auto stream = FaultyMemory(original, plan);
        auto c = MakeContainer();
        ASSERT_EQ(c->OpenStream(stream.get(), false), kOk) << label;
        ASSERT_EQ(Edit(c.get()), kOk) << label;
        const int result = c->Save(sc.mode, sc.merge);
        ASSERT_TRUE(plan->Fired()) << label;
        const Parts now = SnapshotBytes(ContentOf(stream->inner()), &code);
        ASSERT_EQ(code, kOk) << label << ": the package no longer opens (save gave " << result
                             << ")";
        if (result == kOk) {
          EXPECT_EQ(now, after) << label;
          return;
        }
        ++failures;
        // A failure of the very last step may come after the new content is
        // complete; anything in between is not allowed.
        if (now != before) {
          EXPECT_EQ(now, after) << label;
        }
        if (c->GetNode(u"/") == nullptr) {
          // The new content was complete but could not be opened again: the
          // container closed, and opening the stream again shows it.
          EXPECT_EQ(now, after) << label;
          ASSERT_EQ(c->OpenStream(stream.get(), false), kOk) << label;
          EXPECT_EQ(test::Snapshot(c.get()), after) << label;
          return;
        }
        // The container still describes the package it holds, and the
        // changes are still pending: saving again succeeds.
        EXPECT_TRUE(c->IsModified()) << label;
        ASSERT_EQ(c->Save(sc.mode, sc.merge), kOk) << label << " (retry)";
        EXPECT_EQ(SnapshotBytes(ContentOf(stream->inner()), &code), after) << label;
        EXPECT_EQ(test::Snapshot(c.get()), after) << label;
      });
  EXPECT_GT(failures, 0);
  RecordProperty("cases", cases);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, CallerStreamSaveFaults,
    ::testing::Values(SaveCase{"incremental", kSaveIncremental, false},
                      SaveCase{"merged", kSaveIncremental, true, true},
                      SaveCase{"compact", kSaveCompact, false, true}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Saving into files: writes fail past a file-size limit. -------------------

class FileSaveFaults : public SaveFaults {};

TEST_P(FileSaveFaults, WriteFailuresAtEverySizeKeepThePackage) {
  const SaveCase& sc = GetParam();
  test::ScratchDir dir;
  const std::string file = dir.File("p.zoq");
  const std::string copy = dir.File("copy.zoq");

  // The size the written file reaches without a limit.
  int64_t full_size = 0;
  Parts after;
  {
    WriteFile(file, original);
    auto c = MakeContainer();
    ASSERT_EQ(c->OpenFile(file, false), kOk);
    ASSERT_EQ(Edit(c.get()), kOk);
    ASSERT_EQ(sc.save_as ? c->SaveAs(copy, sc.mode, sc.merge) : c->Save(sc.mode, sc.merge), kOk);
    const std::string written = sc.save_as ? copy : file;
    full_size = static_cast<int64_t>(test::ReadFileBytes(written).size());
    after = test::SnapshotFile(written, &code);
    ASSERT_EQ(code, kOk);
    unlink(copy.c_str());
  }
  const std::vector<std::string> names_before = [&] {
    WriteFile(file, original);
    return FolderNames(dir.path());
  }();
  const int64_t from = sc.mode == kSaveIncremental && !sc.merge && !sc.save_as
                           ? static_cast<int64_t>(original.size())
                           : 0;
  int cases = 0;
  for (int64_t limit = from; limit < full_size; limit += (full_size - from) / 60 + 1) {
    const std::string label = "limit " + std::to_string(limit);
    WriteFile(file, original);
    auto c = MakeContainer();
    ASSERT_EQ(c->OpenFile(file, false), kOk);
    ASSERT_EQ(Edit(c.get()), kOk);
    int result;
    {
      FileSizeLimit fsize(static_cast<rlim_t>(limit));
      result = sc.save_as ? c->SaveAs(copy, sc.mode, sc.merge) : c->Save(sc.mode, sc.merge);
    }
    ++cases;
    EXPECT_NE(result, kOk) << label << ": a save cut short reported success";
    Parts now = test::SnapshotFile(file, &code);
    ASSERT_EQ(code, kOk) << label;
    EXPECT_EQ(now, before) << label;
    // Not a byte changed, unlinked leftovers included.
    EXPECT_EQ(test::ReadFileBytes(file), original) << label;
    // Nothing half-written is left: no target, no temporary file.
    EXPECT_EQ(FolderNames(dir.path()), names_before) << label;
    // The changes are still pending and save once the limit is gone.
    const int retry =
        sc.save_as ? c->SaveAs(copy, sc.mode, sc.merge) : c->Save(sc.mode, sc.merge);
    ASSERT_EQ(retry, kOk) << label << " (retry)";
    EXPECT_EQ(test::SnapshotFile(sc.save_as ? copy : file, &code), after) << label;
    c.reset();
    unlink(copy.c_str());
    if (HasFailure()) return;
  }
  EXPECT_GT(cases, 10);
  RecordProperty("cases", cases);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, FileSaveFaults,
    ::testing::Values(SaveCase{"incremental", kSaveIncremental, false},
                      SaveCase{"merged", kSaveIncremental, true},
                      SaveCase{"compact", kSaveCompact, false},
                      SaveCase{"save_as_incremental", kSaveIncremental, false, false, true},
                      SaveCase{"save_as_compact", kSaveCompact, false, false, true}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace zoq::hardening
