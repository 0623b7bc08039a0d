#include "package/package_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>

#include "package/header.h"
#include "zoq/codes.h"

namespace zoq {
namespace {

FileIdentity IdentityOfStat(int result, const struct stat& st) {
  FileIdentity id;
  if (result != 0) return id;
  id.known = true;
  id.device = st.st_dev;
  id.inode = st.st_ino;
  id.size = st.st_size;
  id.modified = st.st_mtim;
  return id;
}

uint64_t LoadLittle(const uint8_t* p, int width) {
  uint64_t value = 0;
  for (int i = width - 1; i >= 0; --i) value = (value << 8) | p[i];
  return value;
}

}  // namespace

FileIdentity IdentityOfDescriptor(int fd) {
  struct stat st;
  return IdentityOfStat(fstat(fd, &st), st);
}

FileIdentity IdentityOfPath(const std::string& path) {
  struct stat st;
  return IdentityOfStat(stat(path.c_str(), &st), st);
}

bool SameIdentity(const FileIdentity& a, const FileIdentity& b) {
  return a.known && b.known && a.device == b.device && a.inode == b.inode && a.size == b.size &&
         a.modified.tv_sec == b.modified.tv_sec && a.modified.tv_nsec == b.modified.tv_nsec;
}

bool HeaderStillLinks(int fd, const HeaderFacts& header) {
  const int width = header.width;
  if (width != 2 && width != 4 && width != 8) return false;
  uint8_t bytes[kHeaderFixedSize + 8];
  const ssize_t want = kHeaderFixedSize + width;
  if (pread(fd, bytes, static_cast<size_t>(want), 0) != want) return false;
  return LoadLittle(bytes + 16, 4) == static_cast<uint32_t>(header.entry_count) &&
         LoadLittle(bytes + kHeaderFixedSize, width) == static_cast<uint64_t>(header.first_entry);
}

Status PackageLock::Acquire(const std::string& path, bool exclusive, int wait_ms) {
  Release();
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(wait_ms, 0));
  auto pause = std::chrono::milliseconds(1);
  for (;;) {
    // Non-blocking, so that a FIFO planted at the path cannot hang us.
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return kFailed;
    struct stat held, named;
    if (fstat(fd, &held) != 0 || !S_ISREG(held.st_mode)) {
      close(fd);
      return kFailed;
    }
    for (;;) {
      if (flock(fd, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) == 0) break;
      if (errno == EINTR) continue;
      if (errno != EWOULDBLOCK || Clock::now() >= deadline) {
        const bool busy = errno == EWOULDBLOCK;
        close(fd);
        return busy ? int{kPackageLocked} : int{kFailed};
      }
      std::this_thread::sleep_for(std::min<Clock::duration>(pause, deadline - Clock::now()));
      pause = std::min(pause * 2, std::chrono::milliseconds(32));
    }
    // The holder we waited for may have renamed a new file over the path:
    // then that one is the package now.
    if (stat(path.c_str(), &named) == 0 && named.st_dev == held.st_dev &&
        named.st_ino == held.st_ino) {
      fd_ = fd;
      return kOk;
    }
    close(fd);
    if (Clock::now() >= deadline) return kPackageLocked;
  }
}

void PackageLock::Release() {
  if (fd_ >= 0) close(fd_);  // closing the only descriptor drops the lock
  fd_ = -1;
}

}  // namespace zoq
