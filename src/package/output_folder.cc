#include "zoq/output_folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <utility>

#include "package/output_files.h"
#include "zoq/codes.h"

namespace zoq {
namespace {

// Files made here are ordinary user files; the umask narrows them.
constexpr mode_t kFileMode = 0666;

Status Fail(std::string* why, std::string text) {
  if (why != nullptr) *why = std::move(text);
  return kTargetFileFailed;
}

Status FailErrno(std::string* why, const std::string& what, int error) {
  return Fail(why, what + ": " + std::strerror(error));
}

std::string Join(const std::string& folder, const std::string& name) {
  return (folder == "/" ? std::string() : folder) + "/" + name;
}

// Hidden names for files on their way in and for files being replaced:
// unique within the process; the process id and the machine's name keep two
// processes apart and tell a later run whether the owner is still running.
constexpr char kHiddenPrefix[] = ".zoq-partial-";

// The machine's name as hidden names end in it: a folder shared between
// machines (a network file system) may hold hidden files of runs on each,
// and whether a run still goes on can only be told on its own machine.
// Empty when the system gives no name.
const std::string& HostTag() {
  static const std::string tag = [] {
    char host[256] = {};
    std::string made;
    if (::gethostname(host, sizeof host - 1) != 0) return made;
    for (const char* c = host; *c != '\0' && made.size() < 64; ++c) {
      const bool plain = (*c >= 'a' && *c <= 'z') || (*c >= 'A' && *c <= 'Z') ||
                         (*c >= '0' && *c <= '9') || *c == '.' || *c == '-' || *c == '_';
      made += plain ? *c : '_';
    }
    return made;
  }();
  return tag;
}

// A thread takes its last hidden name again unless `fresh` (after a clash):
// each use ends with the name gone, and the kernel then answers the next
// lookup of it from its cache of missing names, where a name never used
// before has the file system search the whole folder for it.
std::string HiddenName(bool fresh) {
  static std::atomic<unsigned> counter{0};
  thread_local std::string name;
  thread_local pid_t owner = 0;
  // Asked each time: a forked child is a process of its own.
  const pid_t pid = ::getpid();
  if (fresh || pid != owner || name.empty()) {
    owner = pid;
    name = kHiddenPrefix + std::to_string(pid) + "-" + std::to_string(counter++);
    if (!HostTag().empty()) name += "-" + HostTag();
  }
  return name;
}

// What the file system allows, found out at the first use and kept.
enum class Support { kUnknown, kYes, kNo };

// Whether unnamed files can be made and linked in: O_TMPFILE needs the file
// system's support, and linking one in needs /proc (linkat with an empty
// path is quicker, but older kernels refuse it with ENOENT to users
// without a capability).
std::atomic<Support> g_unnamed{Support::kUnknown};
std::atomic<Support> g_empty_path_link{Support::kUnknown};
// Whether two names can swap their files in one step (RENAME_EXCHANGE).
std::atomic<Support> g_exchange{Support::kUnknown};

int OpenUnnamed(int folder_fd) {
  Support state = g_unnamed.load(std::memory_order_relaxed);
  if (state == Support::kNo) return -1;
  if (state == Support::kUnknown && ::access("/proc/self/fd", X_OK) != 0) {
    g_unnamed = Support::kNo;
    return -1;
  }
  const int fd = ::openat(folder_fd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, kFileMode);
  if (fd >= 0) {
    g_unnamed = Support::kYes;
    return fd;
  }
  // Not supported here (an old kernel reports EISDIR): named files from now on.
  if (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL) g_unnamed = Support::kNo;
  return -1;
}

int LinkUnnamed(int fd, int folder_fd, const std::string& name) {
  // The empty path saves resolving a /proc path on every file.
  if (g_empty_path_link.load(std::memory_order_relaxed) != Support::kNo) {
    if (::linkat(fd, "", folder_fd, name.c_str(), AT_EMPTY_PATH) == 0) {
      g_empty_path_link = Support::kYes;
      return 0;
    }
    if (errno != ENOENT || g_empty_path_link == Support::kYes) return -1;
    g_empty_path_link = Support::kNo;
  }
  char proc[48];
  std::snprintf(proc, sizeof proc, "/proc/self/fd/%d", fd);
  return ::linkat(AT_FDCWD, proc, folder_fd, name.c_str(), AT_SYMLINK_FOLLOW);
}

// Whether a process with this id runs (one of another user counts).
bool Running(pid_t pid) { return ::kill(pid, 0) == 0 || errno != ESRCH; }

// Removes this user's hidden files left in the folder by runs that were
// killed: a file on its way in, or one being replaced.
void RemoveLeftovers(int folder_fd) {
  const int listing_fd = ::openat(folder_fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (listing_fd < 0) return;
  DIR* listing = ::fdopendir(listing_fd);
  if (listing == nullptr) {
    ::close(listing_fd);
    return;
  }
  const std::string_view prefix = kHiddenPrefix;
  const uid_t me = ::geteuid();
  while (const dirent* entry = ::readdir(listing)) {
    const std::string_view name = entry->d_name;
    if (name.substr(0, prefix.size()) != prefix) continue;
    const std::string_view rest = name.substr(prefix.size());
    // PID-N-HOST, or PID-N as older runs named them.
    const char* const stop = rest.data() + rest.size();
    pid_t pid = 0;
    const auto [end, error] = std::from_chars(rest.data(), stop, pid);
    if (error != std::errc() || end == rest.data() || end == stop || *end != '-' || pid <= 0) {
      continue;
    }
    unsigned long number = 0;
    const auto [after, bad] = std::from_chars(end + 1, stop, number);
    if (bad != std::errc() || after == end + 1) continue;
    if (after != stop && (*after != '-' || std::string_view(after + 1, stop - after - 1) !=
                                               std::string_view(HostTag()))) {
      continue;  // a run on another machine
    }
    if (Running(pid)) continue;
    struct stat st;
    if (::fstatat(folder_fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISREG(st.st_mode) && st.st_uid == me) {
      ::unlinkat(folder_fd, entry->d_name, 0);
    }
  }
  ::closedir(listing);
}

}  // namespace

void AllowUnnamedFiles(bool allowed) { g_unnamed = allowed ? Support::kUnknown : Support::kNo; }

bool IsSafeOutputName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of(std::string("/\\\0", 3)) == std::string::npos;
}

// ---- OutputFile ----

OutputFile::OutputFile(OutputFile&& other) noexcept { *this = std::move(other); }

OutputFile& OutputFile::operator=(OutputFile&& other) noexcept {
  if (this != &other) {
    Abandon();
    fd_ = std::exchange(other.fd_, -1);
    folder_fd_ = other.folder_fd_;
    name_ = std::move(other.name_);
    hidden_ = std::move(other.hidden_);
    shown_ = std::move(other.shown_);
    replace_ = other.replace_;
    keep_device_ = other.keep_device_;
    keep_inode_ = other.keep_inode_;
    replaced_in_folder_ = other.replaced_in_folder_;
    expect_replace_ = other.expect_replace_;
  }
  return *this;
}

OutputFile::~OutputFile() { Abandon(); }

void OutputFile::Abandon() {
  if (fd_ >= 0) ::close(std::exchange(fd_, -1));
  if (!hidden_.empty()) ::unlinkat(folder_fd_, hidden_.c_str(), 0);
  hidden_.clear();
}

Status OutputFile::Write(const void* bytes, size_t count, std::string* why) {
  if (fd_ < 0) return Fail(why, "cannot write " + shown_ + ": the file is not open");
  const char* next = static_cast<const char*>(bytes);
  while (count > 0) {
    const ssize_t written = ::write(fd_, next, count);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return FailErrno(why, "cannot write " + shown_, written == 0 ? EIO : errno);
    next += written;
    count -= static_cast<size_t>(written);
  }
  return kOk;
}

Status OutputFile::Commit(std::string* why) {
  if (fd_ < 0) return Fail(why, "cannot write " + shown_ + ": the file is not open");
  if (hidden_.empty()) {
    // An unnamed file: link it in.
    if (LinkUnnamed(fd_, folder_fd_, name_) == 0) {
      if (::close(std::exchange(fd_, -1)) != 0) {
        const int error = errno;
        ::unlinkat(folder_fd_, name_.c_str(), 0);
        return FailErrno(why, "cannot write " + shown_, error);
      }
      return kOk;
    }
    if (errno != EEXIST) {
      const int error = errno;
      Abandon();
      return FailErrno(why, "cannot create " + shown_, error);
    }
  } else {
    // A named temporary: close it (some file systems report write-back
    // errors only then) and put it in place unless something stands there.
    if (::close(std::exchange(fd_, -1)) != 0) {
      const int error = errno;
      Abandon();
      return FailErrno(why, "cannot write " + shown_, error);
    }
    if (expect_replace_) return Replace(why);
    if (::renameat2(folder_fd_, hidden_.c_str(), folder_fd_, name_.c_str(), RENAME_NOREPLACE) ==
        0) {
      hidden_.clear();
      return kOk;
    }
    // EINVAL and ENOSYS: the file system cannot rename that way; look first.
    if (errno != EEXIST && errno != EINVAL && errno != ENOSYS) {
      const int error = errno;
      Abandon();
      return FailErrno(why, "cannot create " + shown_, error);
    }
  }
  return Replace(why);
}

Status OutputFile::Replace(std::string* why) {
  // Only a regular file other than the package being read is replaced.
  std::string refusal;
  struct stat standing;
  const bool stands = ::fstatat(folder_fd_, name_.c_str(), &standing, AT_SYMLINK_NOFOLLOW) == 0;
  if (stands) {
    if (!replace_) {
      refusal = shown_ + " already exists";
    } else if (S_ISLNK(standing.st_mode)) {
      refusal = "a symbolic link stands where " + shown_ + " goes; it is left as it is";
    } else if (S_ISDIR(standing.st_mode)) {
      refusal = "a folder stands where the file " + shown_ + " goes";
    } else if (!S_ISREG(standing.st_mode)) {
      refusal = "something other than a file stands where " + shown_ + " goes";
    } else if (keep_inode_ != 0 && standing.st_dev == keep_device_ &&
               standing.st_ino == keep_inode_) {
      refusal = shown_ + " is the package being read; it is not written over";
    }
  } else if (errno != ENOENT) {
    refusal = "cannot look at " + shown_ + ": " + std::strerror(errno);
  }
  if (!refusal.empty()) {
    Abandon();
    return Fail(why, refusal);
  }
  // Files of killed runs are cleared from a folder the first time one of
  // its files is replaced (running the same extraction again does that).
  if (stands && replaced_in_folder_ != nullptr && !replaced_in_folder_->exchange(true)) {
    RemoveLeftovers(folder_fd_);
  }

  if (fd_ >= 0) {
    // An unnamed file goes in under a hidden name first.
    int error = 0;
    for (int attempt = 0; attempt < 16 && hidden_.empty(); ++attempt) {
      std::string hidden = HiddenName(attempt > 0);
      if (LinkUnnamed(fd_, folder_fd_, hidden) == 0) {
        hidden_ = std::move(hidden);
      } else if ((error = errno) != EEXIST) {
        break;
      }
    }
    if (hidden_.empty()) {
      Abandon();
      return FailErrno(why, "cannot create " + shown_, error);
    }
    if (::close(std::exchange(fd_, -1)) != 0) {
      error = errno;
      Abandon();
      return FailErrno(why, "cannot write " + shown_, error);
    }
  }

  // The two names swap their files in one step, so the name always holds
  // a whole file, and the old one leaves under the hidden name. Renaming
  // the new file over the old one would do the same in one call, but ext4
  // then starts writing the new file out at once, in the caller's time
  // (several times the cost of the swap and the removal together).
  if (stands && g_exchange.load(std::memory_order_relaxed) != Support::kNo) {
    if (::renameat2(folder_fd_, hidden_.c_str(), folder_fd_, name_.c_str(), RENAME_EXCHANGE) ==
        0) {
      g_exchange = Support::kYes;
      struct stat swapped;
      if (::fstatat(folder_fd_, hidden_.c_str(), &swapped, AT_SYMLINK_NOFOLLOW) == 0 &&
          swapped.st_dev == standing.st_dev && swapped.st_ino == standing.st_ino) {
        Abandon();  // removes the old file
        return kOk;
      }
      // Something else came to stand at the name meanwhile: it goes back.
      if (::renameat2(folder_fd_, hidden_.c_str(), folder_fd_, name_.c_str(), RENAME_EXCHANGE) ==
          0) {
        Abandon();
      } else {
        hidden_.clear();  // the name holds the new file; what came stays hidden
      }
      return Fail(why, shown_ + " changed while it was being replaced; it is left as it is");
    }
    if (errno == EINVAL || errno == ENOSYS) {
      g_exchange = Support::kNo;
    } else if (errno != ENOENT) {
      const int error = errno;
      Abandon();
      return FailErrno(why, "cannot create " + shown_, error);
    }
  }
  // The name is free again, or the file system cannot swap: rename (which
  // replaces a link that appeared meanwhile instead of following it).
  if (::renameat(folder_fd_, hidden_.c_str(), folder_fd_, name_.c_str()) != 0) {
    const int error = errno;
    Abandon();
    return FailErrno(why, "cannot create " + shown_, error);
  }
  hidden_.clear();
  return kOk;
}

// ---- OutputFolder ----

OutputFolder::OutputFolder(OutputFolder&& other) noexcept { *this = std::move(other); }

OutputFolder& OutputFolder::operator=(OutputFolder&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(other.fd_, -1);
    path_ = std::move(other.path_);
    keep_device_ = other.keep_device_;
    keep_inode_ = other.keep_inode_;
    replaced_in_folder_ = std::move(other.replaced_in_folder_);
  }
  return *this;
}

OutputFolder::~OutputFolder() {
  if (fd_ >= 0) ::close(fd_);
}

Status OutputFolder::Open(const std::string& path, OutputFolder* out, std::string* why) {
  if (path.empty()) return Fail(why, "no target folder given");
  const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return FailErrno(why, "cannot open folder " + path, errno);
  OutputFolder folder;
  folder.fd_ = fd;
  folder.path_ = path;
  folder.replaced_in_folder_ = std::make_unique<std::atomic<bool>>(false);
  while (folder.path_.size() > 1 && folder.path_.back() == '/') folder.path_.pop_back();
  *out = std::move(folder);
  return kOk;
}

Status OutputFolder::OpenOrCreate(const std::string& path, OutputFolder* out, std::string* why) {
  if (path.empty()) return Fail(why, "no target folder given");
  // Each missing level from the top down.
  for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
    const std::string level = path.substr(0, slash);
    if (!level.empty() && ::mkdir(level.c_str(), 0777) != 0 && errno != EEXIST) {
      return FailErrno(why, "cannot create folder " + level, errno);
    }
    if (slash == std::string::npos) break;
  }
  return Open(path, out, why);
}

Status OutputFolder::Subfolder(const std::string& name, unsigned mode, OutputFolder* out,
                            std::string* why) const {
  const std::string shown = Join(path_, name);
  if (!IsSafeOutputName(name)) return Fail(why, "refusing the unsafe name \"" + name + "\"");
  if (::mkdirat(fd_, name.c_str(), static_cast<mode_t>(mode)) != 0 && errno != EEXIST) {
    return FailErrno(why, "cannot create folder " + shown, errno);
  }
  const int fd = ::openat(fd_, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    const int error = errno;
    struct stat st;
    // O_NOFOLLOW with O_DIRECTORY reports a link as ELOOP or, on some
    // kernels, ENOTDIR: tell the two apart for the message.
    if (error == ELOOP ||
        (error == ENOTDIR && ::fstatat(fd_, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
         S_ISLNK(st.st_mode))) {
      return Fail(why, "a symbolic link stands where the folder " + shown + " goes");
    }
    if (error == ENOTDIR) return Fail(why, "a file stands where the folder " + shown + " goes");
    return FailErrno(why, "cannot open folder " + shown, error);
  }
  OutputFolder folder;
  folder.fd_ = fd;
  folder.path_ = shown;
  folder.replaced_in_folder_ = std::make_unique<std::atomic<bool>>(false);
  folder.keep_device_ = keep_device_;
  folder.keep_inode_ = keep_inode_;
  *out = std::move(folder);
  return kOk;
}

Status OutputFolder::CreateFile(const std::string& name, bool replace, OutputFile* out,
                             std::string* why) const {
  const std::string shown = Join(path_, name);
  if (!IsSafeOutputName(name)) return Fail(why, "refusing the unsafe name \"" + name + "\"");
  OutputFile file;
  file.folder_fd_ = fd_;
  file.name_ = name;
  file.shown_ = shown;
  file.replace_ = replace;
  file.keep_device_ = keep_device_;
  file.keep_inode_ = keep_inode_;
  file.replaced_in_folder_ = replaced_in_folder_.get();
  // After a replacement here the next file most likely replaces one too.
  file.expect_replace_ = replace && replaced_in_folder_ != nullptr &&
                         replaced_in_folder_->load(std::memory_order_relaxed);
  file.fd_ = file.expect_replace_ ? -1 : OpenUnnamed(fd_);
  if (file.fd_ < 0) {
    for (int attempt = 0; attempt < 16 && file.fd_ < 0; ++attempt) {
      file.hidden_ = HiddenName(attempt > 0);
      file.fd_ = ::openat(fd_, file.hidden_.c_str(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, kFileMode);
      if (file.fd_ < 0 && errno != EEXIST) break;
    }
    if (file.fd_ < 0) {
      file.hidden_.clear();
      return FailErrno(why, "cannot create a file in " + path_, errno);
    }
  }
  *out = std::move(file);
  return kOk;
}

void OutputFolder::KeepFile(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) == 0) {
    keep_device_ = st.st_dev;
    keep_inode_ = st.st_ino;
  }
}

}  // namespace zoq
