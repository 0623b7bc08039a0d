#include "cli/safe_folder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

#include "cli/failure.h"

namespace zoqcli {
namespace {

std::string Reason() { return std::strerror(errno); }

void WriteAll(int fd, const uint8_t* bytes, size_t count, const std::string& path) {
  while (count > 0) {
    ssize_t written = ::write(fd, bytes, count);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) throw ToolFailure("cannot write " + path + ": " + Reason());
    bytes += written;
    count -= static_cast<size_t>(written);
  }
}

std::string TemporaryName() {
  static const std::string prefix = ".zoq-partial-" + std::to_string(::getpid()) + "-";
  static std::atomic<unsigned> counter{0};
  return prefix + std::to_string(counter++);
}

}  // namespace

bool IsSafeName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
         name.find('\0') == std::string::npos;
}

FolderHandle FolderHandle::Open(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) throw ToolFailure("cannot open folder " + path + ": " + Reason());
  return FolderHandle(fd, path);
}

FolderHandle FolderHandle::OpenOrCreate(const std::string& path) {
  if (path.empty()) throw ToolFailure("no target folder given");
  // Create each missing level from the top down.
  for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
    std::string level = path.substr(0, slash);
    if (!level.empty() && ::mkdir(level.c_str(), 0777) != 0 && errno != EEXIST) {
      throw ToolFailure("cannot create folder " + level + ": " + Reason());
    }
    if (slash == std::string::npos) break;
  }
  return Open(path);
}

FolderHandle::FolderHandle(FolderHandle&& other) noexcept
    : fd_(other.fd_), path_(std::move(other.path_)) {
  other.fd_ = -1;
}

FolderHandle& FolderHandle::operator=(FolderHandle&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = other.fd_;
    path_ = std::move(other.path_);
    other.fd_ = -1;
  }
  return *this;
}

FolderHandle::~FolderHandle() {
  if (fd_ >= 0) ::close(fd_);
}

FolderHandle FolderHandle::Subfolder(const std::string& name) const {
  std::string path = path_ + "/" + name;
  if (!IsSafeName(name)) throw ToolFailure("refusing the unsafe name \"" + name + "\"");
  if (::mkdirat(fd_, name.c_str(), 0777) != 0 && errno != EEXIST) {
    throw ToolFailure("cannot create folder " + path + ": " + Reason());
  }
  int fd = ::openat(fd_, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) throw ToolFailure("cannot open folder " + path + ": " + Reason());
  return FolderHandle(fd, path);
}

void FolderHandle::WriteFile(const std::string& name,
                             const std::function<void(const Writer&)>& produce) const {
  std::string path = path_ + "/" + name;
  if (!IsSafeName(name)) throw ToolFailure("refusing the unsafe name \"" + name + "\"");
  std::string temporary = TemporaryName();
  int fd =
      ::openat(fd_, temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) throw ToolFailure("cannot create a file in " + path_ + ": " + Reason());
  try {
    produce([fd, &path](const uint8_t* bytes, size_t count) { WriteAll(fd, bytes, count, path); });
    if (::close(fd) != 0) {
      fd = -1;
      throw ToolFailure("cannot write " + path + ": " + Reason());
    }
    fd = -1;
    if (::renameat(fd_, temporary.c_str(), fd_, name.c_str()) != 0) {
      throw ToolFailure("cannot write " + path + ": " + Reason());
    }
  } catch (...) {
    if (fd >= 0) ::close(fd);
    ::unlinkat(fd_, temporary.c_str(), 0);
    throw;
  }
}

}  // namespace zoqcli
