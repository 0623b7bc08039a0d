#include "cli/output.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "cli/failure.h"

namespace zoqcli {

Output::Output() : buffer_(new char[kBufferSize]) {}

Output::~Output() {
  // Unflushed output is dropped here: every command flushes before success.
  delete[] buffer_;
}

void Output::Write(const void* bytes, size_t count) {
  const char* source = static_cast<const char*>(bytes);
  if (count >= kBufferSize) {
    Drain();
    while (count > 0) {
      ssize_t written = ::write(STDOUT_FILENO, source, count);
      if (written < 0 && errno == EINTR) continue;
      if (written < 0 && errno == EPIPE) throw OutputClosed();
      if (written <= 0)
        throw ToolFailure(std::string("cannot write to standard output: ") + std::strerror(errno));
      source += written;
      count -= static_cast<size_t>(written);
    }
    return;
  }
  if (used_ + count > kBufferSize) Drain();
  std::memcpy(buffer_ + used_, source, count);
  used_ += count;
}

void Output::Flush() { Drain(); }

void Output::Drain() {
  size_t done = 0;
  while (done < used_) {
    ssize_t written = ::write(STDOUT_FILENO, buffer_ + done, used_ - done);
    if (written < 0 && errno == EINTR) continue;
    if (written < 0 && errno == EPIPE) {
      used_ = 0;
      throw OutputClosed();
    }
    if (written <= 0) {
      used_ = 0;
      throw ToolFailure(std::string("cannot write to standard output: ") + std::strerror(errno));
    }
    done += static_cast<size_t>(written);
  }
  used_ = 0;
}

}  // namespace zoqcli
