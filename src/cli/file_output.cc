#include "cli/file_output.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <utility>

#include "cli/failure.h"
#include "zoq/output_folder.h"

namespace zoqcli {

std::string ReadWholeFile(const std::string& path) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                       &std::fclose);
  if (!file) throw ToolFailure("cannot read " + path + ": " + std::strerror(errno));
  std::string content;
  char piece[1 << 16];
  for (;;) {
    size_t got = std::fread(piece, 1, sizeof piece, file.get());
    content.append(piece, got);
    if (got < sizeof piece) break;
  }
  if (std::ferror(file.get())) throw ToolFailure("cannot read " + path);
  return content;
}

CreatedFile::CreatedFile(const std::string& path) : path_(path) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0 && errno == EEXIST) throw ToolFailure(path + " exists already");
  if (fd < 0) throw ToolFailure("cannot create " + path + ": " + std::strerror(errno));
  ::close(fd);
}

CreatedFile::~CreatedFile() {
  if (!kept_) ::unlink(path_.c_str());
}

namespace {

// The folder part of a path ("." for a bare name) and the name.
std::pair<std::string, std::string> SplitPath(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return {".", path};
  return {slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1)};
}

[[noreturn]] void ThrowExists(const std::string& path) {
  throw ToolFailure(path + " exists already (--force replaces it)");
}

}  // namespace

Existing ExistingRule(bool force) { return force ? Existing::kReplace : Existing::kRefuse; }

void CheckTarget(const std::string& path, Existing existing) {
  struct stat info;
  if (existing == Existing::kRefuse && ::lstat(path.c_str(), &info) == 0) ThrowExists(path);
}

std::string TemporaryBeside(const std::string& path) {
  auto [folder, name] = SplitPath(path);
  uint64_t random = 0;
  if (::getrandom(&random, sizeof random, 0) != sizeof random) {
    random = static_cast<uint64_t>(::getpid()) << 32 ^ static_cast<uint64_t>(::time(nullptr));
  }
  char suffix[24];
  std::snprintf(suffix, sizeof suffix, ".~zoq-%016llx", static_cast<unsigned long long>(random));
  return folder + "/." + name + suffix;
}

void PlaceFile(const std::string& temporary, const std::string& path, Existing existing) {
  auto fail = [&](const std::string& why) {
    ::unlink(temporary.c_str());
    throw ToolFailure("cannot write " + path + ": " + why);
  };
  if (existing == Existing::kReplace) {
    if (::rename(temporary.c_str(), path.c_str()) != 0) fail(std::strerror(errno));
    return;
  }
  if (::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE) == 0) {
    return;
  }
  if (errno == EINVAL || errno == ENOSYS || errno == ENOTSUP) {
    // A file system without no-replace renames: a hard link cannot replace
    // either.
    if (::link(temporary.c_str(), path.c_str()) == 0) {
      ::unlink(temporary.c_str());
      return;
    }
  }
  if (errno == EEXIST) {
    ::unlink(temporary.c_str());
    ThrowExists(path);
  }
  fail(std::strerror(errno));
}

void WriteResult(const std::string& path, const void* bytes, size_t count, Output& out,
                 Existing existing) {
  WriteResultPieces(
      path, [bytes, count](const ResultWriter& write) { write(static_cast<const uint8_t*>(bytes), count); },
      out, existing);
}

void WriteResultPieces(const std::string& path, const std::function<void(const ResultWriter&)>& produce,
                       Output& out, Existing existing) {
  if (path.empty() || path == "-") {
    produce([&out](const uint8_t* bytes, size_t count) { out.Write(bytes, count); });
    return;
  }
  auto [folder, name] = SplitPath(path);
  CheckTarget(path, existing);
  zoq::OutputFolder target;
  zoq::OutputFile file;
  std::string why;
  if (zoq::OutputFolder::Open(folder, &target, &why) != zoq::kOk ||
      target.CreateFile(name, existing == Existing::kReplace, &file, &why) != zoq::kOk) {
    throw ToolFailure(why);
  }
  // An exception from `produce` leaves the file unnamed, and it goes.
  produce([&file](const uint8_t* bytes, size_t count) {
    std::string failure;
    if (file.Write(bytes, count, &failure) != zoq::kOk) throw ToolFailure(failure);
  });
  if (file.Commit(&why) != zoq::kOk) {
    struct stat info;
    // Something appeared at the path while the result was made.
    if (existing == Existing::kRefuse && ::lstat(path.c_str(), &info) == 0) ThrowExists(path);
    throw ToolFailure(why);
  }
}

}  // namespace zoqcli
