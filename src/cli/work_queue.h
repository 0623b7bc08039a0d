// A bounded first-in-first-out queue between one producer and worker
// threads: Push blocks while the queue is full, Pop blocks while it is empty
// and answers false once the queue is closed and drained.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <utility>

namespace zoqcli {

template <typename T>
class WorkQueue {
 public:
  explicit WorkQueue(size_t capacity) : capacity_(capacity == 0 ? 1 : capacity) {}

  // Waits for room, then adds the item. Returns false (dropping the item)
  // when the queue was closed meanwhile.
  bool Push(T item) {
    std::unique_lock<std::mutex> lock(mutex_);
    not_full_.wait(lock, [this] { return closed_ || items_.size() < capacity_; });
    if (closed_) return false;
    items_.push_back(std::move(item));
    not_empty_.notify_one();
    return true;
  }

  // Waits for an item; false when the queue is closed and empty.
  bool Pop(T* item) {
    std::unique_lock<std::mutex> lock(mutex_);
    not_empty_.wait(lock, [this] { return closed_ || !items_.empty(); });
    if (items_.empty()) return false;
    *item = std::move(items_.front());
    items_.pop_front();
    not_full_.notify_one();
    return true;
  }

  // No more items will come: waiting workers finish what is queued and stop.
  void Close() {
    std::lock_guard<std::mutex> lock(mutex_);
    closed_ = true;
    not_empty_.notify_all();
    not_full_.notify_all();
  }

 private:
  const size_t capacity_;
  std::mutex mutex_;
  std::condition_variable not_empty_;
  std::condition_variable not_full_;
  std::deque<T> items_;
  bool closed_ = false;
};

}  // namespace zoqcli
