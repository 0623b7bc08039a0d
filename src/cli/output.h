// Buffered writing to standard output that notices failures: a reader that
// went away ends the command quietly (OutputClosed), any other write error
// is a ToolFailure.
#pragma once

#include <cstddef>
#include <string_view>

namespace zoqcli {

class Output {
 public:
  Output();
  ~Output();
  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;

  void Write(const void* bytes, size_t count);
  void Write(std::string_view text) { Write(text.data(), text.size()); }
  // Writes what is buffered; throws on failure.
  void Flush();

  // The largest write handed to a regular file. A buffered write makes its
  // page-cache pages in blocks as large as the write; small blocks come
  // from the kernel's recycled pages, large ones fresh from the page
  // allocator, which costs several times more system time to fill (1 GiB
  // written in 256 KiB writes took 1.8 s of system time, in 16 KiB writes
  // 0.6 s; 8 KiB and 4 KiB cost more again in calls).
  static constexpr size_t kFileWriteSize = 16 << 10;
  // The capacity standard output's pipe is grown to when it is smaller, so
  // that a whole piece of content goes in at once and the command goes on
  // decoding while the reader takes it (a 64 KiB pipe fed 256 KiB pieces
  // made four times the context switches).
  static constexpr int kPipeSize = 1 << 20;

 private:
  void Drain();
  void Put(const char* bytes, size_t count);

  static constexpr size_t kBufferSize = 1 << 16;
  char* buffer_;
  size_t used_ = 0;
  size_t write_limit_;
};

}  // namespace zoqcli
