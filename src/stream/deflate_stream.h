// The decorator that inflates while reading and deflates while writing, in
// the zlib format or as raw deflate data. Written output is one compressed
// stream: every full window of 65,535 plain bytes ends with a sync flush and
// the last piece with the finish (level 9, memory level 8).
#pragma once

#include <stdlib.h>
#include <zlib.h>

#include <memory>

#include "stream/stream_decorator.h"

namespace zoq {

class CVelDeflateStream : public CVelStreamDecorator {
 public:
  // Takes over `inner` (see CVelStreamDecorator). `raw`: raw deflate data
  // without header and checksum instead of the zlib format.
  CVelDeflateStream(Stream*& inner, bool raw);
  ~CVelDeflateStream() override;

  int GetType() override { return kDeflateStream; }
  // Large reads inflate straight into the caller's buffer.
  int Read(void* buffer, int64_t count, int64_t* done) override;
  Stream* Clone() override;

  void Reset() override;
  int Decode() override;
  int Encode(bool final) override;

  bool raw() const { return raw_; }

 private:
  // Sets up the inflater and its input buffer on the first decode; an empty
  // inner stream ends the content at once. *first tells that it did.
  int PrepareInflate(bool* first);
  // Inflates into `out` until `capacity` bytes are there or the compressed
  // stream ends (*ended). Answers the failure that stopped it, if any;
  // *produced counts the bytes made before it.
  int InflateInto(uint8_t* out, int64_t capacity, int64_t* produced, bool* ended);
  // Books `produced` bytes and the end or failure of the compressed stream.
  void FinishInflate(int failure, int64_t produced, bool ended, bool first);
  void EndInflate();
  void EndDeflate();

  bool raw_;
  std::unique_ptr<z_stream> inflater_;
  std::unique_ptr<z_stream> deflater_;
  bool inflating_ = false;
  bool deflating_ = false;
  bool input_exhausted_ = false;
  // Compressed bytes read from inner; page-aligned, which makes the
  // kernel's copy of large file reads into it faster.
  std::unique_ptr<uint8_t, decltype(&free)> input_{nullptr, &free};
  std::unique_ptr<uint8_t[]> output_;  // read: the plain window; write: compressed bytes
};

}  // namespace zoq
