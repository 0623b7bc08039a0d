// Creating, editing and saving packages through the Container, checked by
// reading the results back with the reader.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "zoq/codes.h"
#include "zoq/package_layout.h"
#include "package_builder.h"
#include "save_test_util.h"
#include "test_util.h"

namespace zoq::test {
namespace {

using Parts = std::map<std::string, std::vector<uint8_t>>;

std::vector<std::string> RootNames(Container* container) {
  std::vector<std::string> names;
  PathNode* root = container->GetNode(u"/");
  if (root == nullptr) return names;
  for (PathNode* child = root->FirstChild(); child != nullptr; child = root->NextChild()) {
    names.push_back(U8(child->GetName()));
  }
  return names;
}

// The layout of the package file; empty, with a failure reported, when it
// cannot be read.
PackageLayout LayoutOf(const std::string& file) {
  PackageLayout layout;
  EXPECT_EQ(ReadPackageLayoutFile(file, 0, &layout), kOk) << file;
  return layout;
}

using Records = std::vector<std::pair<std::string, int>>;

// Path and type of each record of one entry of the package file, after
// checking how many entries it has.
Records RecordsOf(const std::string& file, size_t entries, size_t entry) {
  const PackageLayout layout = LayoutOf(file);
  EXPECT_EQ(layout.entries.size(), entries);
  Records records;
  if (entry >= layout.entries.size()) return records;
  for (const RecordFacts& r : layout.entries[entry].records) {
    records.emplace_back(U8(r.path), r.type);
  }
  return records;
}

int64_t FileSize(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? st.st_size : -1;
}

// A package with three revisions: a, b created; a replaced, c appended;
// b deleted, c appended again.
std::string MakeThreeRevisions(const ScratchDir& dir) {
  const std::string file = dir.File("three.zoq");
  auto c = MakeContainer();
  EXPECT_EQ(c->CreatePackage(file, 0, 0, 4, 0), kOk);
  EXPECT_EQ(AddBytes(c.get(), "/a.txt", Bytes("a1")), kOk);
  EXPECT_EQ(AddBytes(c.get(), "/dir/b.txt", Bytes("b1"), {2}), kOk);
  EXPECT_EQ(AddBytes(c.get(), "/c.txt", Bytes("c1")), kOk);
  EXPECT_EQ(c->Save(kSaveIncremental, false), kOk);
  EXPECT_EQ(AddBytes(c.get(), "/a.txt", Bytes("a2"), {2}), kOk);
  EXPECT_EQ(c->AppendToPartFromMemory(u"/c.txt", "c2", 2, nullptr, 0), kOk);
  EXPECT_EQ(c->Save(kSaveIncremental, false), kOk);
  EXPECT_EQ(c->DeletePart(u"/dir/b.txt"), kOk);
  EXPECT_EQ(c->AppendToPartFromMemory(u"/c.txt", "c3", 2, nullptr, 0), kOk);
  EXPECT_EQ(c->Save(kSaveIncremental, false), kOk);
  return file;
}

TEST(ContainerSave, CreatedPackageSavesBitStreamFirstAndReadsBack) {
  ScratchDir dir;
  const std::string file = dir.File("new.zoq");
  for (int width : {2, 4, 8}) {
    auto c = MakeContainer();
    ASSERT_EQ(c->CreatePackage(file, 0, 0, width, 0), kOk);
    EXPECT_TRUE(c->IsModified());
    ASSERT_EQ(AddBytes(c.get(), "/Doc/main.xml", Bytes("<doc/>"), {2}), kOk);
    ASSERT_EQ(AddBytes(c.get(), "/Doc/empty.bin", {}), kOk);
    ASSERT_EQ(AddBytes(c.get(), "/readme.txt", TextLike(100000, 7), {2, 2}), kOk);
    // Pending parts already read back before the save.
    EXPECT_EQ(PartContent(c.get(), u"/Doc/main.xml"), Bytes("<doc/>"));
    const Parts before = Snapshot(c.get());
    ASSERT_EQ(c->Save(kSaveIncremental, false), kOk);
    EXPECT_FALSE(c->IsModified());
    EXPECT_EQ(Snapshot(c.get()), before);

    const PackageLayout layout = LayoutOf(file);
    EXPECT_EQ(layout.header.width, width);
    ASSERT_EQ(layout.entries.size(), 1u);
    EXPECT_LT(layout.entries[0].bitstream, layout.entries[0].offset);
    EXPECT_EQ(FileParts(file), before);
  }
}

TEST(ContainerSave, VersionFollowsDocumentVersionCode) {
  ScratchDir dir;
  auto c = MakeContainer();
  ASSERT_EQ(c->CreatePackage(dir.File("v.zoq"), 1, 257, 0, 0), kOk);
  EXPECT_EQ(c->GetContainerVersion(), 0x0100);
  ASSERT_EQ(c->CreatePackage(dir.File("v.zoq"), 1, 258, 0, 0), kOk);
  EXPECT_EQ(c->GetContainerVersion(), 0x0101);
  EXPECT_EQ(c->CreatePackage(dir.File("v.zoq"), 0, 0, 3, 0), kContainerCreateFailed);
  EXPECT_EQ(c->CreatePackage(dir.File("v.zoq"), 0, 0, 4, 1), kContainerCreateFailed);
}

TEST(ContainerSave, IncrementalSavesAddRevisionsAndKeepHistory) {
  ScratchDir dir;
  const std::string file = MakeThreeRevisions(dir);
  const PackageLayout layout = LayoutOf(file);
  ASSERT_EQ(layout.entries.size(), 3u);
  EXPECT_EQ(layout.entries[1].records[0].type, kRecordReplaced);
  EXPECT_EQ(layout.entries[1].records[1].type, kRecordAppended);
  EXPECT_EQ(layout.entries[2].records[0].type, kRecordDeleted);
  EXPECT_GT(layout.entries[2].offset, layout.entries[1].offset);

  EXPECT_EQ(FileParts(file),
            (Parts{{"/a.txt", Bytes("a2")}, {"/c.txt", Bytes("c1c2c3")}}));
  EXPECT_EQ(FileParts(file, 1),
            (Parts{{"/a.txt", Bytes("a1")}, {"/c.txt", Bytes("c1")}, {"/dir/b.txt", Bytes("b1")}}));
  EXPECT_EQ(FileParts(file, 2),
            (Parts{{"/a.txt", Bytes("a2")}, {"/c.txt", Bytes("c1c2")}, {"/dir/b.txt", Bytes("b1")}}));
}

TEST(ContainerSave, PendingChangesFollowTheRecordRules) {
  ScratchDir dir;
  const std::string file = dir.File("rules.zoq");
  auto c = SavedPackage(file, {{"/b.xml", "b"}, {"/a.xml", "a"}});
  ASSERT_TRUE(c);
  const int64_t saved_size = FileSize(file);

  // Nothing changed, or changes that cancel out: nothing written, no
  // revision added, in place or merged.
  ASSERT_EQ(c->Save(kSaveIncremental, false), kOk);
  EXPECT_EQ(FileSize(file), saved_size);
  for (bool merge : {false, true}) {
    ASSERT_EQ(AddBytes(c.get(), "/zz", Bytes("z")), kOk);
    ASSERT_EQ(c->DeletePart(u"/zz"), kOk);
    ASSERT_EQ(c->Save(kSaveIncremental, merge), kOk);
    EXPECT_EQ(FileSize(file), saved_size);
    EXPECT_EQ(c->GetRevisionCount(), 1);
    EXPECT_FALSE(c->IsModified());
  }

  // Replacing a missing path creates it; adding and deleting before a save
  // leaves no trace; adding twice keeps the second in the first's place.
  ASSERT_EQ(c->ReplacePartFromMemory(u"/new.txt", "n", 1, nullptr, 0, false), kOk);
  ASSERT_EQ(AddBytes(c.get(), "/gone.txt", Bytes("g")), kOk);
  ASSERT_EQ(c->DeletePart(u"/gone.txt"), kOk);
  EXPECT_EQ(c->GetPathKind(u"/gone.txt"), kPathNotFound);
  ASSERT_EQ(AddBytes(c.get(), "/twice.txt", Bytes("first")), kOk);
  ASSERT_EQ(AddBytes(c.get(), "/z.txt", Bytes("z")), kOk);
  ASSERT_EQ(AddBytes(c.get(), "/twice.txt", Bytes("second")), kOk);
  ASSERT_EQ(c->DeletePart(u"/a.xml"), kOk);
  EXPECT_EQ(RootNames(c.get()), (std::vector<std::string>{"b.xml", "new.txt", "twice.txt", "z.txt"}));
  ASSERT_EQ(c->Save(kSaveIncremental, false), kOk);

  // Records are stored in the order they were made; a new open orders the
  // tree by that.
  EXPECT_EQ(RecordsOf(file, 2, 1), (Records{{"/new.txt", kRecordCreated},
                                           {"/z.txt", kRecordCreated},
                                           {"/twice.txt", kRecordCreated},
                                           {"/a.xml", kRecordDeleted}}));
  auto reopened = MakeContainer();
  ASSERT_EQ(reopened->OpenFile(file, true), kOk);
  EXPECT_EQ(RootNames(reopened.get()),
            (std::vector<std::string>{"b.xml", "new.txt", "z.txt", "twice.txt"}));
  EXPECT_EQ(PartContent(reopened.get(), u"/twice.txt"), Bytes("second"));
}

// Loaded paths take edits like new ones: a deleted part created again, a
// list growing past what was loaded, a new path dropped and added again,
// and enough new paths to outgrow the index sized at opening.
TEST(ContainerSave, EditsOfALoadedPackageSaveAndReadBack) {
  ScratchDir dir;
  const std::string file = MakeThreeRevisions(dir);
  auto c = MakeContainer();
  ASSERT_EQ(c->OpenFile(file, false), kOk);
  Parts expected{{"/a.txt", Bytes("a2")}, {"/dir/b.txt", Bytes("b2")}, {"/c.txt", Bytes("c1c2c3c4")},
                 {"/n.txt", Bytes("n2")}};
  ASSERT_EQ(AddBytes(c.get(), "/dir/b.txt", Bytes("b2")), kOk);
  ASSERT_EQ(c->AppendToPartFromMemory(u"/c.txt", "c4", 2, nullptr, 0), kOk);
  ASSERT_EQ(AddBytes(c.get(), "/n.txt", Bytes("n1")), kOk);
  ASSERT_EQ(c->DeletePart(u"/n.txt"), kOk);
  EXPECT_EQ(c->GetPathKind(u"/n.txt"), kPathNotFound);
  ASSERT_EQ(AddBytes(c.get(), "/n.txt", Bytes("n2")), kOk);
  for (int i = 0; i < 200; ++i) {
    const std::string path = "/many/p" + std::to_string(i);
    ASSERT_EQ(AddBytes(c.get(), path, Bytes(path)), kOk);
    expected[path] = Bytes(path);
  }
  EXPECT_EQ(c->GetPathKind(u"\\dir\\b.txt"), kPathPart);
  EXPECT_EQ(c->GetPathKind(u"/DIR/b.txt"), kPathNotFound);
  EXPECT_EQ(Snapshot(c.get()), expected);
  ASSERT_EQ(c->Save(kSaveIncremental, false), kOk);
  ASSERT_EQ(c->SaveAs(dir.File("compact.zoq"), kSaveCompact, false), kOk);

  for (const std::string& saved : {file, dir.File("compact.zoq")}) {
    EXPECT_EQ(FileParts(saved), expected) << saved;
  }
  auto reopened = MakeContainer();
  ASSERT_EQ(reopened->OpenFile(file, true), kOk);
  PartInfo info;
  ASSERT_EQ(reopened->GetPartInfoByPath(&info, u"/dir/b.txt", 0), kOk);
  EXPECT_EQ(info.revisions, (std::vector<int>{3, 2, 0}));
  ASSERT_EQ(reopened->GetPartInfoByPath(&info, u"/c.txt", 0), kOk);
  EXPECT_EQ(info.revisions, (std::vector<int>{3, 2, 1, 0}));
  std::vector<std::u16string> listed;
  ASSERT_EQ(reopened->ListParts(u"/many/", &listed), kOk);
  EXPECT_EQ(listed.size(), 200u);
}

TEST(ContainerSave, DeletingRemovesEmptyFoldersFromTheTree) {
  auto c = MakeContainer();
  ASSERT_EQ(c->CreatePackage("", 0, 0, 4, 0), kOk);
  ASSERT_EQ(AddBytes(c.get(), "/x/y/z.txt", Bytes("z")), kOk);
  ASSERT_EQ(AddBytes(c.get(), "/x/keep.txt", Bytes("k")), kOk);
  ASSERT_EQ(c->Save(kSaveIncremental, false), kOk);
  ASSERT_EQ(c->DeletePart(u"/x/y/z.txt"), kOk);
  EXPECT_EQ(c->GetPathKind(u"/x/y/"), kPathNotFound);
  EXPECT_EQ(c->GetPathKind(u"/x/"), kPathFolder);
  EXPECT_EQ(c->DeletePart(u"/missing"), kOk);
  // A folder where a part should go cannot take it.
  EXPECT_EQ(AddBytes(c.get(), "/x", Bytes("p")), kAddNodeFailed);
}

TEST(ContainerSave, OrderAnchorPlacesNewPartsAfterIt) {
  auto c = MakeContainer();
  ASSERT_EQ(c->CreatePackage("", 0, 0, 4, 0), kOk);
  ASSERT_EQ(AddBytes(c.get(), "/b.xml", Bytes("b")), kOk);
  ASSERT_EQ(AddBytes(c.get(), "/a.xml", Bytes("a")), kOk);
  ASSERT_EQ(c->SetOrderAnchor(u"/b.xml"), kOk);
  ASSERT_EQ(AddBytes(c.get(), "/c.xml", Bytes("c")), kOk);
  ASSERT_EQ(AddBytes(c.get(), "/d.xml", Bytes("d")), kOk);
  c->ClearOrderAnchor();
  EXPECT_EQ(RootNames(c.get()), (std::vector<std::string>{"b.xml", "c.xml", "d.xml", "a.xml"}));
}

TEST(ContainerSave, ReadOnlyPackageSavesOnlyElsewhere) {
  ScratchDir dir;
  const std::string file = MakeThreeRevisions(dir);
  auto c = MakeContainer();
  ASSERT_EQ(c->OpenFile(file, true), kOk);
  ASSERT_EQ(AddBytes(c.get(), "/more.txt", Bytes("m")), kOk);
  EXPECT_EQ(c->Save(kSaveIncremental, false), kReadOnlyPackage);
  EXPECT_EQ(c->SaveAs(file, kSaveIncremental, false), kReadOnlyPackage);
  const std::string copy = dir.File("copy.zoq");
  ASSERT_EQ(c->SaveAs(copy, kSaveIncremental, false), kOk);
  Parts parts = FileParts(copy);
  EXPECT_EQ(parts["/more.txt"], Bytes("m"));
  EXPECT_EQ(parts.size(), 3u);
  EXPECT_EQ(LayoutOf(copy).entries.size(), 4u);
  EXPECT_EQ(LayoutOf(file).entries.size(), 3u);
  EXPECT_EQ(c->SaveAs("", kSaveIncremental, false), 10051196);
}

TEST(ContainerSave, CompactOfThreeRevisionsKeepsNewestContent) {
  ScratchDir dir;
  const std::string file = MakeThreeRevisions(dir);
  chmod(file.c_str(), 0640);
  const Parts newest = FileParts(file);
  auto c = MakeContainer();
  ASSERT_EQ(c->OpenFile(file, false), kOk);
  ASSERT_EQ(c->Save(kSaveCompact, false), kOk);
  EXPECT_EQ(c->GetRevisionCount(), 1);
  EXPECT_EQ(Snapshot(c.get()), newest);
  EXPECT_EQ(LayoutOf(file).header.entry_count, 1);
  // a (created); c: created then two appends.
  EXPECT_EQ(RecordsOf(file, 1, 0), (Records{{"/a.txt", kRecordCreated},
                                           {"/c.txt", kRecordCreated},
                                           {"/c.txt", kRecordAppended},
                                           {"/c.txt", kRecordAppended}}));
  EXPECT_EQ(FileParts(file), newest);
  struct stat st;
  ASSERT_EQ(stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  // No leftovers beside the package.
  EXPECT_EQ(FileSize(dir.File("three.zoq")), st.st_size);
}

TEST(ContainerSave, CompactLeavesOutPartsEndedByAnEmptyRecord) {
  ScratchDir dir;
  const std::string file = dir.File("empty-record.zoq");
  std::vector<TestEntry> entries(2);
  entries[0].records = {{kRecordCreated, "/a", Bytes("a"), {}, false},
                        {kRecordCreated, "/b", Bytes("b"), {}, false}};
  entries[1].records = {{kRecordNone, "/b", {}, {}, false}};
  WriteFileBytes(file, BuildPackage(entries).bytes);
  auto c = MakeContainer();
  ASSERT_EQ(c->OpenFile(file, false), kOk);
  ASSERT_EQ(c->Save(kSaveCompact, false), kOk);
  EXPECT_EQ(FileParts(file), (Parts{{"/a", Bytes("a")}}));
}

TEST(ContainerSave, CompactPutsSkippableAppendsAfterOtherParts) {
  ScratchDir dir;
  const std::string file = dir.File("skip.zoq");
  auto c = SavedPackage(file, {{"/a", "a1"}, {"/b", "b1"}});
  ASSERT_TRUE(c);
  ASSERT_EQ(AddBytes(c.get(), "/a", Bytes("A"), {}, false), kOk);
  ASSERT_EQ(c->Save(kSaveIncremental, false), kOk);
  ASSERT_EQ(AddBytes(c.get(), "/s", Bytes("s1"), {}, true), kOk);
  ASSERT_EQ(c->Save(kSaveIncremental, false), kOk);
  EXPECT_TRUE(c->IsPartSkippable(u"/s"));
  ASSERT_EQ(c->Save(kSaveCompact, false), kOk);
  const PackageLayout layout = LayoutOf(file);
  ASSERT_EQ(layout.entries.size(), 1u);
  std::vector<std::string> paths;
  for (const RecordFacts& r : layout.entries[0].records) paths.push_back(U8(r.path));
  ASSERT_EQ(paths, (std::vector<std::string>{"/a", "/b", "/s"}));
  EXPECT_TRUE(layout.entries[0].records[2].skippable);
}

TEST(ContainerSave, MergeFoldsTheWorkingRevisionIntoThePreviousOne) {
  ScratchDir dir;
  const std::string file = MakeThreeRevisions(dir);
  auto c = MakeContainer();
  ASSERT_EQ(c->OpenFile(file, false), kOk);
  // Rows of the merge table against revision 2 (b deleted, c appended):
  // /c.txt appended again (P followed by L); /dir/b.txt created again
  // (P began with a deletion: stays a creation); /new created then
  // deleted within the merged pair leaves nothing.
  ASSERT_EQ(c->AppendToPartFromMemory(u"/c.txt", "c4", 2, nullptr, 0), kOk);
  ASSERT_EQ(AddBytes(c.get(), "/dir/b.txt", Bytes("b2")), kOk);
  ASSERT_EQ(c->Save(kSaveIncremental, true), kOk);
  EXPECT_EQ(c->GetRevisionCount(), 3);
  EXPECT_EQ(RecordsOf(file, 3, 2), (Records{{"/dir/b.txt", kRecordCreated},
                                           {"/c.txt", kRecordAppended},
                                           {"/c.txt", kRecordAppended}}));
  EXPECT_EQ(FileParts(file),
            (Parts{{"/a.txt", Bytes("a2")}, {"/c.txt", Bytes("c1c2c3c4")}, {"/dir/b.txt", Bytes("b2")}}));
  EXPECT_EQ(FileParts(file, 2),
            (Parts{{"/a.txt", Bytes("a2")}, {"/c.txt", Bytes("c1c2")}, {"/dir/b.txt", Bytes("b1")}}));

  // A creation in the previous revision followed by a deletion: both go.
  ASSERT_EQ(AddBytes(c.get(), "/tmp.txt", Bytes("t")), kOk);
  ASSERT_EQ(c->Save(kSaveIncremental, false), kOk);
  ASSERT_EQ(c->DeletePart(u"/tmp.txt"), kOk);
  ASSERT_EQ(AddBytes(c.get(), "/a.txt", Bytes("a3")), kOk);
  ASSERT_EQ(c->Save(kSaveIncremental, true), kOk);
  EXPECT_EQ(RecordsOf(file, 4, 3), (Records{{"/a.txt", kRecordReplaced}}));
}

TEST(ContainerSave, WritersOfOneFileNeverOverwriteEachOther) {
  ScratchDir dir;
  const std::string file = MakeThreeRevisions(dir);
  auto first = MakeContainer();
  auto second = MakeContainer();
  auto third = MakeContainer();
  ASSERT_EQ(first->OpenFile(file, false), kOk);
  ASSERT_EQ(second->OpenFile(file, false), kOk);
  ASSERT_EQ(third->OpenFile(file, false), kOk);
  ASSERT_EQ(AddBytes(first.get(), "/one.txt", Bytes("1")), kOk);
  ASSERT_EQ(AddBytes(second.get(), "/two.txt", Bytes("2")), kOk);
  ASSERT_EQ(first->Save(kSaveIncremental, false), kOk);
  EXPECT_EQ(second->Save(kSaveIncremental, false), kPackageChanged);
  EXPECT_EQ(second->Save(kSaveCompact, false), kPackageChanged);
  EXPECT_EQ(second->Save(kSaveIncremental, true), kPackageChanged);
  Parts parts = FileParts(file);
  EXPECT_EQ(parts.count("/one.txt"), 1u);
  EXPECT_EQ(parts.count("/two.txt"), 0u);
  // The refused changes are still there to be saved elsewhere.
  ASSERT_EQ(second->SaveAs(dir.File("other.zoq"), kSaveIncremental, false), kOk);
  parts = FileParts(dir.File("other.zoq"));
  EXPECT_EQ(parts.count("/two.txt"), 1u);

  // A writer that still holds a file that was replaced notices it.
  ASSERT_EQ(first->Save(kSaveCompact, false), kOk);
  ASSERT_EQ(AddBytes(third.get(), "/three.txt", Bytes("3")), kOk);
  EXPECT_EQ(third->Save(kSaveIncremental, false), kPackageChanged);
  EXPECT_EQ(FileParts(file).count("/one.txt"), 1u);

  // Another program holding the package makes a save wait, then give up
  // with a code of its own, writing nothing.
  ContainerOptions options;
  options.resource_dir = std::string(ZOQ_TEST_DATA_DIR);
  options.lock_wait_ms = 50;
  Container* raw = nullptr;
  ASSERT_EQ(CreateContainer(&options, &raw), kOk);
  std::unique_ptr<Container> fourth(raw);
  ASSERT_EQ(fourth->OpenFile(file, false), kOk);
  ASSERT_EQ(AddBytes(fourth.get(), "/four.txt", Bytes("4")), kOk);
  const int64_t size = FileSize(file);
  const int holder = open(file.c_str(), O_RDONLY);
  ASSERT_EQ(flock(holder, LOCK_EX), 0);
  EXPECT_EQ(fourth->Save(kSaveIncremental, false), kPackageLocked);
  EXPECT_EQ(FileSize(file), size);
  close(holder);
  ASSERT_EQ(fourth->Save(kSaveIncremental, false), kOk);
  EXPECT_EQ(FileParts(file).count("/four.txt"), 1u);
}

// 2-byte offsets address 64 KiB: what goes beyond is refused before
// anything is written, and a compact save with wider offsets makes room.
TEST(ContainerSave, OffsetWidthIsCheckedBeforeWriting) {
  ScratchDir dir;
  const std::string file = dir.File("narrow.zoq");
  const std::vector<uint8_t> big = TextLike(100000, 2);
  {
    auto c = MakeContainer();
    ASSERT_EQ(c->CreatePackage(file, 0, 0, 2, 0), kOk);
    const int64_t created = FileSize(file);
    EXPECT_EQ(AddBytes(c.get(), "/big.bin", big), kOffsetWidthTooSmall);
    EXPECT_EQ(FileSize(file), created);
    ASSERT_EQ(AddBytes(c.get(), "/a.txt", Bytes("a")), kOk);
    ASSERT_EQ(c->Save(kSaveIncremental, false), kOk);
  }
  const std::vector<uint8_t> saved = ReadFileBytes(file);
  auto c = MakeContainer();
  ASSERT_EQ(c->OpenFile(file, false), kOk);
  ASSERT_EQ(AddBytes(c.get(), "/big.bin", big), kOk);
  EXPECT_EQ(c->Save(kSaveIncremental, false), kOffsetWidthTooSmall);
  EXPECT_EQ(ReadFileBytes(file), saved);
  EXPECT_EQ(c->SaveCompactWithWidth("", 3), kInvalidArgument);
  EXPECT_EQ(c->SaveCompactWithWidth(dir.File("copy.zoq"), 2), kOffsetWidthTooSmall);
  EXPECT_EQ(FileSize(dir.File("copy.zoq")), -1);
  ASSERT_EQ(c->SaveCompactWithWidth("", 4), kOk);
  EXPECT_EQ(LayoutOf(file).header.width, 4);
  EXPECT_EQ(FileParts(file), (Parts{{"/a.txt", Bytes("a")}, {"/big.bin", big}}));
}

// A part cannot stand below another part, nor where a folder is: every way
// of adding refuses it before anything changes.
TEST(ContainerSave, APartBelowAPartIsRefused) {
  for (bool no_tree : {false, true}) {
    ScratchDir dir;
    const std::string source = dir.File("source.txt");
    std::ofstream(source) << "b";
    auto c = MakeContainer(false, no_tree);
    ASSERT_EQ(c->CreatePackage(dir.File("p.zoq"), 0, 0, 4, 0), kOk);
    ASSERT_EQ(AddBytes(c.get(), "/a.txt", Bytes("a")), kOk);
    ASSERT_EQ(AddBytes(c.get(), "/d/e.txt", Bytes("e")), kOk);
    ASSERT_EQ(c->Save(kSaveIncremental, false), kOk);
    EXPECT_EQ(AddBytes(c.get(), "/a.txt/b", Bytes("b")), kAddNodeFailed);
    EXPECT_EQ(c->ReplacePartFromMemory(u"/a.txt/x/y", "y", 1, nullptr, 0, false),
              kAddNodeFailed);
    EXPECT_EQ(c->AppendToPartFromFile(u"/a.txt/b", source, nullptr, 0), kAddNodeFailed);
    EXPECT_EQ(AddBytes(c.get(), "/d", Bytes("d")), kAddNodeFailed);
    std::unique_ptr<EncodedPart> part;
    ASSERT_EQ(c->EncodePartFromFile(source, nullptr, 0, &part), kOk);
    EXPECT_EQ(c->AddEncodedPart(u"/a.txt/b", part.get(), false, false), kAddNodeFailed);
    EXPECT_FALSE(c->IsModified());
    // A part waiting to be saved counts too; a deleted one does not.
    ASSERT_EQ(AddBytes(c.get(), "/n.txt", Bytes("n")), kOk);
    EXPECT_EQ(AddBytes(c.get(), "/n.txt/b", Bytes("b")), kAddNodeFailed);
    ASSERT_EQ(c->DeletePart(u"/a.txt"), kOk);
    EXPECT_EQ(c->AddEncodedPart(u"/a.txt/b", part.get(), false, false), kOk);
  }
}

TEST(ContainerSave, EncryptedAndReencodedPartsRoundTrip) {
  ScratchDir dir;
  const std::string file = dir.File("enc.zoq");
  auto c = MakeContainer();
  ASSERT_EQ(c->CreatePackage(file, 0, 0, 4, 0), kOk);
  EcsCodeArg codes[3];
  codes[0].code = kEcsZip;
  codes[1].code = kEcsAdm;
  codes[1].key = &kTestKey;
  codes[2].code = kEcsEnd;
  const std::vector<uint8_t> secret = TextLike(200000, 3);
  ASSERT_EQ(c->AddPartFromMemory(u"/secret.txt", secret.data(), secret.size(), codes, 3, false),
            kOk);
  ASSERT_EQ(AddBytes(c.get(), "/plain.txt", TextLike(5000, 4)), kOk);
  EXPECT_EQ(c->AddPartFromMemory(u"/x", "x", 1, codes + 1, 1, false), kOk);
  EcsCodeArg no_key;
  no_key.code = kEcsAdm;
  EXPECT_EQ(c->AddPartFromMemory(u"/y", "y", 1, &no_key, 1, false), kSiteNoKey);
  EcsCodeArg bad;
  bad.code = 3;
  EXPECT_EQ(c->AddPartFromMemory(u"/y", "y", 1, &bad, 1, false), kSiteBadAddCodes);
  ASSERT_EQ(c->Save(kSaveIncremental, false), kOk);
  ASSERT_EQ(c->AddPartEncoding(u"/plain.txt", codes, 1), kOk);
  ASSERT_EQ(c->Save(kSaveIncremental, false), kOk);

  auto r = MakeContainer();
  ASSERT_EQ(r->OpenFile(file, true), kOk);
  DecodeOptions options;
  options.key = &kTestKey;
  EXPECT_EQ(PartContent(r.get(), u"/secret.txt", 0, &options), secret);
  EXPECT_EQ(PartContent(r.get(), u"/plain.txt"), TextLike(5000, 4));
  PartInfo info;
  ASSERT_EQ(r->GetPartInfoByPath(&info, u"/plain.txt", 0), kOk);
  EXPECT_EQ(info.code_count, 1);
  EXPECT_EQ(info.codes[0], kEcsZip);
  EXPECT_LT(info.size, 5000);
  ASSERT_EQ(r->GetPartInfoByPath(&info, u"/secret.txt", 0), kOk);
  EXPECT_EQ(info.code_count, 2);
  EXPECT_EQ(r->VerifyChecks(true), kOk);
}

TEST(ContainerSave, PackagesWithoutTemporaryDirectoryLiveInMemory) {
  auto c = MakeContainer(/*no_temp_dir=*/true);
  ASSERT_EQ(c->CreatePackage("", 0, 0, 2, 0), kOk);
  ASSERT_EQ(AddBytes(c.get(), "/m.txt", Bytes("memory")), kOk);
  ASSERT_EQ(c->Save(kSaveIncremental, false), kOk);
  ASSERT_EQ(AddBytes(c.get(), "/n.txt", Bytes("more"), {2}), kOk);
  ASSERT_EQ(c->Save(kSaveIncremental, false), kOk);
  ASSERT_EQ(c->Save(kSaveCompact, false), kOk);
  EXPECT_EQ(c->GetRevisionCount(), 1);
  EXPECT_EQ(Snapshot(c.get()), (Parts{{"/m.txt", Bytes("memory")}, {"/n.txt", Bytes("more")}}));
  int64_t length = 0;
  ASSERT_EQ(c->ReadRawPackage(nullptr, &length), kOk);
  std::vector<uint8_t> raw(length);
  ASSERT_EQ(c->ReadRawPackage(raw.data(), &length), kOk);
  auto r = MakeContainer();
  ASSERT_EQ(r->OpenMemory(raw.data(), length, 0), kOk);
  EXPECT_EQ(Snapshot(r.get()), (Parts{{"/m.txt", Bytes("memory")}, {"/n.txt", Bytes("more")}}));
}

TEST(ContainerSave, EditingNeedsAnOpenPackage) {
  auto c = MakeContainer();
  EXPECT_EQ(AddBytes(c.get(), "/a", Bytes("a")), kSiteNoPackageOpen);
  EXPECT_EQ(c->Save(kSaveIncremental, false), kSiteNoPackageOpen);
  ASSERT_EQ(c->CreatePackage("", 0, 0, 4, 0), kOk);
  EXPECT_EQ(c->AddPartFromMemory(u"/a", nullptr, 3, nullptr, 0, false), kBadAddArguments);
  EXPECT_EQ(c->AddPartFromFile(u"/a", "/nonexistent/file", nullptr, 0, false), kAddSourceFailed);
  EXPECT_EQ(c->AddPartFromStream(u"/a", nullptr, nullptr, 0, false), 10052023);
  EXPECT_EQ(AddBytes(c.get(), "/a?b", Bytes("a")), kIllegalPath);
}

}  // namespace
}  // namespace zoq::test
