// Running the real zoq executable from the tests and capturing what it
// writes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zoqtest {

struct RunResult {
  int status = -1;  // exit status, or 128 + signal
  std::string out;
  std::string err;
  int64_t peak_rss = -1;  // the child's peak resident set in bytes (RunZoq)
};

// Runs zoq with the arguments (working directory `cwd` when not empty).
RunResult RunZoq(const std::vector<std::string>& args, const std::string& cwd = {});

// Runs zoq with standard output and standard error on a terminal of their
// own (a pseudo-terminal in raw mode); `out` holds both as the terminal
// received them.
RunResult RunZoqOnTerminal(const std::vector<std::string>& args);

// Lower-case hexadecimal SHA-256 of the bytes.
std::string Sha256Hex(const std::string& bytes);

// The folder of the test data (tests/data).
std::string TestDataDir();
// A corpus package by name: tests/data/package/NAME.zoq.
std::string Package(const std::string& name);
// A file of the SXC test data: tests/data/sxc/FILE.
std::string Sxc(const std::string& file);

// A fresh, empty folder below the system temporary folder, removed with
// everything in it when the object goes away.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// True when `part` occurs in `text`.
bool HasText(const std::string& text, const std::string& part);
// Runs zoq and checks that it exits with `status`; a failed check names the
// command and shows its error output.
RunResult Zoq(const std::vector<std::string>& args, int status = 0);
// Checks that a run ended with `status` and said `text` on its error output.
void ExpectFailure(const RunResult& run, int status, const std::string& text);
// The lines of `text`, without their line ends.
std::vector<std::string> SplitLines(const std::string& text);

// Whole file content, or an empty string with *exists false.
std::string ReadFileBytes(const std::string& path, bool* exists = nullptr);
void WriteFileBytes(const std::string& path, const std::string& bytes);

}  // namespace zoqtest
