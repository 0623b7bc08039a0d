// Finding a program's binary schema folder: beside it, or where it was
// installed.
#include "zoq/schema_folder.h"

#include <sys/stat.h>

#include <cstdlib>

// Both are given by the build (cmake/InstallDirs.cmake).
#ifndef ZOQ_SCHEMA_DIR_FROM_BIN
#define ZOQ_SCHEMA_DIR_FROM_BIN "../share/zoq/BinarySchema"
#endif
#ifndef ZOQ_SCHEMA_DIR_ABSOLUTE
#define ZOQ_SCHEMA_DIR_ABSOLUTE "/usr/local/share/zoq/BinarySchema"
#endif

namespace zoq {
namespace {

bool IsFolder(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The folder without "." and ".." steps or links ("/usr/bin/../share/..."
// reads as "/usr/share/..." in messages), ending with "/".
std::string Resolved(const std::string& folder) {
  char* resolved = ::realpath(folder.c_str(), nullptr);
  if (resolved == nullptr) return folder;
  std::string out(resolved);
  std::free(resolved);
  if (out.back() != '/') out.push_back('/');
  return out;
}

}  // namespace

std::string FindSchemaFolder(const std::string& program_folder) {
  std::string base = program_folder.empty() ? std::string("./") : program_folder;
  if (base.back() != '/') base.push_back('/');
  const std::string beside = base + "Resource/BinarySchema/";
  if (IsFolder(beside)) return beside;
  const std::string relative = base + ZOQ_SCHEMA_DIR_FROM_BIN "/";
  if (IsFolder(relative)) return Resolved(relative);
  const std::string installed = ZOQ_SCHEMA_DIR_ABSOLUTE "/";
  if (IsFolder(installed)) return installed;
  return beside;
}

}  // namespace zoq
