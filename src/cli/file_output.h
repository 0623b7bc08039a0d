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

// Writes the bytes to `path` through a temporary file renamed into place,
// or to `out` when `path` is empty or "-".
void WriteResult(const std::string& path, const void* bytes, size_t count, Output& out);

// The same for a result that `produce` hands to its writer piece by piece as
// it is made: the file named `path` appears only when `produce` returns
// normally (on an exception the temporary file is removed).
using ResultWriter = std::function<void(const uint8_t* bytes, size_t count)>;
void WriteResultPieces(const std::string& path, const std::function<void(const ResultWriter&)>& produce,
                       Output& out);

}  // namespace zoqcli
