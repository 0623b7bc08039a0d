// A folder that export writes into, reached through a directory handle so
// that nothing is ever written outside it: names that could climb out or
// name several levels ("", ".", "..", names with "/", "\" or NUL) are
// refused, symbolic links are never followed below the folder, and a file
// appears under its name only once it is complete.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace zoqe {

// Whether `name` (UTF-8) can stand as one file or folder name below a folder.
bool IsSafeExportName(const std::string& name);

// Writes all `count` bytes to `fd`, carrying on after short writes and
// interruptions; false (errno set) when the system refuses.
bool WriteAllBytes(int fd, const void* bytes, size_t count);

class ExportFolder {
 public:
  enum class Result {
    kOk,
    kUnsafeName,    // the name could leave the folder
    kLink,          // a symbolic link stands where the file or folder goes
    kNotAFolder,    // something other than a folder stands there
    kSystemError,   // the system refused (errno tells why)
    kWriteFailed,   // the producer of the content failed
  };

  // Opens an existing folder the user chose (links in `path` are followed:
  // the user picked that path).
  static Result Open(const std::string& path, ExportFolder* out);

  ExportFolder() = default;
  ExportFolder(ExportFolder&& other) noexcept;
  ExportFolder& operator=(ExportFolder&& other) noexcept;
  ExportFolder(const ExportFolder&) = delete;
  ExportFolder& operator=(const ExportFolder&) = delete;
  ~ExportFolder();

  bool is_open() const { return fd_ >= 0; }
  // The path the folder was reached by, without a trailing "/".
  const std::string& path() const { return path_; }

  // The subfolder `name`, created with `mode` when missing (an existing
  // folder is fine; a link or a file of that name is refused).
  Result Subfolder(const std::string& name, unsigned mode, ExportFolder* out) const;

  // Writes the file `name`: `produce` is handed the descriptor of a fresh,
  // empty file that only this call created (in this folder, under a hidden
  // name) and fills it; when it returns true and the file closes cleanly it
  // is renamed to `name`, replacing an older regular file of that name.
  // Otherwise, or when a link or a folder stands at `name`, the fresh file
  // is removed and nothing appears under `name`.
  using Producer = std::function<bool(int fd)>;
  Result WriteFile(const std::string& name, const Producer& produce) const;

 private:
  ExportFolder(int fd, std::string path);
  // Renames the finished file `fresh` to `name`, refusing a link or a
  // folder that stands there; removes `fresh` when it cannot.
  Result PlaceFile(const std::string& fresh, const std::string& name) const;

  int fd_ = -1;
  std::string path_;
};

}  // namespace zoqe
