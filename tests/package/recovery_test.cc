// Recovering damaged packages: cut at every entry boundary and inside
// tables and data, damaged data with and without salvage, the damaged
// corpus cases, and what is refused without writing anything.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "save_test_util.h"
#include "test_util.h"
#include "zoq/codes.h"
#include "zoq/package_layout.h"
#include "zoq/recovery.h"

namespace zoq::test {
namespace {

using Parts = std::map<std::string, std::vector<uint8_t>>;

std::vector<std::string> FilesIn(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// Four revisions, the first written directly (data before its entry), the
// others with compressed tables; appends, a replacement and a deletion.
std::string FourRevisions(const ScratchDir& dir) {
  const std::string file = dir.File("four.zoq");
  auto c = MakeContainer();
  EXPECT_EQ(c->CreatePackage(file, 0, 0, 4, 0), kOk);
  EXPECT_EQ(AddBytes(c.get(), "/a.txt", TextLike(5000, 1)), kOk);
  EXPECT_EQ(AddBytes(c.get(), "/b.txt", TextLike(3000, 2), {kEcsZip}), kOk);
  EXPECT_EQ(c->Save(kSaveIncremental, false), kOk);
  EXPECT_EQ(c->SetTableCompression(3), kOk);
  EXPECT_EQ(c->AppendToPartFromMemory(u"/a.txt", "tail", 4, nullptr, 0), kOk);
  EXPECT_EQ(AddBytes(c.get(), "/c/d.txt", TextLike(4000, 3)), kOk);
  EXPECT_EQ(c->Save(kSaveIncremental, false), kOk);
  EXPECT_EQ(AddBytes(c.get(), "/b.txt", TextLike(2000, 4)), kOk);
  EXPECT_EQ(c->DeletePart(u"/c/d.txt"), kOk);
  EXPECT_EQ(c->Save(kSaveIncremental, false), kOk);
  EXPECT_EQ(AddBytes(c.get(), "/e.txt", Bytes("e")), kOk);
  EXPECT_EQ(c->Save(kSaveIncremental, false), kOk);
  return file;
}

TEST(Recovery, CutAnywhereKeepsTheRevisionsThatLieWhollyBeforeTheCut) {
  ScratchDir dir;
  const std::string file = FourRevisions(dir);
  const std::vector<uint8_t> bytes = ReadFileBytes(file);
  PackageLayout layout;
  ASSERT_EQ(ReadPackageLayoutFile(file, 0, &layout), kOk);
  ASSERT_EQ(layout.entries.size(), 4u);
  // Saved one after the other, each revision ends where the next begins.
  std::vector<int64_t> ends;
  for (size_t r = 1; r < 4; ++r) ends.push_back(std::min(layout.entries[r].offset, layout.entries[r].bitstream));
  ends.push_back(static_cast<int64_t>(bytes.size()));

  std::vector<int64_t> cuts;
  for (size_t r = 0; r < 4; ++r) {
    const EntryFacts& e = layout.entries[r];
    for (int64_t at : {e.offset, e.offset + 7, e.offset + 40, e.offset + e.length - 1,
                       e.bitstream + 2, e.bitstream + 30, ends[r] - 1, ends[r]}) {
      cuts.push_back(at);
    }
  }
  for (int64_t cut : cuts) {
    SCOPED_TRACE("cut at " + std::to_string(cut));
    const std::string damaged = dir.File("cut.zoq");
    const std::string out = dir.File("out.zoq");
    std::filesystem::remove(out);
    WriteFileBytes(damaged, std::vector<uint8_t>(bytes.begin(), bytes.begin() + cut));
    int kept = 0;
    while (kept < 4 && ends[static_cast<size_t>(kept)] <= cut) ++kept;

    RecoveryReport report;
    const int code = RecoverPackage(damaged, out, {}, &report);
    EXPECT_EQ(report.complete, kept);
    EXPECT_EQ(report.entry_count, 4);
    if (kept == 0) {
      EXPECT_NE(code, kOk);
      EXPECT_FALSE(std::filesystem::exists(out));
      continue;
    }
    ASSERT_EQ(code, kOk);
    EXPECT_EQ(report.output_revisions, kept);
    if (kept < 4) {
      // The first lost revision says why: its entry, or (entry complete,
      // data cut) its data.
      ASSERT_FALSE(report.revisions.empty());
      const ExaminedRevision& lost = report.revisions[0];
      EXPECT_EQ(lost.revision, kept);
      const EntryFacts& e = layout.entries[static_cast<size_t>(kept)];
      const bool tables_whole = e.offset + e.length <= cut;
      EXPECT_EQ(lost.records_known, tables_whole);
      EXPECT_EQ(lost.problem, tables_whole ? kBitStreamReadFailed : kEntryReadFailed);
    }
    EXPECT_EQ(FileParts(out), FileParts(file, kept));
    PackageLayout written;
    ASSERT_EQ(ReadPackageLayoutFile(out, 0, &written), kOk);
    EXPECT_EQ(written.entries.size(), static_cast<size_t>(kept));
  }
  EXPECT_EQ(FilesIn(dir.path()), (std::vector<std::string>{"cut.zoq", "four.zoq", "out.zoq"}));
}

TEST(Recovery, DamagedDataLosesItsRevisionAndSalvageKeepsWhatStillStands) {
  ScratchDir dir;
  const std::string file = dir.File("p.zoq");
  {
    auto c = SavedPackage(file, {{"/a", "a1"}, {"/b", "b1"}});
    ASSERT_TRUE(c);
    ASSERT_EQ(AddBytes(c.get(), "/a", Bytes("a2-DAMAGED")), kOk);
    ASSERT_EQ(AddBytes(c.get(), "/c", Bytes("c2")), kOk);
    ASSERT_EQ(c->Save(kSaveIncremental, false), kOk);
    ASSERT_EQ(c->AppendToPartFromMemory(u"/a", "+3", 2, nullptr, 0), kOk);
    ASSERT_EQ(AddBytes(c.get(), "/b", Bytes("b3")), kOk);
    ASSERT_EQ(c->DeletePart(u"/c"), kOk);
    ASSERT_EQ(AddBytes(c.get(), "/d", Bytes("d3")), kOk);
    ASSERT_EQ(c->Save(kSaveIncremental, false), kOk);
  }
  std::vector<uint8_t> bytes = ReadFileBytes(file);
  const std::string marker = "DAMAGED";
  auto at = std::search(bytes.begin(), bytes.end(), marker.begin(), marker.end());
  ASSERT_NE(at, bytes.end());
  *at ^= 0x20;  // the check byte no longer agrees
  const std::string damaged = dir.File("damaged.zoq");
  WriteFileBytes(damaged, bytes);

  RecoveryReport report;
  ASSERT_EQ(RecoverPackage(damaged, dir.File("kept.zoq"), {}, &report), kOk);
  EXPECT_EQ(report.complete, 1);
  EXPECT_EQ(report.output_revisions, 1);
  ASSERT_EQ(report.revisions.size(), 2u);
  EXPECT_EQ(report.revisions[0].problem, kChecksumFailed);
  EXPECT_EQ(report.revisions[0].records[0].fate, RecordFate::kDamaged);
  EXPECT_EQ(report.revisions[0].records[1].fate, RecordFate::kNotCopied);
  EXPECT_EQ(report.revisions[1].problem, kOk);
  EXPECT_EQ(ReadFileBytes(damaged), bytes);  // only read

  RecoverOptions salvage;
  salvage.salvage = true;
  ASSERT_EQ(RecoverPackage(damaged, dir.File("salvaged.zoq"), salvage, &report), kOk);
  EXPECT_EQ(report.output_revisions, 3);
  std::vector<RecordFate> fates;
  for (const ExaminedRevision& revision : report.revisions) {
    for (const ExaminedRecord& record : revision.records) fates.push_back(record.fate);
  }
  // /a damaged, /c kept; then the append to the lost /a cannot be rebuilt.
  EXPECT_EQ(fates, (std::vector<RecordFate>{RecordFate::kDamaged, RecordFate::kSalvaged,
                                            RecordFate::kBaseLost, RecordFate::kSalvaged,
                                            RecordFate::kSalvaged, RecordFate::kSalvaged}));
  EXPECT_EQ(report.revisions[1].output_revision, 2);
  EXPECT_EQ(FileParts(dir.File("salvaged.zoq")),
            (Parts{{"/a", Bytes("a1")}, {"/b", Bytes("b3")}, {"/d", Bytes("d3")}}));
  EXPECT_EQ(FileParts(dir.File("salvaged.zoq"), 2),
            (Parts{{"/a", Bytes("a1")}, {"/b", Bytes("b1")}, {"/c", Bytes("c2")}}));
  auto c = MakeContainer();
  ASSERT_EQ(c->OpenFile(dir.File("salvaged.zoq"), true), kOk);
  EXPECT_EQ(c->VerifyChecks(true), kOk);
}

TEST(Recovery, RefusesWithoutWritingAnything) {
  ScratchDir dir;
  const std::string file = FourRevisions(dir);
  const std::vector<uint8_t> original = ReadFileBytes(file);
  const std::string out = dir.File("out.zoq");
  WriteFileBytes(out, Bytes("keep me"));
  RecoveryReport report;
  EXPECT_EQ(RecoverPackage(file, out, {}, &report), kTargetFileFailed);
  EXPECT_EQ(ReadFileBytes(out), Bytes("keep me"));
  RecoverOptions replace;
  replace.replace = true;
  EXPECT_EQ(RecoverPackage(file, file, replace, &report), kTargetFileFailed);
  EXPECT_EQ(ReadFileBytes(file), original);
  EXPECT_EQ(RecoverPackage(dir.File("missing.zoq"), dir.File("x.zoq"), {}, &report),
            kSourceOpenFailed);
  // An intact package is copied whole; --force replaces.
  ASSERT_EQ(RecoverPackage(file, out, replace, &report), kOk);
  EXPECT_EQ(ReadFileBytes(out), original);
  EXPECT_TRUE(report.revisions.empty());

  std::vector<uint8_t> bad = original;
  bad[1] = 'X';
  WriteFileBytes(dir.File("bad.zoq"), bad);
  EXPECT_EQ(RecoverPackage(dir.File("bad.zoq"), dir.File("none.zoq"), {}, &report),
            kBadHeaderMagic);
  EXPECT_EQ(report.header_problem, kBadHeaderMagic);
  EXPECT_EQ(FilesIn(dir.path()), (std::vector<std::string>{"bad.zoq", "four.zoq", "out.zoq"}));
}

// Every corpus package: what recover keeps is what opens and checks, read
// revision by revision with the container.
TEST(Recovery, CorpusKeepsEveryRevisionThatOpensAndChecks) {
  ScratchDir dir;
  int damaged_cases = 0;
  for (const auto& entry : std::filesystem::directory_iterator(DataDir())) {
    if (entry.path().extension() != ".zoq") continue;
    const std::string file = entry.path().string();
    SCOPED_TRACE(entry.path().filename().string());
    const std::string out = dir.File("out.zoq");
    std::filesystem::remove(out);
    RecoveryReport examined;
    ASSERT_EQ(ExaminePackage(file, true, &examined), kOk);
    if (examined.header_problem != kOk) {
      RecoveryReport report;
      EXPECT_EQ(RecoverPackage(file, out, {}, &report), examined.header_problem);
      EXPECT_FALSE(std::filesystem::exists(out));
      ++damaged_cases;
      continue;
    }
    const int count = examined.entry_count;
    int kept = 0;
    auto probe = MakeContainer();
    while (kept < count && probe->OpenFileAt(file, kept + 1) == kOk &&
           probe->VerifyChecks(true) == kOk) {
      ++kept;
    }
    EXPECT_EQ(examined.complete, kept);
    RecoveryReport report;
    const int code = RecoverPackage(file, out, {}, &report);
    EXPECT_EQ(report.complete, kept);
    if (kept < count) ++damaged_cases;
    if (kept == 0 && count > 0) {
      EXPECT_NE(code, kOk);
      continue;
    }
    ASSERT_EQ(code, kOk);
    const Parts got = FileParts(out);
    if (kept > 0) {
      EXPECT_EQ(got, FileParts(file, kept));
    }
  }
  EXPECT_GE(damaged_cases, 13);
}

}  // namespace
}  // namespace zoq::test
