#include "package/temp_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "zoq/codes.h"
#include "zoq/container.h"

namespace zoq {
namespace {

bool IsDirectory(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string DropTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

// Whether `path` still names the file that `fd` has open.
bool StillNames(const std::string& path, int fd) {
  struct stat by_path, by_fd;
  return lstat(path.c_str(), &by_path) == 0 && fstat(fd, &by_fd) == 0 &&
         by_path.st_dev == by_fd.st_dev && by_path.st_ino == by_fd.st_ino;
}

// Takes the owner's lock on a temporary just made at `path` through `fd`.
// A process tidying up may have taken it first, or removed the temporary
// in between: then this one is given up (the tidying removes it) and the
// caller makes another.
bool Claim(const std::string& path, int fd, OwnerLock* lock) {
  OwnerLock held(fd);
  // A file system without locks leaves the temporary unowned: nobody can
  // take it for a leftover then, and it is used all the same.
  if (flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) return false;
  if (!StillNames(path, fd)) return false;
  *lock = std::move(held);
  return true;
}

std::string TemplateIn(const std::string& dir, std::string_view prefix) {
  return (dir == "/" ? "" : dir) + "/" + std::string(prefix) + "XXXXXX";
}

}  // namespace

std::string SystemTempDir() {
  const char* env = std::getenv("TMPDIR");
  if (env != nullptr && *env != '\0' && IsDirectory(env)) return DropTrailingSlashes(env);
  return "/tmp";
}

void OwnerLock::Reset() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
}

Status MakeContainerTempDir(const std::string& base, std::string* out, OwnerLock* lock) {
  std::string dir = base.empty() ? SystemTempDir() : DropTrailingSlashes(base);
  if (!IsDirectory(dir)) {
    mkdir(dir.c_str(), 0700);
    if (!IsDirectory(dir)) dir = SystemTempDir();
    if (!IsDirectory(dir)) return kTempFileProblem;
  }
  RemoveOwnerless(dir, kTempDirPrefix, true);
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string made = TemplateIn(dir, kTempDirPrefix);
    if (mkdtemp(made.data()) == nullptr) return kSiteTempDirCreate;
    const int fd = open(made.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) continue;  // removed by someone tidying up: make another
    if (!Claim(made, fd, lock)) continue;
    *out = made + "/";
    return kOk;
  }
  return kTempFileProblem;
}

bool MakeOwnedFile(const std::string& dir, std::string_view prefix, std::string* path,
                   OwnerLock* lock) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string made = TemplateIn(dir, prefix);
    const int fd = mkostemp(made.data(), O_CLOEXEC);  // O_CREAT | O_EXCL, mode 0600
    if (fd < 0) return false;
    if (!Claim(made, fd, lock)) continue;
    *path = made;
    return true;
  }
  return false;
}

void RemoveOwnerless(const std::string& dir, std::string_view prefix, bool folders) {
  DIR* listing = opendir(dir.c_str());
  if (listing == nullptr) return;
  std::vector<std::string> names;
  while (const dirent* e = readdir(listing)) {
    if (std::string_view(e->d_name).substr(0, prefix.size()) == prefix) names.push_back(e->d_name);
  }
  closedir(listing);
  const uid_t me = geteuid();
  for (const std::string& name : names) {
    const std::string path = (dir == "/" ? "" : dir) + "/" + name;
    const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC |
                                          (folders ? O_DIRECTORY : 0));
    if (fd < 0) continue;
    OwnerLock held(fd);
    struct stat st;
    if (fstat(fd, &st) != 0 || st.st_uid != me || (folders ? !S_ISDIR(st.st_mode) : !S_ISREG(st.st_mode))) {
      continue;
    }
    // The lock is free only when its owner is gone; holding it while the
    // entry goes keeps a process that just made it from taking it up.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0 || !StillNames(path, fd)) continue;
    if (folders) {
      RemoveTree(path);
    } else {
      unlink(path.c_str());
    }
  }
}

void RemoveStaleTemporaries(const std::string& temp_base_dir) {
  RemoveOwnerless(temp_base_dir.empty() ? SystemTempDir() : DropTrailingSlashes(temp_base_dir),
                  kTempDirPrefix, true);
}

void RemoveOwnerlessSaveTemporaries(const std::string& package_path) {
  const size_t slash = package_path.rfind('/');
  const std::string dir = slash == std::string::npos ? "."
                          : slash == 0               ? "/"
                                                     : package_path.substr(0, slash);
  RemoveOwnerless(dir, kSaveTempPrefix, false);
}

Status MakeTempFile(const std::string& dir, std::string* out) {
  if (dir.empty()) return kTempFileProblem;
  std::string pattern = dir + "~~ZOQXXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  int fd = mkstemp(buffer.data());  // O_CREAT | O_EXCL, mode 0600
  if (fd < 0) return kTempFileProblem;
  close(fd);
  *out = buffer.data();
  return kOk;
}

void RemoveTree(const std::string& path) {
  std::string target = DropTrailingSlashes(path);
  struct stat st;
  if (lstat(target.c_str(), &st) != 0) return;
  if (S_ISDIR(st.st_mode)) {
    chmod(target.c_str(), 0700);
    if (DIR* dir = opendir(target.c_str())) {
      std::vector<std::string> names;
      while (dirent* e = readdir(dir)) {
        std::string name = e->d_name;
        if (name != "." && name != "..") names.push_back(name);
      }
      closedir(dir);
      for (const std::string& name : names) RemoveTree(target + "/" + name);
    }
    rmdir(target.c_str());
  } else {
    unlink(target.c_str());
  }
}

}  // namespace zoq
