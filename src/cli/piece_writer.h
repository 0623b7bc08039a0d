// Writing pieces of output on a thread of their own.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace zoqcli {

// Writes the pieces it is given on a thread of its own, so that writing
// (the kernel's copy into a pipe or the page cache) overlaps decoding; at
// most a few pieces wait, so memory stays bounded, and their buffers are
// reused.
class PieceWriter {
 public:
  using Write = std::function<void(const uint8_t* bytes, size_t count)>;
  explicit PieceWriter(const Write& write) : write_(write), thread_([this] { Run(); }) {}
  ~PieceWriter() { Stop(); }
  PieceWriter(const PieceWriter&) = delete;
  PieceWriter& operator=(const PieceWriter&) = delete;

  // Queues a copy of the bytes; false once a write has failed.
  bool Put(const char* bytes, size_t count);
  // Waits until everything queued is written; passes a write's failure on.
  void Finish();

 private:
  static constexpr size_t kMostQueued = 4;

  void Stop();
  void Run();

  const Write& write_;
  std::mutex mutex_;
  std::condition_variable ready_, room_;
  std::deque<std::string> queue_;
  std::vector<std::string> spare_;  // written pieces' buffers, for reuse
  bool closing_ = false;
  std::exception_ptr failure_;
  std::thread thread_;  // last: starts once the rest is ready
};

// Whether standard output costs enough per write (a pipe or a regular file)
// that writing on a thread of its own pays for the extra copy.
bool OutputWorthAThread();

}  // namespace zoqcli
