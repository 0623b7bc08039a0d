// Writing files and folders below a chosen folder without ever leaving it:
// every step goes through directory handles, refuses names that could climb
// out ("", ".", "..", names with "/" or NUL) and never follows a symbolic
// link; a file appears under its name only when it is complete.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace zoqcli {

class FolderHandle {
 public:
  // Opens an existing folder (following links in `path`: the user chose it).
  static FolderHandle Open(const std::string& path);
  // Creates the folder and any missing parents, then opens it.
  static FolderHandle OpenOrCreate(const std::string& path);

  FolderHandle() = default;
  FolderHandle(FolderHandle&& other) noexcept;
  FolderHandle& operator=(FolderHandle&& other) noexcept;
  ~FolderHandle();

  // The subfolder `name`, created when missing. Throws ToolFailure for a bad
  // name, a link or anything else that is not a folder.
  FolderHandle Subfolder(const std::string& name) const;

  // Writes the file `name` with the bytes that `produce` hands to its
  // writer: first into a hidden temporary file in this folder, renamed to
  // `name` when `produce` returns normally; on an exception the temporary
  // file is removed and the exception passed on. An existing file of that
  // name is replaced.
  using Writer = std::function<void(const uint8_t*, size_t)>;
  void WriteFile(const std::string& name, const std::function<void(const Writer&)>& produce) const;

  // The path the folder was reached by (for messages).
  const std::string& path() const { return path_; }

 private:
  FolderHandle(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}

  int fd_ = -1;
  std::string path_;
};

// Whether `name` can stand as one file or folder name below a folder.
bool IsSafeName(const std::string& name);

}  // namespace zoqcli
