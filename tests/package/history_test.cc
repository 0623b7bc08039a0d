// Working with revisions through the library: each path's records, what a
// part held after a revision, comparing two revisions by decoded content,
// and restoring old versions as pending changes.
#include <gtest/gtest.h>

#include "save_test_util.h"
#include "test_util.h"
#include "zoq/codes.h"
#include "zoq/history.h"
#include "zoq/package_layout.h"

namespace zoq::test {
namespace {


const uint8_t kKeyBytes[16] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};

KeyInfo Key() {
  KeyInfo key;
  key.key = kKeyBytes;
  key.key_length = 16;
  return key;
}

int AddSecret(Container* c, const std::string& path, const std::string& text, bool append) {
  KeyInfo key = Key();
  EcsCodeArg code;
  code.code = kEcsAdm;
  code.key = &key;
  return append ? c->AppendToPartFromMemory(U16(path), text.data(),
                                            static_cast<int64_t>(text.size()), &code, 1)
                : c->AddPartFromMemory(U16(path), text.data(), static_cast<int64_t>(text.size()),
                                       &code, 1, false);
}

std::string Read(Container* c, const std::string& path, int limit, bool with_key = false) {
  KeyInfo key = Key();
  DecodeOptions decode;
  decode.key = with_key ? &key : nullptr;
  const std::vector<uint8_t> content = PartContent(c, U16(path), limit, &decode);
  return std::string(content.begin(), content.end());
}

TEST(PathHistory, StateAfterFollowsEveryRecordKind) {
  const PathHistory history{u"/p",
                            {{0, kRecordCreated},
                             {1, kRecordAppended},
                             {1, kRecordAppended},
                             {2, kRecordReplaced},
                             {3, kRecordDeleted},
                             {4, kRecordNone},
                             {5, kRecordAppended},
                             {6, kRecordCreated}}};
  const struct {
    int revisions;
    bool exists;
    int first, last, ended_by;
  } cases[] = {
      {0, false, -1, -1, -1}, {1, true, 0, 0, -1},  {2, true, 0, 2, -1},
      {3, true, 3, 3, -1},    {4, false, -1, -1, 4}, {5, false, -1, -1, 5},
      // Appends after an empty record: the part exists without readable content.
      {6, true, -1, -1, -1}, {7, true, 7, 7, -1},  {kNewest, true, 7, 7, -1},
  };
  for (const auto& c : cases) {
    PartState state = StateAfter(history, c.revisions);
    EXPECT_EQ(state.exists, c.exists) << c.revisions;
    EXPECT_EQ(state.first, c.first) << c.revisions;
    EXPECT_EQ(state.last, c.last) << c.revisions;
    EXPECT_EQ(state.ended_by, c.ended_by) << c.revisions;
  }
  EXPECT_EQ(ContentRevisions(history, StateAfter(history, 2)), (std::vector<int>{0, 1, 1}));
}

// Three saved revisions:
//   1: /a.txt "one", /same.txt, /gone.txt, /zip.txt (zip), /dir/x.txt, /secret (ADM)
//   2: "two" appended to /a.txt, /same.txt stored again unchanged, /zip.txt
//      stored again without codes (same content), /gone.txt deleted, /new.txt,
//      /dir/x.txt replaced, /dir/y.txt, "+" appended to /secret
//   3: /gone.txt created again with its old content
class History : public testing::Test {
 protected:
  void SetUp() override {
    file_ = dir_.File("h.zoq");
    c_ = MakeContainer();
    ASSERT_EQ(c_->CreatePackage(file_, 0, 0, 4, 0), kOk);
    ASSERT_EQ(AddBytes(c_.get(), "/a.txt", Bytes("one\n")), kOk);
    ASSERT_EQ(AddBytes(c_.get(), "/same.txt", Bytes("same\n")), kOk);
    ASSERT_EQ(AddBytes(c_.get(), "/gone.txt", Bytes("gone\n")), kOk);
    ASSERT_EQ(AddBytes(c_.get(), "/zip.txt", Bytes("zipped\n"), {kEcsZip}), kOk);
    ASSERT_EQ(AddBytes(c_.get(), "/dir/x.txt", Bytes("x1\n")), kOk);
    ASSERT_EQ(AddSecret(c_.get(), "/secret", "s1", false), kOk);
    ASSERT_EQ(c_->Save(kSaveIncremental, false), kOk);
    ASSERT_EQ(c_->AppendToPartFromMemory(u"/a.txt", "two\n", 4, nullptr, 0), kOk);
    ASSERT_EQ(AddBytes(c_.get(), "/same.txt", Bytes("same\n")), kOk);
    ASSERT_EQ(AddBytes(c_.get(), "/zip.txt", Bytes("zipped\n")), kOk);
    ASSERT_EQ(c_->DeletePart(u"/gone.txt"), kOk);
    ASSERT_EQ(AddBytes(c_.get(), "/new.txt", Bytes("new\n")), kOk);
    ASSERT_EQ(AddBytes(c_.get(), "/dir/x.txt", Bytes("x2\n")), kOk);
    ASSERT_EQ(AddBytes(c_.get(), "/dir/y.txt", Bytes("y\n")), kOk);
    ASSERT_EQ(AddSecret(c_.get(), "/secret", "+", true), kOk);
    ASSERT_EQ(c_->Save(kSaveIncremental, false), kOk);
    ASSERT_EQ(AddBytes(c_.get(), "/gone.txt", Bytes("gone\n")), kOk);
    ASSERT_EQ(c_->Save(kSaveIncremental, false), kOk);
    ASSERT_EQ(c_->ListPathHistories(u"/", &histories_), kOk);
  }

  // "M /a.txt" for each change, then "! /path code" for each problem, over
  // `histories` (by default every path's).
  std::vector<std::string> Compare(int from, int to, const KeyInfo* key = nullptr,
                                   const std::vector<PathHistory>* histories = nullptr) {
    const std::vector<PathHistory>& compared = histories ? *histories : histories_;
    DecodeOptions decode;
    decode.key = key;
    std::vector<PartChange> changes;
    std::vector<PartProblem> problems;
    EXPECT_EQ(CompareRevisions(c_.get(), compared.data(), compared.size(), from, to, &decode,
                               &changes, &problems),
              kOk);
    std::vector<std::string> out;
    for (const PartChange& change : changes) {
      out.push_back(std::string(1, change.status) + " " + U8(compared[change.history].path));
    }
    for (const PartProblem& problem : problems) {
      out.push_back("! " + U8(problem.path) + " " + std::to_string(problem.code));
    }
    return out;
  }

  ScratchDir dir_;
  std::string file_;
  std::unique_ptr<Container> c_;
  std::vector<PathHistory> histories_;
};

TEST_F(History, ListsEveryPathWithItsRecordsDeletedOnesIncluded) {
  std::vector<std::string> paths;
  for (const PathHistory& h : histories_) paths.push_back(U8(h.path));
  EXPECT_EQ(paths, (std::vector<std::string>{"/a.txt", "/dir/x.txt", "/dir/y.txt", "/gone.txt",
                                             "/new.txt", "/same.txt", "/secret", "/zip.txt"}));
  const PathHistory& gone = histories_[3];
  ASSERT_EQ(gone.records.size(), 3u);
  EXPECT_EQ(gone.records[1].type, kRecordDeleted);
  EXPECT_EQ(gone.records[2].revision, 2);

  std::vector<PathHistory> below;
  EXPECT_EQ(c_->ListPathHistories(u"/dir/", &below), kOk);
  EXPECT_EQ(below.size(), 2u);
  EXPECT_EQ(c_->ListPathHistories(u"/dir", &below), kInvalidArgument);

  // A part the tree no longer holds still answers with its facts.
  ASSERT_EQ(c_->DeletePart(u"/new.txt"), kOk);
  PartInfo info;
  EXPECT_EQ(c_->GetPathInfo(&info, u"/new.txt", 0), kOk);
  EXPECT_TRUE(info.deleted);
  EXPECT_EQ(c_->GetPathInfo(&info, u"/new.txt", 3), kOk);
  EXPECT_FALSE(info.deleted);
  EXPECT_EQ(info.name, u"new.txt");
  EXPECT_EQ(c_->GetPathInfo(&info, u"/nothing", 0), kNoSuchNode);
}

TEST_F(History, ComparesRevisionsByDecodedContent) {
  // Storing the same content again is no change, whatever its codes.
  const KeyInfo key = Key();
  EXPECT_EQ(Compare(1, 2, &key),
            (std::vector<std::string>{"M /a.txt", "M /dir/x.txt", "A /dir/y.txt", "D /gone.txt",
                                      "A /new.txt", "M /secret"}));
  EXPECT_EQ(Compare(2, 1, &key),
            (std::vector<std::string>{"M /a.txt", "M /dir/x.txt", "D /dir/y.txt", "A /gone.txt",
                                      "D /new.txt", "M /secret"}));
  // A part deleted and created again with the same content is unchanged.
  EXPECT_EQ(Compare(1, 3, &key).size(), 5u);
  EXPECT_EQ(Compare(0, 1).size(), 6u);
  EXPECT_TRUE(Compare(3, 3).empty());
  // Without the key the encrypted part cannot be compared: named, not listed.
  EXPECT_EQ(Compare(1, 2).back(), "! /secret " + std::to_string(kSiteNoKey));
}

// The histories of the paths with records between two states are those
// that can differ: narrowing the list changes no comparison.
TEST_F(History, ListsThePathsChangedBetweenTwoStates) {
  // Pending (revision 3): /dir/y.txt appended, /new.txt deleted, /late.txt.
  ASSERT_EQ(c_->AppendToPartFromMemory(u"/dir/y.txt", "z\n", 2, nullptr, 0), kOk);
  ASSERT_EQ(c_->DeletePart(u"/new.txt"), kOk);
  ASSERT_EQ(AddBytes(c_.get(), "/late.txt", Bytes("late\n")), kOk);
  ASSERT_EQ(c_->ListPathHistories(u"/", &histories_), kOk);
  auto text = [](const std::vector<PathHistory>& histories) {
    std::string out;
    for (const PathHistory& h : histories) {
      out += U8(h.path);
      for (const RecordMark& r : h.records) {
        out += " " + std::to_string(r.revision) + ":" + std::to_string(r.type) +
               (r.skippable ? "s" : "");
      }
      out += "\n";
    }
    return out;
  };
  const KeyInfo key = Key();
  std::vector<PathHistory> narrowed;
  std::vector<PathHistory> filtered;
  const int states[] = {0, 1, 2, 3, 4, kNewest};
  for (const char16_t* folder : {u"/", u"/dir/"}) {
    for (int from : states) {
      for (int to : states) {
        SCOPED_TRACE(U8(folder) + " " + std::to_string(from) + " " + std::to_string(to));
        ASSERT_EQ(c_->ListPathHistoriesChangedIn(folder, from, to, &narrowed), kOk);
        ASSERT_EQ(c_->Container::ListPathHistoriesChangedIn(folder, from, to, &filtered), kOk);
        EXPECT_EQ(text(narrowed), text(filtered));
        if (folder == std::u16string(u"/")) {
          EXPECT_EQ(Compare(from, to, &key, &narrowed), Compare(from, to, &key));
        }
      }
    }
  }
  // Changed only before the range, only after it, in it, deleted and
  // appended in it.
  ASSERT_EQ(c_->ListPathHistoriesChangedIn(u"/", 2, 3, &narrowed), kOk);
  EXPECT_EQ(text(narrowed), "/gone.txt 0:1 1:4 2:1\n");
  ASSERT_EQ(c_->ListPathHistoriesChangedIn(u"/", kNewest, 3, &narrowed), kOk);
  EXPECT_EQ(text(narrowed), "/dir/y.txt 1:1 3:2\n/late.txt 3:1\n/new.txt 1:1 3:4\n");
  EXPECT_EQ(c_->ListPathHistoriesChangedIn(u"/dir", 1, 2, &narrowed), kInvalidArgument);
  EXPECT_EQ(c_->ListPathHistoriesChangedIn(u"/", -1, 2, &narrowed), kInvalidArgument);
}

TEST_F(History, RestoresPartsFoldersAndDeletedParts) {
  ASSERT_EQ(c_->DeletePart(u"/a.txt"), kOk);
  ASSERT_EQ(c_->Save(kSaveIncremental, false), kOk);  // revision 4
  std::vector<RestoredPart> done;
  std::u16string failed;
  // A folder stands for the parts it held then: /dir/y.txt came later.
  ASSERT_EQ(RestoreParts(c_.get(), 1, {u"/dir", u"/a.txt", u"/same.txt", u"/dir/x.txt"}, nullptr,
                         &done, &failed),
            kOk);
  std::vector<std::string> summary;
  for (const RestoredPart& part : done) {
    summary.push_back(U8(part.path) + (part.restored ? " restored" : " unchanged"));
  }
  EXPECT_EQ(summary, (std::vector<std::string>{"/a.txt restored", "/dir/x.txt restored",
                                               "/same.txt unchanged"}));
  // The encrypted part's one-record version comes back as stored: no key.
  ASSERT_EQ(RestoreParts(c_.get(), 1, {u"/secret"}, nullptr, &done, &failed), kOk);
  ASSERT_EQ(c_->Save(kSaveIncremental, false), kOk);

  PackageLayout layout;
  ASSERT_EQ(ReadPackageLayoutFile(file_, 0, &layout), kOk);
  ASSERT_EQ(layout.entries.size(), 5u);
  std::vector<std::string> records;
  for (const RecordFacts& r : layout.entries[4].records) {
    records.push_back(std::to_string(r.type) + U8(r.path));
  }
  EXPECT_EQ(records, (std::vector<std::string>{"1/a.txt", "3/dir/x.txt", "3/secret"}));
  EXPECT_EQ(Read(c_.get(), "/a.txt", 0), "one\n");
  EXPECT_EQ(Read(c_.get(), "/dir/x.txt", 0), "x1\n");
  EXPECT_EQ(Read(c_.get(), "/dir/y.txt", 0), "y\n");
  EXPECT_EQ(Read(c_.get(), "/secret", 0, true), "s1");
  std::vector<uint8_t> stored_then;
  std::vector<uint8_t> stored_now;
  DecodeOptions raw;
  raw.code = 0;
  ASSERT_EQ(ReadContent(c_.get(), u"/secret", 1, &raw, false, &stored_then), kOk);
  ASSERT_EQ(ReadContent(c_.get(), u"/secret", 0, &raw, false, &stored_now), kOk);
  EXPECT_EQ(stored_now, stored_then);
}

TEST_F(History, RestoreOfAppendedContentEncodesItAgainAndNeedsTheKey) {
  std::vector<RestoredPart> done;
  std::u16string failed;
  ASSERT_EQ(AddSecret(c_.get(), "/secret", "s3", false), kOk);
  ASSERT_EQ(AddBytes(c_.get(), "/a.txt", Bytes("three\n")), kOk);
  EXPECT_EQ(RestoreParts(c_.get(), 2, {u"/secret"}, nullptr, &done, &failed), kSiteNoKey);
  EXPECT_EQ(failed, u"/secret");
  EXPECT_EQ(Read(c_.get(), "/secret", 0, true), "s3");  // left as it was

  const KeyInfo key = Key();
  ASSERT_EQ(RestoreParts(c_.get(), 2, {u"/secret", u"/a.txt"}, &key, &done, &failed), kOk);
  EXPECT_EQ(Read(c_.get(), "/secret", 0, true), "s1+");
  EXPECT_EQ(Read(c_.get(), "/a.txt", 0), "one\ntwo\n");
  PartInfo info;
  ASSERT_EQ(c_->GetPathInfo(&info, u"/secret", 0), kOk);
  EXPECT_EQ(info.code_count, 1);
  EXPECT_EQ(info.codes[0], kEcsAdm);

  // A path that named nothing then is refused before anything is filed.
  EXPECT_EQ(RestoreParts(c_.get(), 1, {u"/zip.txt", u"/new.txt"}, nullptr, &done, &failed),
            kNoSuchNode);
  EXPECT_EQ(failed, u"/new.txt");
  EXPECT_EQ(RestoreParts(c_.get(), 1, {u"/nothing/"}, nullptr, &done, &failed), kNoSuchNode);
}

}  // namespace
}  // namespace zoq::test
