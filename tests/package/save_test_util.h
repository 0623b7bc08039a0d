// Helpers of the editing and saving tests: scratch folders, part contents,
// and a summary of what a package holds.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "zoq/container.h"

namespace zoq::test {

// A fresh folder below the system temporary directory, removed at the end.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

std::vector<uint8_t> Bytes(const std::string& text);
// Deterministic text-like content.
std::vector<uint8_t> TextLike(size_t size, uint32_t seed);

// Every existing part with its fully decoded content (key for ADM parts).
std::map<std::string, std::vector<uint8_t>> Snapshot(Container* container,
                                                     const DecodeOptions* options = nullptr);
// Opens `file` in a new container and snapshots it; empty map with *code
// set when it does not open.
std::map<std::string, std::vector<uint8_t>> SnapshotFile(const std::string& file, int* code,
                                                         int revision_limit = 0);

// SnapshotFile after checking that the file opens (a failure is reported).
std::map<std::string, std::vector<uint8_t>> FileParts(const std::string& file,
                                                      int revision_limit = 0);

// Opens `bytes` in a new container and snapshots it; empty map with *code
// set when it does not open.
std::map<std::string, std::vector<uint8_t>> SnapshotBytes(const std::vector<uint8_t>& bytes,
                                                          int* code);

// The bytes of a small package built in memory with `revisions` (1 to 3)
// incremental saves: /a.txt and /b.txt (compressed); then /c.txt; then "-2"
// appended to /c.txt and /d/e.txt. Empty when building it fails.
std::vector<uint8_t> RevisedPackage(int revisions);

// Adds `content` at `path` with the given codes (no key).
int AddBytes(Container* container, const std::string& path, const std::vector<uint8_t>& content,
             std::vector<int> codes = {}, bool skippable = false);

// A new package at `file` (offset width 4) whose first saved revision holds
// `parts` (path and text, no codes), open in the container answered; null
// when a step failed (the failure is reported).
std::unique_ptr<Container> SavedPackage(
    const std::string& file, const std::vector<std::pair<std::string, std::string>>& parts);

}  // namespace zoq::test
