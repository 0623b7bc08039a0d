// Work over a list done on worker threads and consumed strictly in list
// order: workers claim items in order, at most `ahead` items ahead of the
// consumer, and stop claiming while the finished results waiting to be
// taken weigh `budget` or more. The item the consumer waits for is always
// claimed, so a tiny budget still makes progress.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace zoq {

template <typename T>
class OrderedWork {
 public:
  using Work = std::function<T(size_t)>;
  using Weight = std::function<int64_t(const T&)>;

  // Starts `workers` threads (at least one) over the items 0..count-1.
  OrderedWork(size_t count, int workers, size_t ahead, int64_t budget, Work work, Weight weight)
      : count_(count),
        ahead_(ahead == 0 ? 1 : ahead),
        budget_(budget),
        work_(std::move(work)),
        weight_(std::move(weight)),
        results_(count) {
    for (int i = 0; i < (workers < 1 ? 1 : workers); ++i) {
      threads_.emplace_back([this] { Run(); });
    }
  }

  // Stops the workers: items being worked on are finished, the rest are
  // dropped.
  ~OrderedWork() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    changed_.notify_all();
    for (std::thread& thread : threads_) thread.join();
  }
  OrderedWork(const OrderedWork&) = delete;
  OrderedWork& operator=(const OrderedWork&) = delete;

  // Waits for the next result in list order and hands it over; false once
  // every item was taken.
  bool TakeNext(T* out) {
    std::unique_lock<std::mutex> lock(mutex_);
    const size_t index = next_take_;
    if (index >= count_) return false;
    changed_.wait(lock, [&] { return results_[index].has_value(); });
    *out = std::move(*results_[index]);
    results_[index].reset();
    waiting_weight_ -= weight_(*out);
    ++next_take_;
    changed_.notify_all();
    return true;
  }

 private:
  void Run() {
    for (;;) {
      size_t index = 0;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] {
          return stopping_ || next_claim_ >= count_ || next_claim_ == next_take_ ||
                 (next_claim_ < next_take_ + ahead_ && waiting_weight_ < budget_);
        });
        if (stopping_ || next_claim_ >= count_) return;
        index = next_claim_++;
      }
      T result = work_(index);
      {
        std::lock_guard<std::mutex> lock(mutex_);
        waiting_weight_ += weight_(result);
        results_[index] = std::move(result);
      }
      changed_.notify_all();
    }
  }

  const size_t count_;
  const size_t ahead_;
  const int64_t budget_;
  const Work work_;
  const Weight weight_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::optional<T>> results_;
  size_t next_claim_ = 0;  // the next item a worker takes on
  size_t next_take_ = 0;   // the next item the consumer takes
  int64_t waiting_weight_ = 0;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace zoq
