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
      work_(
          paths_.size(), workers, 4 * static_cast<size_t>(workers < 1 ? 1 : workers), bytes_ahead,
          [this, largest_loaded](size_t index) { return Load(paths_[index], largest_loaded); },
          [](const File& file) { return static_cast<int64_t>(file.bytes.size()); }) {}

FilePrefetch::File FilePrefetch::TakeNext() {
  File file;
  if (!work_.TakeNext(&file)) return File{false, {}, "no more files"};
  return file;
}

FilePrefetch::File FilePrefetch::Load(const std::string& path, int64_t largest_loaded) {
  File file;
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) {
    file.error = "cannot read " + path + ": " + std::strerror(errno);
    return file;
  }
  struct stat info;
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    file.error = "cannot read " + path + ": not a regular file";
  } else if (info.st_size <= largest_loaded) {
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
