// Advisory locks on a package file, shared by every program that uses this
// library, and the identity of a package file as it was read.
//
// A save holds the exclusive lock from the check that the file is still the
// one its model was read from until the new revision is linked (or the new
// file renamed over the old one). An open for writing reads the package
// under the shared lock, so that the identity it remembers belongs to a file
// no save was halfway through.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <ctime>
#include <string>

#include "zoq/package_layout.h"

namespace zoq {

struct FileIdentity {
  bool known = false;
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  timespec modified{};
};

// Reads the identity of the file at `path` (or of an open descriptor).
FileIdentity IdentityOfPath(const std::string& path);
FileIdentity IdentityOfDescriptor(int fd);
// Same file, same size, same modification time.
bool SameIdentity(const FileIdentity& a, const FileIdentity& b);

// True when the header in the file behind `fd` still links the entries that
// `header` describes (entry count and first-entry offset).
bool HeaderStillLinks(int fd, const HeaderFacts& header);

class PackageLock {
 public:
  PackageLock() = default;
  ~PackageLock() { Release(); }
  PackageLock(const PackageLock&) = delete;
  PackageLock& operator=(const PackageLock&) = delete;

  // Opens the file at `path` and locks it, waiting at most `wait_ms` for
  // other holders. The lock is on the file that the path names once it is
  // held: a file renamed over the path while we waited is locked in turn.
  // 0; kPackageLocked when the wait ran out; kFailed when the file cannot
  // be opened or locked at all.
  Status Acquire(const std::string& path, bool exclusive, int wait_ms);
  void Release();
  bool held() const { return fd_ >= 0; }
  int fd() const { return fd_; }

 private:
  int fd_ = -1;
};

}  // namespace zoq
