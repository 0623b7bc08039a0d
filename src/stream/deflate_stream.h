// The decorator that inflates while reading and deflates while writing, in
// the zlib format or as raw deflate data. Written output is one compressed
// stream: every full window of 65,535 plain bytes ends with a sync flush and
// the last piece with the finish (level 9, memory level 8).
//
// Reading zlib-format data with the usual header (deflate, 32 KiB window, no
// preset dictionary) goes through ISA-L's inflater, several times faster
// than zlib's; it checks the Adler-32 trailer as zlib does. Everything else
// (raw deflate, other window sizes, preset dictionaries, headers zlib would
// refuse) goes through zlib, so every stream reads and fails as zlib reads
// and fails it.
#pragma once

#include <stdlib.h>
#include <zlib.h>

struct inflate_state;

#include <memory>

#include "stream/stream_decorator.h"

namespace zoq {

// Tests compare the two inflaters: false makes every stream read through
// zlib (process-wide; default true).
void UseFastInflate(bool enabled);

class CVelDeflateStream : public CVelStreamDecorator {
 public:
  // Takes over `inner` (see CVelStreamDecorator). `raw`: raw deflate data
  // without header and checksum instead of the zlib format.
  CVelDeflateStream(Stream*& inner, bool raw);
  ~CVelDeflateStream() override;

  int GetType() override { return kDeflateStream; }
  // Large reads inflate straight into the caller's buffer.
  Status Read(void* buffer, int64_t count, int64_t* done) override;
  Stream* Clone() override;

  void Reset() override;
  Status Decode() override;
  Status Encode(bool final) override;

  bool raw() const { return raw_; }

 private:
  // Sets up the inflater and its input buffer on the first decode; an empty
  // inner stream ends the content at once. *first tells that it did.
  Status PrepareInflate(bool* first);
  // Inflates into `out` until `capacity` bytes are there or the compressed
  // stream ends (*ended). Answers the failure that stopped it, if any;
  // *produced counts the bytes made before it.
  Status InflateInto(uint8_t* out, int64_t capacity, int64_t* produced, bool* ended);
  // Books `produced` bytes and the end or failure of the compressed stream.
  void FinishInflate(int failure, int64_t produced, bool ended, bool first);
  // Picks the inflater for the stream from its first input bytes.
  void ChooseInflater();
  Status InflateWithZlib(uint8_t* out, uInt room, uInt* left, bool* ended);
  Status InflateWithIsal(uint8_t* out, uInt room, uInt* left, bool* ended);
  // After ISA-L found the data damaged: reads the stream again from its
  // start with zlib, passing over the `skip` bytes already delivered, so that
  // what comes before the failure is exactly what zlib gives.
  Status ContinueWithZlib(int64_t skip);
  // Reads the next piece of compressed input into input_; answers a failure
  // of the inner stream.
  Status FillInput(const uint8_t** next, uInt* avail);
  void EndInflate();
  void EndDeflate();

  bool raw_;
  std::unique_ptr<z_stream> inflater_;
  std::unique_ptr<inflate_state> isal_;
  bool isal_chosen_ = false;  // this stream's data goes through isal_
  bool engine_known_ = false;
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
