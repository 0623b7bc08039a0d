// A small buffered file over the C runtime's FILE functions, used for schema
// files and for the temporary files of the SXC coder. Reading past the end of
// the file is reported as a failure; nothing is invented.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "zoq/result.h"

namespace zoq {

class CFileStream {
 public:
  // Opens `path` for reading ("rb"), or for reading and writing ("r+b", or
  // "w+b" when the file does not exist yet). Throws std::runtime_error
  // "CFileStream -- Cannot open file!" when the path is empty or cannot be
  // opened.
  CFileStream(const std::string& path, bool writable);
  ~CFileStream();

  CFileStream(const CFileStream&) = delete;
  CFileStream& operator=(const CFileStream&) = delete;

  // Closes the file; a writable stream re-creates it empty. Position 0.
  bool Reset();
  // Re-measures the file and refills the buffer from the start.
  bool Refresh();
  // Closes the file and deletes it from disk. The object stays usable only
  // for destruction.
  void CloseAndDelete();

  int64_t Size();
  bool AtEnd();

  // One byte; false at the end of the file.
  bool ReadByte(uint8_t* out);
  bool PeekByte(uint8_t* out);
  // Copies up to `count` bytes. 0 when all came, 1 when the end of the file
  // (or an error) came first; `got` tells how many were copied.
  Status Read(void* buffer, size_t count, size_t* got);

  bool WriteByte(uint8_t byte);
  // 0 when every byte was written, 1 otherwise.
  Status Write(const void* buffer, size_t count);
  bool Flush();

  int64_t Tell() const { return position_; }
  // origin 0: from the start (negative fails); 1: from here (clamped to the
  // size); 2: from the end (negative becomes 0). Answers 0 or 1.
  Status Seek(int64_t offset, int origin);
  bool SkipByte();

  const std::string& path() const { return path_; }

 private:
  bool Open(const char* mode);
  bool FillBuffer();
  bool PrepareWrite();
  int64_t MeasureSize();

  static constexpr size_t kBufferSize = 1024;

  std::string path_;
  FILE* file_ = nullptr;
  bool writable_;
  int64_t size_ = 0;
  int64_t position_ = 0;      // logical position
  int64_t buffer_start_ = 0;  // file position of buffer_[0]
  size_t buffer_end_ = 0;     // bytes valid in buffer_
  bool file_at_position_ = true;  // the FILE's own offset equals position_
  bool last_was_write_ = false;
  uint8_t buffer_[kBufferSize];
};

}  // namespace zoq
