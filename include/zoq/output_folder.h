// Writing files and folders below a chosen folder without ever leaving it.
//
// Every step goes through directory handles. One set of name rules holds for
// everything written below the folder: a name is one file-system name, so it
// is refused when it is empty, "." or "..", or holds "/", "\" or NUL (a "\"
// separates folders in the package world and could be read as one by other
// programs). A symbolic link is never followed below the chosen folder: a
// link where a folder goes is refused, and so is a link where a file goes
// (it is left for the user to see, not replaced). A folder where a file goes
// is refused too.
//
// A file appears under its name only when it is complete: its bytes go into
// a file without a name (O_TMPFILE) that is linked in by Commit, or, where
// the file system cannot make such files, into a hidden temporary file
// (".zoq-partial-PID-N-HOST") renamed into place. A failure or a kill while
// writing leaves nothing under the name. An existing regular file of that
// name is replaced in one step: the complete new file is linked in under a
// hidden name, the two names swap their files, and the old file is removed,
// so the name always holds the old or the new content, never part. A kill
// may leave a hidden file (the new one before the swap, the old one after
// it, or a temporary of the fallback); the first replacement in that folder
// by a later run on the same machine removes those whose process no longer
// runs. Once a file of a folder has been replaced, the folder's next files
// are written under a hidden name from the start and go straight to the swap
// (an extraction over an earlier one replaces nearly every file, and the
// kernel makes a named file for less than it links an unnamed one in).
#pragma once

#include <sys/types.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "zoq/export.h"
#include "zoq/result.h"

namespace zoq {

// Whether `name` (UTF-8) can stand as one file or folder name below a
// folder under the rules above.
ZOQ_EXPORT bool IsSafeOutputName(const std::string& name);

// A file being written into an OutputFolder: it has no name until Commit.
// Destroying it uncommitted throws its bytes away.
class ZOQ_EXPORT OutputFile {
 public:
  OutputFile() = default;
  OutputFile(OutputFile&& other) noexcept;
  OutputFile& operator=(OutputFile&& other) noexcept;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  ~OutputFile();

  bool is_open() const { return fd_ >= 0; }

  // Writes all `count` bytes: 0, or 5066 with `why` (when given) saying
  // what the system refused.
  Status Write(const void* bytes, size_t count, std::string* why = nullptr);

  // Closes the file and gives it its name: 0, or 5066 with `why`. On
  // failure nothing appears under the name and an older file stays.
  Status Commit(std::string* why = nullptr);

  // Throws the bytes away (also done by the destructor).
  void Abandon();

 private:
  friend class OutputFolder;

  // Puts the complete file in place of what stands at the name, when that
  // may be replaced.
  Status Replace(std::string* why);

  int fd_ = -1;
  int folder_fd_ = -1;  // not owned: the folder outlives its files
  std::string name_;    // the name it gets
  std::string hidden_;  // the hidden name it has meanwhile, if any
  std::string shown_;   // folder path + name, for messages
  bool replace_ = true;
  dev_t keep_device_ = 0;  // a file that must never be replaced (0: none)
  ino_t keep_inode_ = 0;
  std::atomic<bool>* replaced_in_folder_ = nullptr;  // the folder's, when it has one
  bool expect_replace_ = false;  // made under a hidden name to replace a file
};

class ZOQ_EXPORT OutputFolder {
 public:
  // Opens an existing folder the user chose (links in `path` are followed:
  // the user picked that path). 0, or 5066 with `why`.
  static Status Open(const std::string& path, OutputFolder* out, std::string* why = nullptr);
  // The same, creating the folder and any missing parents first.
  static Status OpenOrCreate(const std::string& path, OutputFolder* out, std::string* why = nullptr);

  OutputFolder() = default;
  OutputFolder(OutputFolder&& other) noexcept;
  OutputFolder& operator=(OutputFolder&& other) noexcept;
  OutputFolder(const OutputFolder&) = delete;
  OutputFolder& operator=(const OutputFolder&) = delete;
  ~OutputFolder();

  bool is_open() const { return fd_ >= 0; }
  // The path the folder was reached by, without a trailing "/" (for
  // messages).
  const std::string& path() const { return path_; }

  // The subfolder `name`, created with `mode` (narrowed by the umask) when
  // missing; an existing folder is fine. 0, or 5066 with `why`.
  Status Subfolder(const std::string& name, unsigned mode, OutputFolder* out,
                std::string* why = nullptr) const;

  // Starts the file `name`. With `replace` false an existing file of that
  // name makes Commit fail instead of being replaced. 0, or 5066 with `why`.
  Status CreateFile(const std::string& name, bool replace, OutputFile* out,
                 std::string* why = nullptr) const;

  // Files that must never be replaced by anything written below this folder
  // or its subfolders made later (the package being read): the file at
  // `path`, when it exists.
  void KeepFile(const std::string& path);

 private:
  int fd_ = -1;
  std::string path_;
  dev_t keep_device_ = 0;
  ino_t keep_inode_ = 0;
  // Set at the first replacement of a file here, when leftovers of killed
  // runs are looked for; on the heap so that its files keep pointing at it
  // when the folder moves.
  std::unique_ptr<std::atomic<bool>> replaced_in_folder_;
};

}  // namespace zoq
