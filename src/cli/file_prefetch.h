// Reading files ahead of their use: worker threads load the files of a list
// into memory while the caller consumes them strictly in list order. At
// most a few files and a bounded number of bytes wait at any time; files
// above a size limit are left for the caller to read itself.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

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
  // Stops the workers (files not taken are dropped).
  ~FilePrefetch();
  FilePrefetch(const FilePrefetch&) = delete;
  FilePrefetch& operator=(const FilePrefetch&) = delete;

  // Waits for the next file in list order and hands it over. Call it once
  // for each path, in order.
  File TakeNext();

 private:
  void Work();
  File Load(const std::string& path) const;

  const std::vector<std::string> paths_;
  const int64_t largest_loaded_;
  const int64_t bytes_ahead_;
  const size_t files_ahead_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<File> files_;
  std::vector<bool> ready_;
  size_t next_claim_ = 0;  // the next file a worker loads
  size_t next_take_ = 0;   // the next file the caller takes
  int64_t waiting_bytes_ = 0;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace zoqcli
