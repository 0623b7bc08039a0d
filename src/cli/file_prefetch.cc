#include "cli/file_prefetch.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace zoqcli {

FilePrefetch::FilePrefetch(std::vector<std::string> paths, int workers, int64_t largest_loaded,
                           int64_t bytes_ahead)
    : paths_(std::move(paths)),
      largest_loaded_(largest_loaded),
      bytes_ahead_(bytes_ahead),
      files_ahead_(4 * static_cast<size_t>(workers < 1 ? 1 : workers)),
      files_(paths_.size()),
      ready_(paths_.size(), false) {
  for (int i = 0; i < (workers < 1 ? 1 : workers); ++i) threads_.emplace_back([this] { Work(); });
}

FilePrefetch::~FilePrefetch() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  for (std::thread& thread : threads_) thread.join();
}

FilePrefetch::File FilePrefetch::TakeNext() {
  std::unique_lock<std::mutex> lock(mutex_);
  const size_t index = next_take_;
  if (index >= paths_.size()) return File{false, {}, "no more files"};
  changed_.wait(lock, [&] { return ready_[index]; });
  File file = std::move(files_[index]);
  files_[index] = File();
  waiting_bytes_ -= static_cast<int64_t>(file.bytes.size());
  ++next_take_;
  changed_.notify_all();
  return file;
}

void FilePrefetch::Work() {
  for (;;) {
    size_t index = 0;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      // The file the caller waits for is always claimed, whatever waits.
      changed_.wait(lock, [&] {
        return stopping_ || next_claim_ >= paths_.size() || next_claim_ == next_take_ ||
               (next_claim_ < next_take_ + files_ahead_ && waiting_bytes_ < bytes_ahead_);
      });
      if (stopping_ || next_claim_ >= paths_.size()) return;
      index = next_claim_++;
    }
    File file = Load(paths_[index]);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      waiting_bytes_ += static_cast<int64_t>(file.bytes.size());
      files_[index] = std::move(file);
      ready_[index] = true;
    }
    changed_.notify_all();
  }
}

FilePrefetch::File FilePrefetch::Load(const std::string& path) const {
  File file;
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) {
    file.error = "cannot read " + path + ": " + std::strerror(errno);
    return file;
  }
  struct stat info;
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    file.error = "cannot read " + path + ": not a regular file";
  } else if (info.st_size <= largest_loaded_) {
    file.loaded = true;
    file.bytes.resize(static_cast<size_t>(info.st_size));
    size_t done = 0;
    // The file may grow or shrink meanwhile: read until its end.
    for (;;) {
      if (done == file.bytes.size()) file.bytes.resize(done + 65536);
      ssize_t got = ::read(fd, &file.bytes[done], file.bytes.size() - done);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) {
        file.error = "cannot read " + path + ": " + std::strerror(errno);
        break;
      }
      if (got == 0) break;
      done += static_cast<size_t>(got);
    }
    file.bytes.resize(done);
  }
  ::close(fd);
  return file;
}

}  // namespace zoqcli
