#include "cli/piece_writer.h"

#include <sys/stat.h>
#include <unistd.h>

#include <utility>

namespace zoqcli {

bool PieceWriter::Put(const char* bytes, size_t count) {
  std::unique_lock<std::mutex> lock(mutex_);
  room_.wait(lock, [this] { return queue_.size() < kMostQueued || failure_; });
  if (failure_) return false;
  std::string piece;
  if (!spare_.empty()) {
    piece = std::move(spare_.back());
    spare_.pop_back();
  }
  piece.assign(bytes, count);
  queue_.push_back(std::move(piece));
  ready_.notify_one();
  return true;
}

void PieceWriter::Finish() {
  Stop();
  if (failure_) std::rethrow_exception(failure_);
}

void PieceWriter::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closing_ = true;
  }
  ready_.notify_one();
  if (thread_.joinable()) thread_.join();
}

void PieceWriter::Run() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    ready_.wait(lock, [this] { return closing_ || !queue_.empty(); });
    if (queue_.empty()) return;
    std::string piece = std::move(queue_.front());
    queue_.pop_front();
    lock.unlock();
    std::exception_ptr failure;
    try {
      write_(reinterpret_cast<const uint8_t*>(piece.data()), piece.size());
    } catch (...) {
      failure = std::current_exception();
    }
    lock.lock();
    spare_.push_back(std::move(piece));
    room_.notify_one();
    if (failure) {
      failure_ = failure;
      queue_.clear();
      return;
    }
  }
}

bool OutputWorthAThread() {
  struct stat info;
  return ::fstat(STDOUT_FILENO, &info) == 0 && (S_ISFIFO(info.st_mode) || S_ISREG(info.st_mode));
}

}  // namespace zoqcli
