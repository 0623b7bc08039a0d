// The Container over hand-built packages: creation, opening, the model,
// part information, content, decoded copies and the repaired behaviours.
#include "zoq/container.h"

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include <gtest/gtest.h>

#include "package_builder.h"
#include "test_util.h"

namespace zoq::test {
namespace {

std::vector<uint8_t> Bytes(const std::string& text) {
  return std::vector<uint8_t>(text.begin(), text.end());
}

TestRecord Rec(int type, const std::string& path, const std::string& data = "",
               std::vector<uint8_t> codes = {}) {
  TestRecord r;
  r.type = type;
  r.path = path;
  r.data = Bytes(data);
  r.codes = std::move(codes);
  return r;
}

bool Exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

std::string Content(Container* c, const std::u16string& path, int limit = 0, int code = 255,
                    int* result = nullptr) {
  DecodeOptions options{code, nullptr};
  std::vector<uint8_t> bytes;
  int rc = ReadContent(c, path, limit, &options, false, &bytes);
  if (result) *result = rc;
  return std::string(bytes.begin(), bytes.end());
}

// The result of reading a part's content at the package's revision,
// decoded up to `code`.
int ReadCode(Container* c, const std::u16string& path, int code) {
  int result = 0;
  Content(c, path, 0, code, &result);
  return result;
}

class ContainerTest : public ::testing::Test {
 protected:
  void Open(const BuiltPackage& built, int limit = 0) {
    package_ = built.bytes;
    container_ = MakeContainer();
    ASSERT_NE(container_, nullptr);
    ASSERT_EQ(container_->OpenMemory(package_.data(), package_.size(), limit), kOk);
  }
  std::vector<uint8_t> package_;
  std::unique_ptr<Container> container_;
};

TEST(CreateContainerTest, ChecksOptions) {
  Container* c = nullptr;
  EXPECT_EQ(CreateContainer(nullptr, &c), kInvalidArgument);
  ContainerOptions options;
  options.no_temp_dir = true;
  EXPECT_EQ(CreateContainer(&options, &c), kSiteNoResourceDir);
  options.resource_dir = "";
  EXPECT_EQ(CreateContainer(&options, &c), kInvalidArgument);
  options.resource_dir = "/nonexistent-is-fine";
  options.table_compression = 4;
  EXPECT_EQ(CreateContainer(&options, &c), kSiteBadTableFlags);
  EXPECT_EQ(c, nullptr);
}

TEST(CreateContainerTest, TemporaryDirectoryLivesWithTheObject) {
  char base_template[] = "/tmp/zoq-test-XXXXXX";
  ASSERT_NE(mkdtemp(base_template), nullptr);
  const std::string base = base_template;
  ContainerOptions options;
  options.resource_dir = base;
  options.temp_base_dir = base + "/made/by/nobody";  // cannot be made: falls back
  Container* c = nullptr;
  ASSERT_EQ(CreateContainer(&options, &c), kOk);
  delete c;
  options.temp_base_dir = base + "/";
  ASSERT_EQ(CreateContainer(&options, &c), kOk);
  std::unique_ptr<Container> container(c);
  auto built = BuildPackage({{{Rec(1, "/a.txt", "alpha")}}});
  ASSERT_EQ(container->OpenMemory(built.bytes.data(), built.bytes.size(), 0), kOk);
  std::string extracted;
  ASSERT_EQ(container->ExtractPart(u"/a.txt", &extracted, 0, nullptr), kOk);
  EXPECT_EQ(extracted.rfind(base + "/~ZOQPAC", 0), 0u) << extracted;
  EXPECT_NE(extracted.find("/~~ZOQ"), std::string::npos);
  const std::string dir = extracted.substr(0, extracted.rfind('/'));
  struct stat st;
  ASSERT_EQ(stat(dir.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  container.reset();
  EXPECT_FALSE(Exists(dir));
  rmdir(base.c_str());
}

TEST_F(ContainerTest, FailedOpenLeavesTheObjectClosed) {
  Open(BuildPackage({{{Rec(1, "/a.txt", "alpha")}}}));
  std::vector<uint8_t> junk = Bytes("@ZOR and more bytes than a header");
  EXPECT_EQ(container_->OpenMemory(junk.data(), junk.size(), 0), kBadHeaderMagic);
  EXPECT_EQ(container_->GetRevisionCount(), 0);
  EXPECT_EQ(container_->GetNode(u"/"), nullptr);
  EXPECT_EQ(container_->GetPathKind(u"/a.txt"), kPathNotFound);
  EXPECT_EQ(container_->OpenFile("/nonexistent/package.zoq", true), kSourceOpenFailed);
  EXPECT_EQ(container_->OpenMemory(nullptr, 10, 0), kInvalidArgument);
  EXPECT_EQ(container_->OpenMemory(junk.data(), 0, 0), kInvalidArgument);
}

TEST_F(ContainerTest, EntryChainThatLoopsFails) {
  auto built = BuildPackage({{{Rec(1, "/a", "1")}}, {{Rec(3, "/a", "2")}}});
  // Header count 3; the second entry's next-entry field points back to the first.
  PutLittle(&built.bytes, 16, 3, 4);
  PutLittle(&built.bytes, built.entry_offsets[1] + 12, built.entry_offsets[0], 4);
  container_ = MakeContainer();
  EXPECT_EQ(container_->OpenMemory(built.bytes.data(), built.bytes.size(), 0), kBadNextEntry);
  // A limit that stops before the loop opens fine.
  EXPECT_EQ(container_->OpenMemory(built.bytes.data(), built.bytes.size(), 2), kOk);
  EXPECT_EQ(Content(container_.get(), u"/a"), "2");
}

TEST_F(ContainerTest, RevisionLimitsAndHistory) {
  const BuiltPackage built = BuildPackage({{{Rec(1, "/a", "one"), Rec(1, "/gone", "g")}},
                                          {{Rec(2, "/a", "+two"), Rec(4, "/gone")}},
                                          {{Rec(3, "/a", "three"), Rec(1, "/new", "n")}}});
  Open(built);
  EXPECT_EQ(container_->GetRevisionCount(), 3);
  EXPECT_EQ(Content(container_.get(), u"/a"), "three");
  EXPECT_EQ(Content(container_.get(), u"/a", 2), "one+two");
  EXPECT_EQ(Content(container_.get(), u"/a", 1), "one");
  // A deletion at or above the limit did not happen yet.
  EXPECT_EQ(Content(container_.get(), u"/gone", 1), "g");
  int code = 0;
  Content(container_.get(), u"/gone", 2, 255, &code);
  EXPECT_EQ(code, kStoredDataProblem);
  Content(container_.get(), u"/new", 2, 255, &code);
  EXPECT_EQ(code, kStoredDataProblem);
  EXPECT_EQ(container_->GetPathKind(u"/gone"), kPathNotFound);

  PartInfo info;
  ASSERT_EQ(container_->GetPartInfoByPath(&info, u"/a", 0), kOk);
  EXPECT_EQ(info.revisions, (std::vector<int>{2, 1, 0}));
  EXPECT_EQ(info.size, 5);
  EXPECT_EQ(info.total_size, 3 + 4 + 5);
  EXPECT_FALSE(info.deleted);
  ASSERT_EQ(container_->GetPartInfoByPath(&info, u"/gone", 0), kNoSuchNode);
  // The deleted part is still listed among the recorded ones, in stored
  // order, and answers for a node of the caller's that names it.
  std::vector<std::u16string> recorded;
  ASSERT_EQ(container_->ListRecordedParts(&recorded), kOk);
  EXPECT_EQ(recorded, (std::vector<std::u16string>{u"/a", u"/gone", u"/new"}));
  struct Named : PathNode {
    std::u16string GetName() const override { return u"gone"; }
    bool HasChildren() const override { return false; }
    bool IsRoot() const override { return false; }
    bool IsFolder() const override { return false; }
    PathNode* GetParent() const override { return nullptr; }
    PathNode* FirstChild() override { return nullptr; }
    PathNode* NextChild() override { return nullptr; }
    PathNode* FindChild(const std::u16string&) override { return nullptr; }
    zoq::Status AddPartChild(const std::u16string&, PathNode**) override { return kNotSupported; }
    zoq::Status AddFolderChild(const std::u16string&, PathNode**) override { return kNotSupported; }
    zoq::Status RemoveChild(const std::u16string&) override { return kNotSupported; }
    std::u16string GetPath() const override { return u"/gone"; }
    std::vector<PathNode*> Children() const override { return {}; }
  } gone;
  ASSERT_EQ(container_->GetPartInfo(&info, &gone, 0), kOk);
  EXPECT_TRUE(info.deleted);
  EXPECT_EQ(info.revisions, (std::vector<int>{1, 0}));
  ASSERT_EQ(container_->GetPartInfo(&info, &gone, 1), kOk);
  EXPECT_FALSE(info.deleted);
  EXPECT_EQ(info.size, 1);

  // The same package opened at limit 5.
  Open(built, 5);
  EXPECT_EQ(container_->GetRevisionCount(), 3);  // a limit above the count reads all
}

TEST_F(ContainerTest, DeletedFlagFollowsTheNewestRecordAtTheLimit) {
  Open(BuildPackage({{{Rec(1, "/p", "v1"), Rec(1, "/keep", "k")}},
                     {{Rec(4, "/p")}},
                     {{Rec(1, "/p", "v3")}}}));
  auto* root = container_->GetNode(u"/");
  ASSERT_NE(root, nullptr);
  PathNode* node = container_->GetNode(u"/p");
  ASSERT_NE(node, nullptr);
  PartInfo info;
  ASSERT_EQ(container_->GetPartInfo(&info, node, 2), kOk);
  EXPECT_TRUE(info.deleted);
  EXPECT_EQ(info.size, 2);
  ASSERT_EQ(container_->GetPartInfo(&info, node, 0), kOk);
  EXPECT_FALSE(info.deleted);
  EXPECT_EQ(info.revisions, (std::vector<int>{2, 1, 0}));
  // A re-created part keeps its first-stored place.
  auto children = root->Children();
  ASSERT_EQ(children.size(), 2u);
  EXPECT_EQ(children[0]->GetName(), u"p");
}

TEST_F(ContainerTest, UnreadableDataRecordsFailTheRead) {
  auto eight = Rec(1, "/eight", "x", {2, 2, 2, 2, 2, 2, 2, 2});
  auto zero = Rec(1, "/zero", "x", {0});
  auto seven = Rec(1, "/seven", "", {2, 2, 2, 2, 2, 2, 2});
  auto offset_zero = Rec(1, "/offset0", "data");
  auto past_end = Rec(1, "/past", "data");
  auto built = BuildPackage({{{eight, zero, seven, offset_zero, past_end}}});
  std::vector<uint8_t> bytes = built.bytes;
  // The fifth record claims 1000 stored bytes; the fourth gets data offset 0.
  PutLittle(&bytes, built.record_starts[0][4] + 1, 1000, 4);
  const int64_t entry = built.entry_offsets[0];
  uint32_t name_length = 0;
  for (int i = 3; i >= 0; --i) name_length = (name_length << 8) | bytes[entry + 33 + i];
  const int64_t item_list = entry + 37 + name_length;
  PutLittle(&bytes, item_list + 3 * 21 + 1, 0, 4);
  FixDigest(&bytes, entry, 4);
  built.bytes = bytes;
  Open(built);

  int code = 0;
  EXPECT_EQ(ReadCode(container_.get(), u"/eight", 255), kSiteTooManyCodes);
  EXPECT_EQ(ReadCode(container_.get(), u"/zero", 255), kSiteZeroCode);
  EXPECT_EQ(Content(container_.get(), u"/seven", 0, 255, &code), "");
  EXPECT_EQ(code, kOk);
  EXPECT_EQ(ReadCode(container_.get(), u"/offset0", 0), kBitStreamReadFailed);
  EXPECT_EQ(ReadCode(container_.get(), u"/past", 0), kBitStreamReadFailed);
  PartInfo info;
  EXPECT_EQ(container_->GetPartInfoByPath(&info, u"/past", 0), kBitStreamReadFailed);
  EXPECT_EQ(container_->VerifyChecks(false), kBitStreamReadFailed);
}

TEST_F(ContainerTest, CodesDecideHowFarContentIsDecoded) {
  Open(BuildPackage({{{Rec(1, "/unknown", "raw", {7}), Rec(1, "/secret", "xx", {128}),
                       Rec(1, "/sxc", "xx", {1}), Rec(1, "/plain", "text")}},
                     {{Rec(2, "/plain", "+more", {})}}}));
  int code = 0;
  EXPECT_EQ(ReadCode(container_.get(), u"/unknown", 255), kDecodeFailed);
  EXPECT_EQ(Content(container_.get(), u"/unknown", 0, 0, &code), "raw");
  EXPECT_EQ(Content(container_.get(), u"/unknown", 0, 7, &code), "raw");
  EXPECT_EQ(code, kOk);
  EXPECT_EQ(ReadCode(container_.get(), u"/secret", 255), kSiteNoKey);
  EXPECT_EQ(ReadCode(container_.get(), u"/secret", 2), kSiteFirstCodeMismatch);
  EXPECT_EQ(ReadCode(container_.get(), u"/sxc", 255), kSchemaFileMissing);
  EXPECT_EQ(ReadCode(container_.get(), u"/plain", 2), kSiteFirstCodeMismatch);
  EXPECT_EQ(Content(container_.get(), u"/plain"), "text+more");

  auto no_temp = MakeContainer(true);
  ASSERT_EQ(no_temp->OpenMemory(package_.data(), package_.size(), 0), kOk);
  EXPECT_EQ(ReadCode(no_temp.get(), u"/sxc", 255), kSiteSxcWithoutTempDir);
  // Several records are assembled in memory without a temporary directory.
  EXPECT_EQ(Content(no_temp.get(), u"/plain"), "text+more");
  std::string target;
  EXPECT_EQ(no_temp->ExtractPart(u"/plain", &target, 0, nullptr), kTempFileProblem);
}

TEST_F(ContainerTest, ReadPartReportsLengthAndCopiesAtMostTheBuffer) {
  Open(BuildPackage({{{Rec(1, "/a", "0123456789")}}, {{Rec(2, "/a", "abc")}}}));
  int64_t length = -1;
  ASSERT_EQ(container_->ReadPart(u"/a", nullptr, &length, 0, nullptr), kOk);
  EXPECT_EQ(length, 13);
  char buffer[8] = {};
  length = 4;
  ASSERT_EQ(container_->ReadPart(u"a", buffer, &length, 0, nullptr), kOk);
  EXPECT_EQ(length, 4);
  EXPECT_EQ(std::string(buffer, 4), "0123");
  length = -1;
  EXPECT_EQ(container_->ReadPart(u"/a", buffer, &length, 0, nullptr), kInvalidArgument);
  EXPECT_EQ(container_->ReadPart(u"/missing", nullptr, &length, 0, nullptr), kNoSuchNode);
  EXPECT_EQ(container_->ReadPart(u"/a?", nullptr, &length, 0, nullptr), kIllegalPath);
}

TEST_F(ContainerTest, DecodedCopiesAreReusedAndReleased) {
  Open(BuildPackage({{{Rec(1, "/a", "first")}}, {{Rec(2, "/a", "-second")}}}));
  std::string one, two;
  ASSERT_EQ(container_->ExtractPart(u"/a", &one, 0, nullptr), kOk);
  ASSERT_EQ(container_->ExtractPart(u"/a", &two, 0, nullptr), kOk);
  EXPECT_EQ(one, two);
  auto bytes = ReadFileBytes(one);
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "first-second");
  std::string older;
  ASSERT_EQ(container_->ExtractPart(u"/a", &older, 1, nullptr), kOk);
  EXPECT_NE(older, one);
  std::string stored;
  DecodeOptions raw{0, nullptr};
  ASSERT_EQ(container_->ExtractPart(u"/a", &stored, 0, &raw), kOk);
  EXPECT_NE(stored, one);  // a different request is never served by another's copy

  ASSERT_EQ(container_->ReleasePartCopies(u"\\a"), kOk);
  EXPECT_FALSE(Exists(one));
  EXPECT_FALSE(Exists(older));
  one.clear();
  ASSERT_EQ(container_->ExtractPart(u"/a", &one, 0, nullptr), kOk);
  ASSERT_EQ(container_->Close(), kOk);
  EXPECT_FALSE(Exists(one));
}

TEST_F(ContainerTest, ExtractToFileNeverLeavesPartialOutput) {
  Open(BuildPackage({{{Rec(1, "/ok", "content"), Rec(1, "/bad", "zzzz", {2})}}}));
  char dir_template[] = "/tmp/zoq-extract-XXXXXX";
  ASSERT_NE(mkdtemp(dir_template), nullptr);
  std::string target = std::string(dir_template) + "/ok.txt";
  ASSERT_EQ(container_->ExtractPart(u"/ok", &target, 0, nullptr), kOk);
  auto bytes = ReadFileBytes(target);
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "content");
  std::string bad = std::string(dir_template) + "/bad.txt";
  EXPECT_EQ(container_->ExtractPart(u"/bad", &bad, 0, nullptr), kDecodeFailed);
  EXPECT_FALSE(Exists(bad));
  std::string unwritable = std::string(dir_template) + "/no/such/dir/x";
  EXPECT_EQ(container_->ExtractPart(u"/ok", &unwritable, 0, nullptr), kTargetFileFailed);
  unlink(target.c_str());
  rmdir(dir_template);
}

TEST_F(ContainerTest, ListingsAndPathKinds) {
  auto built = BuildPackage({{{Rec(1, "/Doc/b.xml", "b"), Rec(1, "/Doc/a.xml", "a"),
                               Rec(1, "/z.txt", "z"), Rec(1, "/Doc/sub/c.xml", "c")}}});
  Open(built);
  std::vector<std::u16string> parts{u"left alone"};
  EXPECT_EQ(container_->ListParts(u"/Doc", &parts), kInvalidArgument);
  EXPECT_EQ(parts.size(), 1u);
  ASSERT_EQ(container_->ListParts(u"/Doc/", &parts), kOk);
  EXPECT_EQ(parts, (std::vector<std::u16string>{u"/Doc/a.xml", u"/Doc/b.xml", u"/Doc/sub/c.xml"}));
  EXPECT_EQ(container_->GetPathKind(u"/Doc"), kPathFolder);
  EXPECT_EQ(container_->GetPathKind(u"/Doc/"), kPathFolder);
  EXPECT_EQ(container_->GetPathKind(u"Doc\\a.xml"), kPathPart);
  EXPECT_EQ(container_->GetPathKind(u"/doc/a.xml"), kPathNotFound);
  EXPECT_EQ(container_->GetPathKind(u"/Doc/a?.xml"), kPathNotFound);
  PathNode* doc = container_->GetNode(u"/Doc/");
  ASSERT_NE(doc, nullptr);
  std::vector<std::u16string> names;
  for (PathNode* child : doc->Children()) names.push_back(child->GetName());
  EXPECT_EQ(names, (std::vector<std::u16string>{u"b.xml", u"a.xml", u"sub"}));
  PartInfo info;
  ASSERT_EQ(container_->GetPartInfo(&info, doc, 0), kOk);
  EXPECT_TRUE(info.is_folder);
  EXPECT_EQ(info.path, u"/Doc/");

  auto flat = MakeContainer(false, true);
  ASSERT_EQ(flat->OpenMemory(package_.data(), package_.size(), 0), kOk);
  EXPECT_EQ(flat->GetNode(u"/"), nullptr);
  EXPECT_EQ(flat->GetPathKind(u"/Doc"), kPathFolder);
  EXPECT_EQ(flat->GetPathKind(u"/Doc/sub/"), kPathFolder);
  EXPECT_EQ(flat->GetPathKind(u"/Doc/a.xml"), kPathPart);
  EXPECT_EQ(flat->GetPathKind(u"/Do"), kPathNotFound);
  EXPECT_EQ(Content(flat.get(), u"/Doc/a.xml"), "a");
}

TEST_F(ContainerTest, LocationOfTheFirstRecord) {
  auto built = BuildPackage({{{Rec(4, "/d"), Rec(1, "/a", "abc")}}, {{Rec(1, "/d", "x")}}});
  Open(built);
  int64_t position = 0, size = 0;
  ASSERT_EQ(container_->GetPartLocation(u"/a", &position, &size), kOk);
  EXPECT_EQ(position, built.record_starts[0][0]);
  EXPECT_EQ(size, 3);
  EXPECT_EQ(container_->GetPartLocation(u"/d", &position, &size), kSiteLocationDeleted);
  EXPECT_EQ(container_->GetPartLocation(u"/none", &position, &size), kNoSuchNode);
}

TEST_F(ContainerTest, RawPackageAndVersionFacts) {
  Open(BuildPackage({{{Rec(1, "/a", "abc")}}}, 2, 0x0100));
  EXPECT_EQ(container_->GetContainerVersion(), 0x0100);
  int64_t length = 0;
  ASSERT_EQ(container_->ReadRawPackage(nullptr, &length), kOk);
  EXPECT_EQ(length, static_cast<int64_t>(package_.size()));
  std::vector<uint8_t> copy(package_.size());
  length = static_cast<int64_t>(copy.size()) - 1;
  EXPECT_EQ(container_->ReadRawPackage(copy.data(), &length), kSiteRawBufferTooSmall);
  length = static_cast<int64_t>(copy.size());
  ASSERT_EQ(container_->ReadRawPackage(copy.data(), &length), kOk);
  EXPECT_EQ(copy, package_);
  EXPECT_FALSE(container_->IsModified());
  EXPECT_EQ(container_->Close(), kOk);
  EXPECT_EQ(container_->ReadRawPackage(nullptr, &length), kNoStream);
}

TEST_F(ContainerTest, PackageInCallerMemoryTakesChangesButCannotBeSavedOverItself) {
  Open(BuildPackage({{{Rec(1, "/a", "abc")}}}));
  EXPECT_EQ(container_->AddPartFromMemory(u"/b", "x", 1, nullptr, 0, false), kOk);
  EXPECT_TRUE(container_->IsModified());
  EXPECT_EQ(container_->Save(kSaveIncremental, false), 10051128);
  EXPECT_EQ(container_->SetTableCompression(4), kSiteBadTableCompression);
  EXPECT_EQ(container_->SetTableCompression(3), kOk);
  EXPECT_EQ(container_->SetOrderAnchor(u"/none"), kSiteAnchorWithoutRecords);
  EXPECT_EQ(container_->SetOrderAnchor(u"/a"), kOk);
  container_->ClearOrderAnchor();
  EXPECT_EQ(Content(container_.get(), u"/a"), "abc");
  EXPECT_EQ(Content(container_.get(), u"/b"), "x");
}

}  // namespace
}  // namespace zoq::test
