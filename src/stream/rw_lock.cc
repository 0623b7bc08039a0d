#include "stream/rw_lock.h"

namespace zoq {

void RwLock::LockRead() {
  std::unique_lock<std::mutex> lock(mutex_);
  if (active_ >= 0 && waiting_writers_ == 0) {
    ++active_;
    return;
  }
  ++waiting_readers_;
  readers_cv_.wait(lock, [this] { return reader_permits_ > 0; });
  --reader_permits_;  // the releasing thread already counted us in active_
}

void RwLock::LockWrite() {
  std::unique_lock<std::mutex> lock(mutex_);
  if (active_ == 0) {
    active_ = -1;
    return;
  }
  ++waiting_writers_;
  writers_cv_.wait(lock, [this] { return writer_permits_ > 0; });
  --writer_permits_;  // the releasing thread already set active_ to -1
}

void RwLock::UnlockRead() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (active_ > 0) --active_;
  if (active_ == 0) ReleaseLocked();
}

void RwLock::UnlockWrite() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (active_ == -1) active_ = 0;
  if (active_ == 0) ReleaseLocked();
}

void RwLock::ReleaseLocked() {
  if (waiting_writers_ > 0) {
    --waiting_writers_;
    active_ = -1;
    ++writer_permits_;
    writers_cv_.notify_one();
  } else if (waiting_readers_ > 0) {
    active_ = waiting_readers_;
    reader_permits_ += waiting_readers_;
    waiting_readers_ = 0;
    readers_cv_.notify_all();
  }
}

int RwLock::ActiveCount() {
  std::lock_guard<std::mutex> lock(mutex_);
  return active_;
}

int RwLock::WaitingReaders() {
  std::lock_guard<std::mutex> lock(mutex_);
  return waiting_readers_;
}

int RwLock::WaitingWriters() {
  std::lock_guard<std::mutex> lock(mutex_);
  return waiting_writers_;
}

}  // namespace zoq
