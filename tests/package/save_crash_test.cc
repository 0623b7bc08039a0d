// An interrupted save leaves the package as it was before or as it is
// after: I/O failures injected at every write of a save, and a saving child
// process killed at seeded moments.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <memory>
#include <random>

#include "zoq/codes.h"
#include "forwarding_stream.h"
#include "save_test_util.h"
#include "stream/dynamic_memory_stream.h"
#include "test_util.h"

namespace zoq::test {
namespace {

using Parts = std::map<std::string, std::vector<uint8_t>>;

// A memory stream in which the fail_at-th call of Write, Flush or SetLength
// (counting from 1) fails without effect, and once reopening is refused so
// is every open for reading.
class FaultyStream : public ForwardingStream {
 public:
  explicit FaultyStream(int fail_at) : ForwardingStream(&memory_), fail_at_(fail_at) {}
  CVelDynamicMemoryStream& inner() { return memory_; }
  int calls() const { return calls_; }

  // Puts `bytes` into the stream, left closed: the first failing code.
  int Load(const std::vector<uint8_t>& bytes) {
    int code = memory_.Open(kModeReadWriteNew);
    if (code == kOk) code = memory_.Write(bytes.data(), static_cast<int64_t>(bytes.size()));
    const int closed = memory_.Close();
    return code != kOk ? code : closed;
  }
  void RefuseReopen(bool refuse) { refuse_reopen_ = refuse; }
  zoq::Status Open(int mode) override {
    return refuse_reopen_ && mode == kModeRead ? kFailed : memory_.Open(mode);
  }
  zoq::Status Write(const void* buffer, int64_t count) override {
    return Fails() ? kFailed : memory_.Write(buffer, count);
  }
  zoq::Status Flush() override { return Fails() ? kFailed : memory_.Flush(); }
  zoq::Status SetLength(int64_t size) override {
    return Fails() ? kFailed : memory_.SetLength(size);
  }
  bool IsStorageStream() override { return true; }

 private:
  bool Fails() { return ++calls_ == fail_at_; }
  int fail_at_;
  int calls_ = 0;
  bool refuse_reopen_ = false;
  CVelDynamicMemoryStream memory_;
};

std::vector<uint8_t> RawBytes(Stream* stream) {
  std::unique_ptr<Stream> copy(stream->Clone());
  std::vector<uint8_t> out;
  if (!copy || copy->Open(kModeRead) != kOk) return out;
  ReadAll(copy.get(), &out);
  return out;
}

TEST(SaveFaults, IncrementalSaveFailingAtAnyWriteKeepsThePackageReadable) {
  const std::vector<uint8_t> original = RevisedPackage(2);
  int code = 0;
  const Parts before = SnapshotBytes(original, &code);
  ASSERT_EQ(code, kOk);
  Parts after;
  int failures = 0;
  for (int k = 1;; ++k) {
    FaultyStream stream(k);
    ASSERT_EQ(stream.Load(original), kOk);
    auto c = MakeContainer();
    ASSERT_EQ(c->OpenStream(&stream, false), kOk);
    const int writes_before_save = stream.calls();
    ASSERT_LT(writes_before_save, k) << "the open itself must not write";
    ASSERT_EQ(AddBytes(c.get(), "/a.txt", Bytes("alpha-2")), kOk);
    ASSERT_EQ(c->AppendToPartFromMemory(u"/c.txt", "+", 1, nullptr, 0), kOk);
    ASSERT_EQ(c->DeletePart(u"/b.txt"), kOk);
    ASSERT_EQ(AddBytes(c.get(), "/d/e.txt", TextLike(2000, 2), {2}), kOk);
    const int result = c->Save(kSaveIncremental, false);
    const Parts now = SnapshotBytes(RawBytes(&stream.inner()), &code);
    ASSERT_EQ(code, kOk) << "fault at write " << k;
    if (result == kOk) {
      after = now;
      EXPECT_NE(after, before);
      break;
    }
    ++failures;
    // Put back as it was, byte for byte, even after the entry count was
    // raised.
    EXPECT_EQ(RawBytes(&stream.inner()), original) << "fault at write " << k;
    // The changes are still pending: saving again succeeds.
    ASSERT_EQ(c->Save(kSaveIncremental, false), kOk) << "retry after fault " << k;
    EXPECT_EQ(SnapshotBytes(RawBytes(&stream.inner()), &code).size(), 3u);
    c.reset();
    ASSERT_LT(k, 1000);
  }
  EXPECT_GT(failures, 5);
  EXPECT_EQ(after.at("/a.txt"), Bytes("alpha-2"));
  EXPECT_EQ(after.at("/c.txt"), Bytes("gamma+"));
  EXPECT_EQ(after.count("/b.txt"), 0u);
}

// A save whose package cannot be read again afterwards is not reported as a
// success: the container closes, and opening the package again shows the
// revision the save wrote.
TEST(SaveFaults, SaveReportsAStreamThatCannotBeReadAgain) {
  const std::vector<uint8_t> original = RevisedPackage(2);
  FaultyStream stream(0);
  ASSERT_EQ(stream.Load(original), kOk);
  auto c = MakeContainer();
  ASSERT_EQ(c->OpenStream(&stream, false), kOk);
  ASSERT_EQ(AddBytes(c.get(), "/a.txt", Bytes("alpha-2")), kOk);
  stream.RefuseReopen(true);
  const Status saved = c->Save(kSaveIncremental, false);
  EXPECT_FALSE(saved.ok());
  EXPECT_NE(saved.ToText().find("site " + std::to_string(saved.code())), std::string::npos);
  EXPECT_EQ(c->GetNode(u"/"), nullptr);
  stream.RefuseReopen(false);
  ASSERT_EQ(c->OpenStream(&stream, false), kOk);
  EXPECT_EQ(Snapshot(c.get()).at("/a.txt"), Bytes("alpha-2"));
}

// A child process saves and is killed at a seeded moment; the package then
// reads as before or as after the save.
void SaveInChild(const std::string& file, int mode, bool merge, const std::string& big_path) {
  auto c = MakeContainer();
  if (c->OpenFile(file, false) != kOk) _exit(2);
  if (c->AddPartFromFile(u"/big.bin", big_path, nullptr, 0, false) != kOk) _exit(3);
  if (AddBytes(c.get(), "/a.txt", Bytes("changed")) != kOk) _exit(4);
  if (c->DeletePart(u"/b.txt") != kOk) _exit(5);
  _exit(c->Save(mode, merge) == kOk ? 0 : 6);
}

TEST(SaveCrash, KilledSavesLeaveBeforeOrAfter) {
  ScratchDir dir;
  const std::string big = dir.File("big.src");
  WriteFileBytes(big, TextLike(6 << 20, 9));
  ASSERT_EQ(ReadFileBytes(big).size(), size_t{6} << 20);
  std::mt19937 random(20261208);
  int seen_before = 0, seen_after = 0;
  for (int round = 0; round < 12; ++round) {
    const int mode = round % 3 == 0 ? kSaveCompact : kSaveIncremental;
    const bool merge = round % 3 == 1;
    const std::string file = dir.File("crash" + std::to_string(round) + ".zoq");
    {
      auto c = MakeContainer();
      ASSERT_EQ(c->CreatePackage(file, 0, 0, 8, 0), kOk);
      ASSERT_EQ(AddBytes(c.get(), "/a.txt", Bytes("original")), kOk);
      ASSERT_EQ(AddBytes(c.get(), "/b.txt", TextLike(50000, 5), {2}), kOk);
      ASSERT_EQ(c->Save(kSaveIncremental, false), kOk);
      ASSERT_EQ(AddBytes(c.get(), "/c.txt", Bytes("third")), kOk);
      ASSERT_EQ(c->Save(kSaveIncremental, false), kOk);
    }
    int code = 0;
    const Parts before = SnapshotFile(file, &code);
    ASSERT_EQ(code, kOk);
    const int delay_us = static_cast<int>(random() % 400000);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) SaveInChild(file, mode, merge, big);
    usleep(delay_us);
    kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    if (WIFEXITED(status)) {
      ASSERT_EQ(WEXITSTATUS(status), 0);
    }
    const Parts now = SnapshotFile(file, &code);
    ASSERT_EQ(code, kOk) << "round " << round << " killed after " << delay_us << " us";
    if (now == before) {
      ++seen_before;
    } else {
      ++seen_after;
      EXPECT_EQ(now.at("/a.txt"), Bytes("changed"));
      EXPECT_EQ(now.at("/big.bin").size(), size_t{6} << 20);
      EXPECT_EQ(now.count("/b.txt"), 0u);
    }
  }
  EXPECT_EQ(seen_before + seen_after, 12);
}

// A killed save leaves unlinked bytes after the data; the next save cuts
// them off before it appends (else, with 2-byte offsets, 60 KB of them
// would leave no room for another revision). The result is the file a save
// without them writes, and every revision reads.
TEST(SaveCrash, BytesAKilledSaveLeftAreCutByTheNextSave) {
  ScratchDir dir;
  const std::string clean = dir.File("clean.zoq");
  const std::string dirty = dir.File("dirty.zoq");
  {
    auto c = MakeContainer();
    ASSERT_EQ(c->CreatePackage(clean, 0, 0, 2, 0), kOk);
    ASSERT_EQ(AddBytes(c.get(), "/a.txt", Bytes("first")), kOk);
    ASSERT_EQ(AddBytes(c.get(), "/b.txt", TextLike(3000, 5), {2}), kOk);
    ASSERT_EQ(c->Save(kSaveIncremental, false), kOk);
    ASSERT_EQ(AddBytes(c.get(), "/a.txt", Bytes("second")), kOk);
    ASSERT_EQ(c->Save(kSaveIncremental, false), kOk);
  }
  std::vector<uint8_t> bytes = ReadFileBytes(clean);
  bytes.resize(bytes.size() + 60000, 0xA5);
  WriteFileBytes(dirty, bytes);
  ASSERT_EQ(ReadFileBytes(dirty), bytes);
  for (const std::string& file : {clean, dirty}) {
    auto c = MakeContainer();
    ASSERT_EQ(c->OpenFile(file, false), kOk);
    ASSERT_EQ(AddBytes(c.get(), "/c.txt", TextLike(2000, 7)), kOk);
    ASSERT_EQ(c->Save(kSaveIncremental, false), kOk) << file;
  }
  EXPECT_EQ(ReadFileBytes(dirty), ReadFileBytes(clean));
  for (int revision = 1; revision <= 3; ++revision) {
    int code = 0;
    EXPECT_FALSE(SnapshotFile(dirty, &code, revision).empty());
    EXPECT_EQ(code, kOk) << "revision " << revision;
  }
}

}  // namespace
}  // namespace zoq::test
