#include "cli/output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>

#include "cli/failure.h"

namespace zoqcli {

namespace {

// Grows the pipe when the system allows it; a pipe that stays as it is
// only costs more hand-overs.
void GrowPipe(int fd) {
  int size = ::fcntl(fd, F_GETPIPE_SZ);
  if (size > 0 && size < Output::kPipeSize) ::fcntl(fd, F_SETPIPE_SZ, Output::kPipeSize);
}

}  // namespace

Output::Output() : buffer_(new char[kBufferSize]), write_limit_(SIZE_MAX) {
  struct stat info;
  if (::fstat(STDOUT_FILENO, &info) != 0) return;
  if (S_ISREG(info.st_mode)) write_limit_ = kFileWriteSize;
  if (S_ISFIFO(info.st_mode)) GrowPipe(STDOUT_FILENO);
}

Output::~Output() {
  // Unflushed output is dropped here: every command flushes before success.
  delete[] buffer_;
}

void Output::Write(const void* bytes, size_t count) {
  const char* source = static_cast<const char*>(bytes);
  if (count >= kBufferSize) {
    Drain();
    Put(source, count);
    return;
  }
  if (used_ + count > kBufferSize) Drain();
  std::memcpy(buffer_ + used_, source, count);
  used_ += count;
}

void Output::Flush() { Drain(); }

void Output::Drain() {
  size_t count = used_;
  // Nothing stays buffered after a failure: the next write would repeat it.
  used_ = 0;
  Put(buffer_, count);
}

void Output::Put(const char* bytes, size_t count) {
  while (count > 0) {
    ssize_t written = ::write(STDOUT_FILENO, bytes, std::min(count, write_limit_));
    if (written < 0 && errno == EINTR) continue;
    if (written < 0 && errno == EPIPE) throw OutputClosed();
    if (written <= 0)
      throw ToolFailure(std::string("cannot write to standard output: ") + std::strerror(errno));
    bytes += written;
    count -= static_cast<size_t>(written);
  }
}

}  // namespace zoqcli
