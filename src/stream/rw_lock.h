// A writer-preferring reader/writer lock. Readers share the lock; a writer
// holds it alone. A reader that finds a writer active or waiting queues
// behind it, so a steady stream of readers cannot starve writers. When the
// last holder leaves, one waiting writer goes first; only when no writer
// waits are all waiting readers admitted together. Not re-entrant.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace zoq {

class RwLock {
 public:
  RwLock() = default;
  RwLock(const RwLock&) = delete;
  RwLock& operator=(const RwLock&) = delete;

  void LockRead();
  void UnlockRead();
  void LockWrite();
  void UnlockWrite();

  // Snapshot of the state, for tests and diagnostics.
  int ActiveCount();  // readers holding the lock, -1 while a writer holds it
  int WaitingReaders();
  int WaitingWriters();

 private:
  // Hands the lock on when its count has reached 0. Caller holds mutex_.
  void ReleaseLocked();

  std::mutex mutex_;
  // The two wait queues behave as counting semaphores: a permit is granted
  // to exactly the number of waiters that the releasing thread admitted.
  std::condition_variable readers_cv_;
  std::condition_variable writers_cv_;
  int64_t reader_permits_ = 0;
  int64_t writer_permits_ = 0;
  int active_ = 0;  // > 0 readers, -1 one writer
  int waiting_readers_ = 0;
  int waiting_writers_ = 0;
};

class ReadLockGuard {
 public:
  explicit ReadLockGuard(RwLock& lock) : lock_(lock) { lock_.LockRead(); }
  ~ReadLockGuard() { lock_.UnlockRead(); }
  ReadLockGuard(const ReadLockGuard&) = delete;
  ReadLockGuard& operator=(const ReadLockGuard&) = delete;

 private:
  RwLock& lock_;
};

class WriteLockGuard {
 public:
  explicit WriteLockGuard(RwLock& lock) : lock_(lock) { lock_.LockWrite(); }
  ~WriteLockGuard() { lock_.UnlockWrite(); }
  WriteLockGuard(const WriteLockGuard&) = delete;
  WriteLockGuard& operator=(const WriteLockGuard&) = delete;

 private:
  RwLock& lock_;
};

}  // namespace zoq
