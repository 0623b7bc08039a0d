// The abstract byte stream through which every file, memory block and part
// content is read and written. Positions, lengths and counts are 64-bit;
// -1 stands for "cannot tell". Operations answer result codes (result.h).
#pragma once

#include <cstdint>
#include <string>

#include "zoq/export.h"
#include "zoq/result.h"

namespace zoq {

// Stream type codes (GetType, CreateStream).
enum StreamType : int {
  kFileStream = 1,
  kMemoryStream = 2,
  kDynamicMemoryStream = 3,
  kSxcStream = 4,
  kDeflateStream = 5,
  kAdmStream = 6,
  kReadOnlySubStream = 7,
};

// Open modes. 0 only closes.
enum OpenMode : int {
  kModeClose = 0,
  kModeRead = 1,          // "rb"
  kModeWrite = 2,         // "wb": starts empty
  kModeAppend = 3,        // "ab": old content hidden, positions start at its end
  kModeReadWrite = 4,     // "r+b"
  kModeReadWriteNew = 5,  // "w+b": starts empty
};

// Access codes.
enum Access : int {
  kAccessReadWrite = 0,
  kAccessRead = 1,
  kAccessWrite = 2,
};

// Seek origins.
enum SeekOrigin : int {
  kSeekSet = 0,
  kSeekCur = 1,
  kSeekEnd = 2,
};

// The slot order of the virtual operations is part of the interface.
class ZOQ_EXPORT Stream {
 public:
  virtual ~Stream() = default;                                          // 0
  virtual Status Open(int mode) = 0;                                       // 1
  virtual Status Close() = 0;                                              // 2
  virtual bool IsOpen() = 0;                                            // 3
  virtual Status Clear() = 0;                                              // 4
  virtual Status Rewind();                                                 // 5
  virtual Status Release() = 0;                                            // 6
  virtual int64_t GetLength() = 0;                                      // 7
  virtual bool IsEof() = 0;                                             // 8
  virtual int GetType() = 0;                                            // 9
  virtual Status ReadByte(int* out);                                       // 10
  virtual Status PeekByte(int* out) = 0;                                   // 11
  virtual Status Read(void* buffer, int64_t count, int64_t* done) = 0;     // 12
  virtual Status WriteByte(uint8_t byte);                                  // 13
  virtual Status Write(const void* buffer, int64_t count) = 0;             // 14
  virtual Status Flush() = 0;                                              // 15
  virtual int64_t Tell() = 0;                                           // 16
  virtual Status Seek(int64_t offset, int origin) = 0;                     // 17
  virtual Status SetLength(int64_t size) = 0;                              // 18
  virtual bool IsStorageStream() = 0;                                   // 19
  virtual Status SkipByte();                                               // 20
  virtual Stream* Clone() = 0;                                          // 21
  virtual int GetAccess() = 0;                                          // 22
  virtual Status SetAccess(int access) = 0;                                // 23
  virtual bool SupportsAccess(int access) = 0;                          // 24
};

// Argument records of CreateStream, one per type. File system paths are
// native (UTF-8) strings. For the decorator types (4 to 7) the inner stream
// is taken over: CreateStream clears the record's `inner`. The new stream
// owns it; when construction or opening fails, the inner stream has been
// destroyed with it, so the caller never frees it in either case.
struct FileStreamArgs {
  std::string path;
  bool shared = false;
};

struct MemoryStreamArgs {
  void* buffer = nullptr;
  int64_t capacity = 0;
  int64_t length = 0;  // bytes of content already in the buffer
};

struct DecodeReport;

struct SxcStreamArgs {
  Stream* inner = nullptr;
  std::string schema_path;
  std::string temp_dir;
  // Decoding limits (DecodeOptions::max_output): the document counts as
  // stored in `stored_size` bytes (0: its own size).
  int64_t stored_size = 0;
  int64_t max_output = 0;
  DecodeReport* report = nullptr;  // told why a decode failed (optional)
};

struct DeflateStreamArgs {
  Stream* inner = nullptr;
  bool raw = false;  // raw deflate instead of the zlib format
};

struct AdmStreamArgs {
  Stream* inner = nullptr;
  const uint8_t* key = nullptr;
  int key_length = 0;
  std::u16string algorithm;  // u"AES-128-CTR"
  bool iv_header = false;    // a 16-byte initial counter block precedes the data
};

struct SubStreamArgs {
  Stream* inner = nullptr;
  int64_t offset = 0;
  int64_t length = 0;
};

// Builds a stream of `type` from its argument record (a pointer to the
// matching *Args struct) and opens it in `mode` unless mode is 0. Answers 5
// for an unknown type or a missing record, 6005 when a constructor rejects
// its arguments, and the Open result when opening fails.
ZOQ_EXPORT Status CreateStream(int mode, void* args, Stream** out, int type);

// Copies `source` from its start into `destination` (from its start for
// origin 0, appended for origin 2). count 0 copies everything. When xor_out
// is given it receives the XOR of every copied byte.
ZOQ_EXPORT Status CopyStream(Stream* destination, Stream* source, uint8_t* xor_out,
                          int destination_origin, int64_t count);

// Returns the whole content as a new[] array of size + 1 bytes (caller frees
// with delete[]).
ZOQ_EXPORT Status ReadWholeStream(Stream* stream, uint8_t** data, int64_t* size);

}  // namespace zoq
