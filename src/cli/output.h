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

 private:
  void Drain();

  static constexpr size_t kBufferSize = 1 << 16;
  char* buffer_;
  size_t used_ = 0;
};

}  // namespace zoqcli
