// Showing how one part's content differs between two revisions: the
// decoded contents in files, a unified diff of text made by GNU diff, and
// size and SHA-256 for binary content.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/output.h"
#include "cli/package_session.h"

namespace zoqcli {

// Decoded contents of parts in files, as diff compares them: SXC content
// (XML on one line) with one element per line. The files go with the
// object.
class ContentFiles {
 public:
  explicit ContentFiles(const PackageSession& session) : session_(session) {}
  ~ContentFiles();
  ContentFiles(const ContentFiles&) = delete;
  ContentFiles& operator=(const ContentFiles&) = delete;

  // The content of the part after `revisions` revisions. Throws
  // CodeFailure or ToolFailure.
  std::string Get(const std::u16string& path, int revisions);

 private:
  const PackageSession& session_;
  std::vector<std::string> own_;  // files made here (the others are the container's)
};

// Content is taken for binary when its first 8,000 bytes hold a zero byte
// (as diff and grep tell); text in UTF-16 counts as binary.
bool LooksBinary(const std::string& file);

struct ContentDigest {
  int64_t size = 0;
  std::string sha256;  // lower-case hexadecimal
};
ContentDigest DigestOfFile(const std::string& file);

// Writes to `out` the unified diff of two files (either may be /dev/null),
// headed by the two labels; runs GNU diff. Throws ToolFailure when diff
// cannot be run or fails.
void WriteUnifiedDiff(const std::string& label_a, const std::string& file_a,
                      const std::string& label_b, const std::string& file_b, Output& out);

}  // namespace zoqcli
