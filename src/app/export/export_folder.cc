#include "app/export/export_folder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <utility>

namespace zoqe {
namespace {

// Files that export makes are ordinary user files; the umask narrows them.
constexpr mode_t kFileMode = 0666;

std::string FreshName() {
  static std::atomic<unsigned> counter{0};
  return ".zoqe-partial-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
}

}  // namespace

bool IsSafeExportName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of(std::string("/\\\0", 3)) == std::string::npos;
}

bool WriteAllBytes(int fd, const void* bytes, size_t count) {
  const char* next = static_cast<const char*>(bytes);
  while (count > 0) {
    const ssize_t written = ::write(fd, next, count);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      if (written == 0) errno = EIO;
      return false;
    }
    next += written;
    count -= static_cast<size_t>(written);
  }
  return true;
}

ExportFolder::ExportFolder(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}

ExportFolder::ExportFolder(ExportFolder&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), path_(std::move(other.path_)) {}

ExportFolder& ExportFolder::operator=(ExportFolder&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(other.fd_, -1);
    path_ = std::move(other.path_);
  }
  return *this;
}

ExportFolder::~ExportFolder() {
  if (fd_ >= 0) ::close(fd_);
}

ExportFolder::Result ExportFolder::Open(const std::string& path, ExportFolder* out) {
  if (path.empty()) {
    errno = ENOENT;
    return Result::kSystemError;
  }
  const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return errno == ENOTDIR ? Result::kNotAFolder : Result::kSystemError;
  std::string shown = path;
  while (shown.size() > 1 && shown.back() == '/') shown.pop_back();
  *out = ExportFolder(fd, std::move(shown));
  return Result::kOk;
}

ExportFolder::Result ExportFolder::Subfolder(const std::string& name, unsigned mode,
                                             ExportFolder* out) const {
  if (!IsSafeExportName(name)) return Result::kUnsafeName;
  if (::mkdirat(fd_, name.c_str(), static_cast<mode_t>(mode)) != 0 && errno != EEXIST) {
    return Result::kSystemError;
  }
  const int fd = ::openat(fd_, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ELOOP) return Result::kLink;
    if (errno == ENOTDIR) {
      // O_NOFOLLOW with O_DIRECTORY reports a link to a folder as ENOTDIR on
      // some kernels: tell the two apart for the caller.
      struct stat st;
      if (::fstatat(fd_, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode)) {
        return Result::kLink;
      }
      return Result::kNotAFolder;
    }
    return Result::kSystemError;
  }
  *out = ExportFolder(fd, (path_ == "/" ? std::string() : path_) + "/" + name);
  return Result::kOk;
}

ExportFolder::Result ExportFolder::WriteFile(const std::string& name,
                                             const Producer& produce) const {
  if (!IsSafeExportName(name)) return Result::kUnsafeName;
  std::string fresh;
  int fd = -1;
  for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
    fresh = FreshName();
    fd = ::openat(fd_, fresh.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                  kFileMode);
    if (fd < 0 && errno != EEXIST) return Result::kSystemError;
  }
  if (fd < 0) return Result::kSystemError;
  const bool produced = produce(fd);
  // close reports write-back errors some file systems only see then.
  const bool closed = ::close(fd) == 0;
  if (!produced || !closed) {
    ::unlinkat(fd_, fresh.c_str(), 0);
    return produced ? Result::kSystemError : Result::kWriteFailed;
  }
  return PlaceFile(fresh, name);
}

ExportFolder::Result ExportFolder::PlaceFile(const std::string& fresh,
                                             const std::string& name) const {
  // Mostly nothing stands at `name` yet: a rename that never replaces
  // settles that without looking first.
  if (::renameat2(fd_, fresh.c_str(), fd_, name.c_str(), RENAME_NOREPLACE) == 0) {
    return Result::kOk;
  }
  Result result = Result::kOk;
  struct stat st;
  // EINVAL and ENOSYS say the file system cannot rename that way: look.
  if (errno != EEXIST && errno != EINVAL && errno != ENOSYS) {
    result = Result::kSystemError;
  } else if (::fstatat(fd_, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
             (S_ISLNK(st.st_mode) || S_ISDIR(st.st_mode))) {
    // A link planted where the file goes is refused rather than replaced, so
    // that the user notices it; a folder cannot be replaced by a file.
    result = S_ISLNK(st.st_mode) ? Result::kLink : Result::kNotAFolder;
  } else if (::renameat(fd_, fresh.c_str(), fd_, name.c_str()) == 0) {
    // rename replaces a link that appeared meanwhile instead of following it.
    return Result::kOk;
  } else {
    result = Result::kSystemError;
  }
  const int saved = errno;
  ::unlinkat(fd_, fresh.c_str(), 0);
  errno = saved;
  return result;
}

}  // namespace zoqe
