// Reading files ahead of their use: worker threads load the files of a list
// into memory while the caller consumes them strictly in list order. At
// most a few files and a bounded number of bytes wait at any time; files
// above a size limit are left for the caller to read itself.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/ordered_work.h"

namespace zoqcli {

class FilePrefetch {
 public:
  struct File {
    bool loaded = false;  // false: too large, read it yourself
    std::string bytes;
    std::string error;    // not empty when the file could not be read
  };

  // Starts `workers` threads over `paths`. Files larger than
  // `largest_loaded` are not loaded; the bytes waiting to be taken stay
  // below about `bytes_ahead` (plus one file per worker).
  FilePrefetch(std::vector<std::string> paths, int workers, int64_t largest_loaded,
               int64_t bytes_ahead);
  FilePrefetch(const FilePrefetch&) = delete;
  FilePrefetch& operator=(const FilePrefetch&) = delete;

  // Waits for the next file in list order and hands it over. Call it once
  // for each path, in order. Dropping the object stops the workers (files
  // not taken are dropped).
  File TakeNext();

 private:
  static File Load(const std::string& path, int64_t largest_loaded);

  const std::vector<std::string> paths_;
  OrderedWork<File> work_;
};

}  // namespace zoqcli
