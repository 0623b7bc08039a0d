#include "app/work_folder.h"

#include <QByteArray>
#include <QDir>
#include <QFile>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

namespace zoqe {

namespace {

constexpr int kMaxAttempts = 100000;
const char kWorkPrefix[] = "~ZOQEXPLORER";
const char kPlaceholderPrefix[] = "~~ZOQ";
const char kPackageTempPrefix[] = "~ZOQPAC";

QString TempBase(const QString& temp_dir) {
  QString base = temp_dir;
  if (base.isEmpty()) base = qEnvironmentVariable("TMPDIR");
  if (base.isEmpty()) base = QStringLiteral("/tmp");
  while (base.size() > 1 && base.endsWith(QLatin1Char('/'))) base.chop(1);
  return base;
}

bool IsWorkFolderName(const char* name) {
  const size_t prefix = sizeof kWorkPrefix - 1;
  if (std::strncmp(name, kWorkPrefix, prefix) != 0 || name[prefix] == '\0') return false;
  for (const char* c = name + prefix; *c; ++c) {
    if (*c < '0' || *c > '9') return false;
  }
  return true;
}

// "~~ZOQ" and four hex digits and ".tmp": the placeholder that once reserved
// an extracted file's name.
bool IsPlaceholderName(const char* name) {
  const size_t prefix = sizeof kPlaceholderPrefix - 1;
  if (std::strncmp(name, kPlaceholderPrefix, prefix) != 0) return false;
  for (int i = 0; i < 4; ++i) {
    if (!std::isxdigit(static_cast<unsigned char>(name[prefix + i]))) return false;
  }
  return std::strcmp(name + prefix + 4, ".tmp") == 0;
}

// Removes the leftovers inside the work folder open as `dir_fd`, whose lock
// this process holds. Returns how many entries went.
int TidyFolder(int dir_fd, const QString& path) {
  const int list_fd = ::openat(dir_fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (list_fd < 0) return 0;
  DIR* dir = ::fdopendir(list_fd);
  if (!dir) {
    ::close(list_fd);
    return 0;
  }
  int removed = 0;
  const uid_t me = ::getuid();
  while (const dirent* entry = ::readdir(dir)) {
    struct stat info {};
    if (::fstatat(dir_fd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0 || info.st_uid != me) {
      continue;
    }
    if (S_ISREG(info.st_mode) && info.st_size == 0 && IsPlaceholderName(entry->d_name)) {
      if (::unlinkat(dir_fd, entry->d_name, 0) == 0) ++removed;
    } else if (S_ISDIR(info.st_mode) &&
               std::strncmp(entry->d_name, kPackageTempPrefix, sizeof kPackageTempPrefix - 1) ==
                   0) {
      // Every package the ended run had open is closed: nothing in its
      // folder is in use.
      if (QDir(path + QLatin1Char('/') + QFile::decodeName(entry->d_name)).removeRecursively()) {
        ++removed;
      }
    }
  }
  ::closedir(dir);
  return removed;
}

}  // namespace

QString CreateWorkFolder(const QString& temp_dir) {
  const QString base = TempBase(temp_dir);
  for (int n = 0; n < kMaxAttempts; ++n) {
    const QString path = base + QLatin1Char('/') + QLatin1String(kWorkPrefix) + QString::number(n);
    const QByteArray native = QFile::encodeName(path);
    // mkdir fails with EEXIST when anything of that name exists, which makes
    // the creation exclusive; the mode keeps the folder private.
    if (::mkdir(native.constData(), 0700) == 0) {
      // A umask can only remove bits; make sure nothing else was granted.
      ::chmod(native.constData(), 0700);
      // The descriptor stays open for the life of the process (and is not
      // handed to programs started from it): while it is open the folder
      // is this run's. The lock waits for a starting run that is looking
      // into the new folder to finish.
      const int fd = ::open(native.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
      if (fd >= 0 && ::flock(fd, LOCK_EX) != 0) ::close(fd);
      return path + QLatin1Char('/');
    }
    if (errno != EEXIST) return QString();
  }
  return QString();
}

int TidyEarlierWorkFolders(const QString& temp_dir) {
  const QString base = TempBase(temp_dir);
  DIR* dir = ::opendir(QFile::encodeName(base).constData());
  if (!dir) return 0;
  const int base_fd = ::dirfd(dir);
  const uid_t me = ::getuid();
  int removed = 0;
  while (const dirent* entry = ::readdir(dir)) {
    if (!IsWorkFolderName(entry->d_name)) continue;
    const int fd =
        ::openat(base_fd, entry->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat info {};
    // A folder still in use keeps its lock; one of another user is theirs.
    if (::fstat(fd, &info) == 0 && info.st_uid == me && ::flock(fd, LOCK_EX | LOCK_NB) == 0) {
      removed += TidyFolder(fd, base + QLatin1Char('/') + QFile::decodeName(entry->d_name));
    }
    ::close(fd);
  }
  ::closedir(dir);
  return removed;
}

}  // namespace zoqe
