#include "package/temp_files.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "zoq/codes.h"

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

}  // namespace

std::string SystemTempDir() {
  const char* env = std::getenv("TMPDIR");
  if (env != nullptr && *env != '\0' && IsDirectory(env)) return DropTrailingSlashes(env);
  return "/tmp";
}

int MakeContainerTempDir(const std::string& base, std::string* out) {
  std::string dir = base.empty() ? SystemTempDir() : DropTrailingSlashes(base);
  if (!IsDirectory(dir)) {
    mkdir(dir.c_str(), 0700);
    if (!IsDirectory(dir)) dir = SystemTempDir();
    if (!IsDirectory(dir)) return kTempFileProblem;
  }
  std::string pattern = (dir == "/" ? "" : dir) + "/~ZOQPACXXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (mkdtemp(buffer.data()) == nullptr) return kSiteTempDirCreate;
  std::string made(buffer.data());
  if (!IsDirectory(made)) return kTempFileProblem;
  *out = made + "/";
  return kOk;
}

int MakeTempFile(const std::string& dir, std::string* out) {
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
