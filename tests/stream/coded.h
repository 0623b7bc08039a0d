// Helpers for the stream tests: stored forms written through a decorator
// into memory, and reading a stream once or to its end.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "stream/dynamic_memory_stream.h"
#include "stream/memory_stream.h"

namespace zoq::test {

// A memory stream over `bytes`, which must outlive it.
inline Stream* Over(std::string& bytes) {
  return new CVelMemoryStream(bytes.data(), bytes.size(), bytes.size());
}

// The stored form of `plain`, written in `piece`-byte writes through the
// decorator that `make` builds (as a unique_ptr) over a dynamic memory stream.
template <typename Make>
std::string WriteThrough(const std::string& plain, size_t piece, Make make) {
  auto* mem = new CVelDynamicMemoryStream();
  Stream* inner = mem;
  auto coder = make(inner);
  EXPECT_EQ(coder->Open(kModeWrite), kOk);
  for (size_t at = 0; at < plain.size(); at += piece) {
    EXPECT_EQ(coder->Write(plain.data() + at, std::min(piece, plain.size() - at)), kOk);
  }
  EXPECT_EQ(coder->Close(), kOk);
  EXPECT_EQ(mem->Open(kModeRead), kOk);
  std::string stored(static_cast<size_t>(mem->GetLength()), '\0');
  int64_t done = 0;
  EXPECT_EQ(mem->Read(stored.data(), stored.size(), &done), kOk);
  return stored;
}

// What one read of `count` bytes delivers ("<failed>" when it fails).
inline std::string ReadOnce(Stream* stream, int64_t count) {
  std::string out(static_cast<size_t>(count), '\0');
  int64_t done = 0;
  const int code = stream->Read(out.data(), count, &done);
  EXPECT_EQ(code, kOk);
  if (code != kOk) return "<failed>";
  out.resize(static_cast<size_t>(done));
  return out;
}

// Appends what `stream` delivers from its position to its end to *out, in
// reads of `chunk` bytes; answers the code that stopped it.
inline int ReadRest(Stream* stream, std::string* out, size_t chunk = 20000) {
  std::string buf(chunk, '\0');
  for (;;) {
    int64_t done = 0;
    int code = stream->Read(buf.data(), chunk, &done);
    if (code != kOk || done == 0) return code;
    out->append(buf, 0, done);
  }
}

// The whole content as ReadWholeStream hands it out, or "<failed>".
inline std::string Whole(Stream* stream) {
  uint8_t* data = nullptr;
  int64_t size = 0;
  if (ReadWholeStream(stream, &data, &size) != kOk) return "<failed>";
  std::string out(reinterpret_cast<char*>(data), static_cast<size_t>(size));
  delete[] data;
  return out;
}

}  // namespace zoq::test
