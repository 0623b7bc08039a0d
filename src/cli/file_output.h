// Whole-file reading and writing for the conversion commands: a result goes
// to a file named with -o (appearing only when complete) or to standard
// output.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "cli/output.h"

namespace zoqcli {

// The whole content of a file; a file that cannot be read is a ToolFailure.
std::string ReadWholeFile(const std::string& path);

// What writing a result does with a file already at its path: refuse it
// (ToolFailure "PATH exists already", checked before the work starts and
// again, atomically, when the result is put in place) or replace it.
enum class Existing { kRefuse, kReplace };

// The Existing rule of a command's --force option.
Existing ExistingRule(bool force);

// Writes the bytes to `path` through a temporary file moved into place, or
// to `out` when `path` is empty or "-".
void WriteResult(const std::string& path, const void* bytes, size_t count, Output& out,
                 Existing existing);

// The same for a result that `produce` hands to its writer piece by piece as
// it is made: the file named `path` appears only when `produce` returns
// normally (on an exception the temporary file is removed).
using ResultWriter = std::function<void(const uint8_t* bytes, size_t count)>;
void WriteResultPieces(const std::string& path, const std::function<void(const ResultWriter&)>& produce,
                       Output& out, Existing existing);

// Refuses (ToolFailure) when something exists at `path` and the rule says
// to refuse.
void CheckTarget(const std::string& path, Existing existing);

// A name for a temporary file beside `path` (hidden, random, not created).
std::string TemporaryBeside(const std::string& path);

// Moves the complete file `temporary` to `path` by the rule; on failure the
// temporary file is removed and ToolFailure thrown.
void PlaceFile(const std::string& temporary, const std::string& path, Existing existing);

// A file that the command makes: created empty at once (never over an
// existing file, which is a ToolFailure "PATH exists already"), and removed
// again when the object goes away before Keep(), so that a command that
// fails leaves nothing behind.
class CreatedFile {
 public:
  explicit CreatedFile(const std::string& path);
  ~CreatedFile();
  CreatedFile(const CreatedFile&) = delete;
  CreatedFile& operator=(const CreatedFile&) = delete;
  void Keep() { kept_ = true; }

 private:
  std::string path_;
  bool kept_ = false;
};

}  // namespace zoqcli
