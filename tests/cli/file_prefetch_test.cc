// The read-ahead of zoq import and the work queue of zoq extract: order,
// bounds and shutdown.
#include "cli/file_prefetch.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "cli/work_queue.h"
#include "run_zoq.h"

namespace zoqtest {
namespace {

TEST(FilePrefetch, HandsOutEveryFileInOrderWithinATinyBudget) {
  ScratchFolder scratch;
  std::vector<std::string> paths;
  for (int i = 0; i < 200; ++i) {
    paths.push_back(scratch.path() + "/f" + std::to_string(i));
    WriteFileBytes(paths.back(), std::string(static_cast<size_t>(i * 37), char('a' + i % 26)));
  }
  paths.push_back(scratch.path() + "/missing");
  WriteFileBytes(scratch.path() + "/large", std::string(9000, 'L'));
  paths.push_back(scratch.path() + "/large");
  // A budget of 1 byte still makes progress: the file waited for is
  // always loaded.
  zoqcli::FilePrefetch prefetch(paths, 4, 8192, 1);
  for (int i = 0; i < 200; ++i) {
    zoqcli::FilePrefetch::File file = prefetch.TakeNext();
    ASSERT_TRUE(file.loaded) << i;
    ASSERT_TRUE(file.error.empty()) << file.error;
    ASSERT_EQ(file.bytes, std::string(static_cast<size_t>(i * 37), char('a' + i % 26))) << i;
  }
  zoqcli::FilePrefetch::File missing = prefetch.TakeNext();
  EXPECT_FALSE(missing.loaded);
  EXPECT_NE(missing.error.find("missing"), std::string::npos) << missing.error;
  zoqcli::FilePrefetch::File large = prefetch.TakeNext();
  EXPECT_FALSE(large.loaded);
  EXPECT_TRUE(large.error.empty());
  EXPECT_TRUE(large.bytes.empty());
}

TEST(FilePrefetch, StopsWhenDroppedEarly) {
  ScratchFolder scratch;
  std::vector<std::string> paths;
  for (int i = 0; i < 100; ++i) {
    paths.push_back(scratch.path() + "/f" + std::to_string(i));
    WriteFileBytes(paths.back(), std::string(1000, 'x'));
  }
  zoqcli::FilePrefetch prefetch(paths, 3, 1 << 20, 4096);
  EXPECT_EQ(prefetch.TakeNext().bytes.size(), 1000u);
  // Leaving the scope with 99 files untaken must not hang.
}

TEST(WorkQueue, DeliversEachItemOnceAndEndsWhenClosed) {
  zoqcli::WorkQueue<int> queue(2);
  std::atomic<long> sum{0};
  std::atomic<int> count{0};
  std::vector<std::thread> workers;
  for (int w = 0; w < 3; ++w) {
    workers.emplace_back([&] {
      int item = 0;
      while (queue.Pop(&item)) {
        sum += item;
        ++count;
      }
    });
  }
  for (int i = 1; i <= 1000; ++i) ASSERT_TRUE(queue.Push(i));
  queue.Close();
  for (std::thread& worker : workers) worker.join();
  EXPECT_EQ(count.load(), 1000);
  EXPECT_EQ(sum.load(), 500500);
  EXPECT_FALSE(queue.Push(1));
}

}  // namespace
}  // namespace zoqtest
