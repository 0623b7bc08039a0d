// The process-wide pool of open file descriptors behind CVelFileStream.
// Read handles given back while another handle on the same path is still
// open are kept idle (at most 3 per path) and handed out again to the next
// reader, which spares reopening the package file for every part read.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "stream/rw_lock.h"

namespace zoq {

class FilePool {
 public:
  static constexpr size_t kMaxIdlePerPath = 3;

  static FilePool& Instance();

  FilePool() = default;
  ~FilePool();
  FilePool(const FilePool&) = delete;
  FilePool& operator=(const FilePool&) = delete;

  // Opens (or reuses) a descriptor on `path` for open mode 1..5. Answers the
  // descriptor, or -1 with errno set.
  int Take(const std::string& path, int mode, bool shared);

  // Gives a descriptor from Take back; it is kept idle or closed.
  void GiveBack(const std::string& path, int fd);

  // Forgets every idle descriptor on `path` and lets the ones in use close
  // when given back: called after the file at `path` was replaced, so that
  // no later reader is handed the old file.
  void DropIdle(const std::string& path);

  // State for tests: descriptors in use and idle on `path`.
  size_t OpenCount(const std::string& path);
  size_t IdleCount(const std::string& path);

 private:
  struct Handle {
    int fd;
    int mode;
    bool shared;
  };
  struct Entry {
    std::vector<Handle> open;
    std::vector<int> idle;  // most recently idled last
  };

  RwLock lock_;
  std::map<std::string, Entry> entries_;
};

// Opens `path` in open mode 1..5 without the pool: creating modes make new
// files exclusively with mode 0644 and never follow a symbolic link planted
// at the path; only regular files are accepted. Answers -1 with errno set.
int OpenFileForMode(const std::string& path, int mode);

}  // namespace zoq
