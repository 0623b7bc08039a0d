// The container's private temporary directory, the files in it, and the
// ownership of temporaries: a temporary folder ("~ZOQPAC-...") or save
// temporary (".~zoq-...") belongs to the process that holds an exclusive
// flock on it. The lock goes when the owner does, however it ends, so the
// next one to look can tell a leftover of a killed process from a temporary
// that is still in use, and removes the leftover.
#pragma once

#include <string>
#include <string_view>

#include "zoq/result.h"

namespace zoq {

// $TMPDIR, else /tmp (no trailing "/").
std::string SystemTempDir();

// A descriptor that holds the owner's lock on a temporary; closing it (or
// the process ending) gives the temporary up.
class OwnerLock {
 public:
  OwnerLock() = default;
  explicit OwnerLock(int fd) : fd_(fd) {}
  ~OwnerLock() { Reset(); }
  OwnerLock(OwnerLock&& other) noexcept : fd_(other.Release()) {}
  OwnerLock& operator=(OwnerLock&& other) noexcept {
    if (this != &other) {
      Reset();
      fd_ = other.Release();
    }
    return *this;
  }
  int fd() const { return fd_; }
  int Release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }
  void Reset();

 private:
  int fd_ = -1;
};

// The name prefixes of owned temporaries.
constexpr std::string_view kTempDirPrefix = "~ZOQPAC-";
constexpr std::string_view kSaveTempPrefix = ".~zoq-";

// Makes a new directory "~ZOQPAC-......" (mode 0700) below `base` (empty:
// the system temporary directory; a missing base is created, and when that
// fails the system temporary directory is used), held by `lock`. Leftover
// temporary directories of processes that no longer run are removed from
// the base first. *out ends with "/". kSiteTempDirCreate when the directory cannot be
// made, 5065 when no usable base exists.
Status MakeContainerTempDir(const std::string& base, std::string* out, OwnerLock* lock);

// Creates a new empty file "<dir>/<prefix>XXXXXX", exclusively and with
// mode 0600, held by `lock`, whose descriptor is open for reading and
// writing. False when none can be made.
bool MakeOwnedFile(const std::string& dir, std::string_view prefix, std::string* path,
                   OwnerLock* lock);

// Removes the entries of `dir` whose names begin with `prefix` (folders
// with everything below them when `folders`, else files) that belong to
// this user and to no running process. Entries it cannot open are left.
void RemoveOwnerless(const std::string& dir, std::string_view prefix, bool folders);

// RemoveOwnerless for the save temporaries beside the package file at
// `package_path`.
void RemoveOwnerlessSaveTemporaries(const std::string& package_path);

// Creates a new empty file "~~ZOQ......" in `dir` (which ends with "/"),
// exclusively and with mode 0600. 5065 on failure.
Status MakeTempFile(const std::string& dir, std::string* out);

// Deletes a directory with everything below it; read-only entries are made
// writable first. Missing paths are ignored.
void RemoveTree(const std::string& path);

}  // namespace zoq
