#include "stream/file_pool.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "zoq/stream.h"

namespace zoq {
namespace {

constexpr int kCommonFlags = O_CLOEXEC | O_NONBLOCK;
constexpr mode_t kNewFileMode = 0644;

// Clears O_NONBLOCK (set only so that opening a FIFO cannot hang) and refuses
// anything but a regular file.
int FinishOpen(int fd) {
  if (fd < 0) return -1;
  struct stat st;
  if (fstat(fd, &st) != 0) {
    int saved = errno;
    close(fd);
    errno = saved;
    return -1;
  }
  if (!S_ISREG(st.st_mode)) {
    close(fd);
    errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    return -1;
  }
  int flags = fcntl(fd, F_GETFL);
  if (flags >= 0) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  return fd;
}

// Creating modes: a missing file is made with O_EXCL; an existing one is
// opened without following a symbolic link and then truncated when asked.
int OpenCreating(const std::string& path, int access_flags, bool truncate) {
  for (int attempt = 0; attempt < 8; ++attempt) {
    int fd = open(path.c_str(), access_flags | O_CREAT | O_EXCL | O_NOFOLLOW | kCommonFlags,
                  kNewFileMode);
    if (fd >= 0) return FinishOpen(fd);
    if (errno != EEXIST) return -1;
    fd = FinishOpen(open(path.c_str(), access_flags | O_NOFOLLOW | kCommonFlags));
    if (fd >= 0) {
      if (truncate && ftruncate(fd, 0) != 0) {
        int saved = errno;
        close(fd);
        errno = saved;
        return -1;
      }
      return fd;
    }
    if (errno != ENOENT) return -1;  // removed in between: try creating again
  }
  return -1;
}

}  // namespace

int OpenFileForMode(const std::string& path, int mode) {
  switch (mode) {
    case kModeRead:
      return FinishOpen(open(path.c_str(), O_RDONLY | kCommonFlags));
    case kModeWrite:
      return OpenCreating(path, O_WRONLY, true);
    case kModeAppend:
      // Writes go to base + position, so O_APPEND is not needed and would
      // forbid rewriting bytes appended earlier in the same session.
      return OpenCreating(path, O_WRONLY, false);
    case kModeReadWrite:
      return FinishOpen(open(path.c_str(), O_RDWR | kCommonFlags));
    case kModeReadWriteNew:
      return OpenCreating(path, O_RDWR, true);
    default:
      errno = EINVAL;
      return -1;
  }
}

FilePool& FilePool::Instance() {
  static FilePool pool;
  return pool;
}

FilePool::~FilePool() {
  for (auto& [path, entry] : entries_) {
    for (int fd : entry.idle) close(fd);
    // Descriptors still in use belong to live streams, which close them
    // through GiveBack; at exit the process releases them.
  }
}

int FilePool::Take(const std::string& path, int mode, bool shared) {
  WriteLockGuard guard(lock_);
  Entry& entry = entries_[path];
  if (mode == kModeRead && !entry.idle.empty()) {
    int fd = entry.idle.back();
    entry.idle.pop_back();
    entry.open.push_back({fd, mode, shared});
    return fd;
  }
  // Linux has no share modes: every open lets other openers read and write,
  // which is what the shared flag asks for and harmless without it.
  int fd = OpenFileForMode(path, mode);
  if (fd < 0) {
    if (entry.open.empty() && entry.idle.empty()) entries_.erase(path);
    return -1;
  }
  entry.open.push_back({fd, mode, shared});
  return fd;
}

void FilePool::GiveBack(const std::string& path, int fd) {
  WriteLockGuard guard(lock_);
  auto it = entries_.find(path);
  if (it == entries_.end()) {
    close(fd);
    return;
  }
  Entry& entry = it->second;
  auto handle = std::find_if(entry.open.begin(), entry.open.end(),
                             [fd](const Handle& h) { return h.fd == fd; });
  int mode = handle != entry.open.end() ? handle->mode : 0;
  if (handle != entry.open.end()) entry.open.erase(handle);
  if (mode == kModeRead && entry.idle.size() < kMaxIdlePerPath) {
    entry.idle.push_back(fd);
  } else {
    close(fd);
  }
  if (entry.open.empty()) {
    for (int idle : entry.idle) close(idle);
    entries_.erase(it);
  }
}

size_t FilePool::OpenCount(const std::string& path) {
  WriteLockGuard guard(lock_);
  auto it = entries_.find(path);
  return it == entries_.end() ? 0 : it->second.open.size();
}

void FilePool::DropIdle(const std::string& path) {
  WriteLockGuard guard(lock_);
  auto it = entries_.find(path);
  if (it == entries_.end()) return;
  for (int fd : it->second.idle) close(fd);
  it->second.idle.clear();
  for (Handle& handle : it->second.open) handle.mode = kModeClose;
}

size_t FilePool::IdleCount(const std::string& path) {
  WriteLockGuard guard(lock_);
  auto it = entries_.find(path);
  return it == entries_.end() ? 0 : it->second.idle.size();
}

}  // namespace zoq
