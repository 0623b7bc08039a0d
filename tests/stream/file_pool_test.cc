#include "stream/file_pool.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <thread>
#include <vector>

#include "stream/file_stream.h"
#include "coded.h"
#include "temp_dir.h"

namespace zoq {
namespace {

using test::TempDir;

bool IsOpenFd(int fd) { return fcntl(fd, F_GETFD) != -1; }

TEST(FilePoolTest, ReadHandleIsReusedWhileThePathStaysOpen) {
  TempDir dir;
  std::string path = dir.File("pkg");
  test::WriteFile(path, "content");
  FilePool& pool = FilePool::Instance();

  int keeper = pool.Take(path, kModeRead, false);
  int first = pool.Take(path, kModeRead, false);
  ASSERT_GE(keeper, 0);
  ASSERT_GE(first, 0);
  EXPECT_NE(keeper, first);
  pool.GiveBack(path, first);
  EXPECT_EQ(pool.IdleCount(path), 1u);
  EXPECT_TRUE(IsOpenFd(first));

  // The next reader gets the idle handle, whatever its shared flag.
  int again = pool.Take(path, kModeRead, true);
  EXPECT_EQ(again, first);
  EXPECT_EQ(pool.IdleCount(path), 0u);
  pool.GiveBack(path, again);

  // When the last handle goes, every idle one is closed.
  pool.GiveBack(path, keeper);
  EXPECT_EQ(pool.OpenCount(path), 0u);
  EXPECT_EQ(pool.IdleCount(path), 0u);
  EXPECT_FALSE(IsOpenFd(first));
}

TEST(FilePoolTest, KeepsAtMostThreeIdleReadHandlesAndNoWriteHandles) {
  TempDir dir;
  std::string path = dir.File("pkg");
  test::WriteFile(path, "x");
  FilePool& pool = FilePool::Instance();
  int keeper = pool.Take(path, kModeReadWrite, false);
  std::vector<int> readers;
  for (int i = 0; i < 5; ++i) readers.push_back(pool.Take(path, kModeRead, false));
  for (int fd : readers) pool.GiveBack(path, fd);
  EXPECT_EQ(pool.IdleCount(path), FilePool::kMaxIdlePerPath);
  EXPECT_FALSE(IsOpenFd(readers[3]));
  EXPECT_FALSE(IsOpenFd(readers[4]));
  // The most recently idled handle comes back first.
  int reused = pool.Take(path, kModeRead, false);
  EXPECT_EQ(reused, readers[2]);
  pool.GiveBack(path, reused);
  int writer = pool.Take(path, kModeReadWrite, false);
  pool.GiveBack(path, writer);
  EXPECT_FALSE(IsOpenFd(writer));
  EXPECT_EQ(pool.IdleCount(path), FilePool::kMaxIdlePerPath);
  pool.GiveBack(path, keeper);
  EXPECT_EQ(pool.IdleCount(path), 0u);
}

TEST(FilePoolTest, FileStreamsShareTheReadHandle) {
  TempDir dir;
  std::string path = dir.File("pkg");
  test::WriteFile(path, "abcdef");
  CVelFileStream keeper(path, false), item(path, false);
  ASSERT_EQ(keeper.Open(kModeRead), kOk);
  ASSERT_EQ(item.Open(kModeRead), kOk);
  EXPECT_EQ(FilePool::Instance().OpenCount(path), 2u);
  EXPECT_EQ(item.Close(), kOk);
  EXPECT_EQ(FilePool::Instance().IdleCount(path), 1u);
  // Reopening takes the idle handle and reads correctly through it.
  ASSERT_EQ(item.Open(kModeRead), kOk);
  EXPECT_EQ(FilePool::Instance().IdleCount(path), 0u);
  ASSERT_EQ(item.Seek(2, kSeekSet), kOk);
  EXPECT_EQ(test::ReadOnce(&item, 6), "cdef");
}

TEST(FilePoolTest, FailedOpenLeavesNoEntry) {
  TempDir dir;
  std::string path = dir.File("missing");
  EXPECT_LT(FilePool::Instance().Take(path, kModeRead, false), 0);
  EXPECT_EQ(FilePool::Instance().OpenCount(path), 0u);
}

// Many threads read the same file through their own streams at once.
TEST(FilePoolTest, ConcurrentStreamsOnOnePath) {
  TempDir dir;
  std::string path = dir.File("pkg");
  std::string content = test::Pattern(200000);
  test::WriteFile(path, content);
  std::vector<std::thread> threads;
  std::vector<int> failures(4, 0);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      std::vector<char> buf(content.size());
      for (int i = 0; i < 50; ++i) {
        CVelFileStream stream(path, true);
        int64_t done = 0;
        if (stream.Open(kModeRead) != kOk || stream.Read(buf.data(), buf.size(), &done) != kOk ||
            std::string(buf.data(), done) != content) {
          ++failures[t];
        }
      }
    });
  }
  for (auto& th : threads) th.join();
  for (int f : failures) EXPECT_EQ(f, 0);
  EXPECT_EQ(FilePool::Instance().OpenCount(path), 0u);
  EXPECT_EQ(FilePool::Instance().IdleCount(path), 0u);
}

}  // namespace
}  // namespace zoq
