#include "stream/rw_lock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace zoq {
namespace {

// Spins until `done` holds, failing the test after a generous deadline.
template <typename F>
bool WaitFor(F done) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

TEST(RwLockTest, ReadersShareWriterExcludes) {
  RwLock lock;
  lock.LockRead();
  lock.LockRead();
  EXPECT_EQ(lock.ActiveCount(), 2);
  lock.UnlockRead();
  lock.UnlockRead();
  EXPECT_EQ(lock.ActiveCount(), 0);
  {
    WriteLockGuard guard(lock);
    EXPECT_EQ(lock.ActiveCount(), -1);
  }
  EXPECT_EQ(lock.ActiveCount(), 0);
}

// A writer waiting behind a reader goes before a reader that arrives later.
TEST(RwLockTest, WaitingWriterGoesBeforeLaterReaders) {
  RwLock lock;
  std::atomic<int> order{0};
  int writer_turn = -1, reader_turn = -1;

  lock.LockRead();  // the first reader holds the lock
  std::thread writer([&] {
    WriteLockGuard guard(lock);
    writer_turn = order++;
  });
  ASSERT_TRUE(WaitFor([&] { return lock.WaitingWriters() == 1; }));

  std::thread reader([&] {
    ReadLockGuard guard(lock);
    reader_turn = order++;
  });
  // The late reader must queue although only readers hold the lock.
  ASSERT_TRUE(WaitFor([&] { return lock.WaitingReaders() == 1; }));
  EXPECT_EQ(lock.ActiveCount(), 1);

  lock.UnlockRead();
  writer.join();
  reader.join();
  EXPECT_EQ(writer_turn, 0);
  EXPECT_EQ(reader_turn, 1);
  EXPECT_EQ(lock.ActiveCount(), 0);
}

// Releasing a writer with only readers waiting admits all of them at once.
TEST(RwLockTest, WriterReleaseAdmitsAllWaitingReaders) {
  RwLock lock;
  lock.LockWrite();
  std::atomic<int> inside{0};
  std::atomic<bool> release{false};
  std::vector<std::thread> readers;
  for (int i = 0; i < 4; ++i) {
    readers.emplace_back([&] {
      ReadLockGuard guard(lock);
      ++inside;
      WaitFor([&] { return release.load(); });
    });
  }
  ASSERT_TRUE(WaitFor([&] { return lock.WaitingReaders() == 4; }));
  lock.UnlockWrite();
  ASSERT_TRUE(WaitFor([&] { return inside.load() == 4; }));  // all together
  EXPECT_EQ(lock.ActiveCount(), 4);
  release = true;
  for (auto& t : readers) t.join();
  EXPECT_EQ(lock.ActiveCount(), 0);
}

// Mixed load: writers see exclusive access and counters stay consistent.
TEST(RwLockTest, ManyThreadsKeepExclusion) {
  RwLock lock;
  int64_t shared_value = 0;
  std::atomic<int> readers_inside{0};
  std::atomic<bool> violated{false};
  std::vector<std::thread> threads;
  for (int t = 0; t < 6; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 2000; ++i) {
        if ((t + i) % 3 == 0) {
          WriteLockGuard guard(lock);
          if (readers_inside.load() != 0) violated = true;
          ++shared_value;
        } else {
          ReadLockGuard guard(lock);
          ++readers_inside;
          volatile int64_t v = shared_value;
          (void)v;
          --readers_inside;
        }
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_FALSE(violated);
  int writes = 0;
  for (int t = 0; t < 6; ++t)
    for (int i = 0; i < 2000; ++i) writes += (t + i) % 3 == 0;
  EXPECT_EQ(shared_value, writes);
  EXPECT_EQ(lock.ActiveCount(), 0);
  EXPECT_EQ(lock.WaitingReaders(), 0);
  EXPECT_EQ(lock.WaitingWriters(), 0);
}

}  // namespace
}  // namespace zoq
