// The worker pool of the tool: OrderedWork (import's encoding ahead of
// filing, results handed over in list order within bounds).
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "zoq/ordered_work.h"

namespace zoqtest {
namespace {

using zoq::OrderedWork;

struct Result {
  size_t index = 0;
  std::string bytes;
  std::string error;  // a failed item still takes its place in the order
};

std::string BytesOf(size_t i) { return std::string(i * 37, static_cast<char>('a' + i % 26)); }

int64_t WeightOf(const Result& result) { return static_cast<int64_t>(result.bytes.size()); }

void Pause(size_t i) {
  // Early items take longer, so workers finish out of list order.
  if (i % 7 == 0) std::this_thread::sleep_for(std::chrono::microseconds(300));
}

// A budget of one byte still makes progress: the item waited for is always
// claimed. Failed items arrive in their place with their error.
TEST(OrderedWork, HandsOverEveryResultInListOrderWithinATinyBudget) {
  OrderedWork<Result> work(
      200, 4, 16, 1,
      [](size_t i) {
        Pause(i);
        if (i % 10 == 3) return Result{i, {}, "cannot read item " + std::to_string(i)};
        return Result{i, BytesOf(i), {}};
      },
      WeightOf);
  Result result;
  for (size_t i = 0; i < 200; ++i) {
    ASSERT_TRUE(work.TakeNext(&result)) << i;
    ASSERT_EQ(result.index, i);
    if (i % 10 == 3) {
      EXPECT_EQ(result.error, "cannot read item " + std::to_string(i));
      EXPECT_TRUE(result.bytes.empty());
    } else {
      ASSERT_TRUE(result.error.empty()) << result.error;
      ASSERT_EQ(result.bytes, BytesOf(i)) << i;
    }
  }
  EXPECT_FALSE(work.TakeNext(&result));
  EXPECT_FALSE(work.TakeNext(&result));
}

// No worker or no look-ahead asked for still means one of each; an empty
// list ends at once.
TEST(OrderedWork, ZeroWorkersOrLookAheadStillDeliverAndEmptyListsEnd) {
  OrderedWork<Result> work(5, 0, 0, 0, [](size_t i) { return Result{i, BytesOf(i), {}}; },
                           WeightOf);
  Result result;
  for (size_t i = 0; i < 5; ++i) {
    ASSERT_TRUE(work.TakeNext(&result));
    EXPECT_EQ(result.index, i);
  }
  EXPECT_FALSE(work.TakeNext(&result));
  OrderedWork<Result> empty(0, 3, 4, 100, [](size_t i) { return Result{i, {}, {}}; }, WeightOf);
  EXPECT_FALSE(empty.TakeNext(&result));
}

// While the consumer is slow, workers claim at most `ahead` items past it,
// and once finished results outweigh the budget only the item it waits for
// is worked on: what waits stays within one result per worker.
TEST(OrderedWork, BoundsTheWorkWaitingForTheConsumer) {
  constexpr int kWorkers = 3;
  constexpr size_t kAhead = 5;
  std::atomic<size_t> taken{0};
  std::atomic<size_t> finished{0};
  std::atomic<size_t> farthest_ahead{0};
  auto run = [&](size_t i) {
    // The consumer's count may lag its TakeNext by one item.
    const size_t past = i - std::min(i, taken.load());
    size_t seen = farthest_ahead.load();
    while (past > seen && !farthest_ahead.compare_exchange_weak(seen, past)) {
    }
    ++finished;
    return Result{i, BytesOf(i + 1), {}};
  };
  {
    OrderedWork<Result> ahead_bound(60, kWorkers, kAhead, int64_t{1} << 40, run, WeightOf);
    Result result;
    for (size_t i = 0; i < 60; ++i) {
      std::this_thread::sleep_for(std::chrono::microseconds(200));
      ASSERT_TRUE(ahead_bound.TakeNext(&result));
      taken = i + 1;
    }
  }
  EXPECT_LE(farthest_ahead.load(), kAhead);

  taken = 0;
  finished = 0;
  size_t most_waiting = 0;
  OrderedWork<Result> budget_bound(60, kWorkers, 1000, 1, run, WeightOf);
  Result result;
  for (size_t i = 0; i < 60; ++i) {
    std::this_thread::sleep_for(std::chrono::microseconds(200));
    most_waiting = std::max(most_waiting, finished.load() - taken.load());
    ASSERT_TRUE(budget_bound.TakeNext(&result));
    ASSERT_EQ(result.index, i);
    taken = i + 1;
  }
  EXPECT_LE(most_waiting, static_cast<size_t>(kWorkers) + 1);
}

// Dropping the work with most items untaken does not hang, finishes what
// was being worked on and starts nothing more.
TEST(OrderedWork, StopsWhenDroppedEarly) {
  std::atomic<size_t> started{0};
  {
    OrderedWork<Result> work(
        100, 3, 4, 1 << 20,
        [&](size_t i) {
          ++started;
          std::this_thread::sleep_for(std::chrono::microseconds(500));
          return Result{i, std::string(1000, 'x'), {}};
        },
        WeightOf);
    Result result;
    ASSERT_TRUE(work.TakeNext(&result));
    EXPECT_EQ(result.bytes.size(), 1000u);
  }
  const size_t at_stop = started.load();
  EXPECT_LE(at_stop, 1u + 4u + 1u);
  std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_EQ(started.load(), at_stop);
}

}  // namespace
}  // namespace zoqtest
