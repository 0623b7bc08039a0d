// The container's private temporary directory and the files in it.
#pragma once

#include <string>

namespace zoq {

// $TMPDIR, else /tmp (no trailing "/").
std::string SystemTempDir();

// Makes a new directory "~ZOQPAC......" (mode 0700) below `base` (empty:
// the system temporary directory; a missing base is created, and when that
// fails the system temporary directory is used). *out ends with "/".
// 10010142 when the directory cannot be made, 5065 when no usable base exists.
int MakeContainerTempDir(const std::string& base, std::string* out);

// Creates a new empty file "~~ZOQ......" in `dir` (which ends with "/"),
// exclusively and with mode 0600. 5065 on failure.
int MakeTempFile(const std::string& dir, std::string* out);

// Deletes a directory with everything below it; read-only entries are made
// writable first. Missing paths are ignored.
void RemoveTree(const std::string& path);

}  // namespace zoq
