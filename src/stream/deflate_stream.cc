#include "stream/deflate_stream.h"

#include <isa-l/igzip_lib.h>

#include <algorithm>
#include <atomic>
#include <new>

#include "stream/clone_over.h"
#include "stream/stream_sites.h"

namespace zoq {
namespace {

constexpr int kLevel = 9;
constexpr int kMemLevel = 8;
constexpr uInt kBufferSize = 0x10000;
// Compressed bytes are taken from the inner stream in large reads.
constexpr int64_t kInputSize = 0x40000;
// Reads of at least this many bytes inflate straight into the caller's
// buffer instead of through the window.
constexpr int64_t kDirectReadMin = 0x4000;

int WindowBits(bool raw) { return raw ? -MAX_WBITS : MAX_WBITS; }

std::atomic<bool> g_fast_inflate{true};

// A zlib header that ISA-L reads exactly as zlib does: deflate with a 32 KiB
// window, no preset dictionary, a valid header check.
bool IsPlainZlibHeader(uint8_t cmf, uint8_t flg) {
  return cmf == 0x78 && (flg & 0x20) == 0 && (cmf * 256 + flg) % 31 == 0;
}

}  // namespace

CVelDeflateStream::CVelDeflateStream(Stream*& inner, bool raw)
    : CVelStreamDecorator(inner),
      raw_(raw),
      inflater_(std::make_unique<z_stream>()),
      deflater_(std::make_unique<z_stream>()) {}

CVelDeflateStream::~CVelDeflateStream() {
  // A destructor cannot report; callers that need the result close first.
  Close().IgnoreError();
  EndInflate();
  EndDeflate();
}

void CVelDeflateStream::EndInflate() {
  if (inflating_) inflateEnd(inflater_.get());
  inflating_ = false;
  isal_.reset();
  isal_chosen_ = false;
  engine_known_ = false;
}

void CVelDeflateStream::EndDeflate() {
  if (deflating_) deflateEnd(deflater_.get());
  deflating_ = false;
}

void CVelDeflateStream::Reset() {
  EndInflate();
  EndDeflate();
  input_.reset();
  output_.reset();
  input_exhausted_ = false;
  CVelStreamDecorator::Reset();
}

Stream* CVelDeflateStream::Clone() {
  return CloneOver(inner_, [this](Stream*& inner) { return new CVelDeflateStream(inner, raw_); });
}

Status CVelDeflateStream::PrepareInflate(bool* first) {
  *first = false;
  if (input_) return kOk;
  input_.reset(static_cast<uint8_t*>(aligned_alloc(4096, kInputSize)));
  if (!input_) return kOutOfMemory;
  position_ = 0;
  length_ = 0;
  EndInflate();
  *inflater_ = z_stream{};
  if (inflateInit2(inflater_.get(), WindowBits(raw_)) != Z_OK) return kSiteDeflateInflateInit;
  inflating_ = true;
  *first = true;
  input_exhausted_ = inner_->IsEof();
  inflater_->avail_in = 0;
  if (input_exhausted_) {
    // Nothing stored at all: what a writer leaves when given no bytes.
    EndInflate();
    end_of_input_ = true;
    whole_in_first_window_ = true;
  }
  return kOk;
}

Status CVelDeflateStream::FillInput(const uint8_t** next, uInt* avail) {
  int64_t got = 0;
  int code = inner_->Read(input_.get(), kInputSize, &got);
  if (code != kOk) return AtSite(code, kSiteDeflateReadInner);
  if (got == 0 || inner_->IsEof()) input_exhausted_ = true;
  *next = input_.get();
  *avail = static_cast<uInt>(got);
  return kOk;
}

void UseFastInflate(bool enabled) { g_fast_inflate.store(enabled); }

void CVelDeflateStream::ChooseInflater() {
  engine_known_ = true;
  if (raw_ || !g_fast_inflate.load(std::memory_order_relaxed) || inflater_->avail_in < 2 ||
      !IsPlainZlibHeader(inflater_->next_in[0], inflater_->next_in[1])) {
    return;
  }
  isal_.reset(new (std::nothrow) inflate_state);
  if (!isal_) return;  // zlib serves
  isal_inflate_init(isal_.get());
  isal_->crc_flag = ISAL_ZLIB;
  isal_->next_in = inflater_->next_in;
  isal_->avail_in = inflater_->avail_in;
  isal_chosen_ = true;
}

Status CVelDeflateStream::InflateWithZlib(uint8_t* out, uInt room, uInt* left, bool* ended) {
  inflater_->next_out = out;
  inflater_->avail_out = room;
  int failure = kOk;
  while (inflater_->avail_out > 0) {
    if (!input_exhausted_ && inflater_->avail_in == 0) {
      const uint8_t* next = nullptr;
      failure = FillInput(&next, &inflater_->avail_in);
      if (failure != kOk) break;
      inflater_->next_in = const_cast<uint8_t*>(next);
    }
    int ret = inflate(inflater_.get(), Z_SYNC_FLUSH);
    if (ret == Z_STREAM_END) {
      *ended = true;
      break;
    }
    if (ret == Z_OK || (ret == Z_BUF_ERROR && !input_exhausted_)) continue;
    // Corrupt data, or input that ended before the compressed stream did.
    failure = kDecodeFailed;
    break;
  }
  *left = inflater_->avail_out;
  return failure;
}

Status CVelDeflateStream::InflateWithIsal(uint8_t* out, uInt room, uInt* left, bool* ended) {
  inflate_state* state = isal_.get();
  state->next_out = out;
  state->avail_out = room;
  int failure = kOk;
  while (state->avail_out > 0) {
    if (!input_exhausted_ && state->avail_in == 0) {
      const uint8_t* next = nullptr;
      failure = FillInput(&next, &state->avail_in);
      if (failure != kOk) break;
      state->next_in = const_cast<uint8_t*>(next);
    }
    const uint32_t before = state->avail_out;
    const uint32_t before_in = state->avail_in;
    int ret = isal_inflate(state);
    if (ret != ISAL_DECOMP_OK) {
      // Corrupt data or a wrong checksum (ISAL_NEED_DICT cannot come: the
      // header was checked).
      failure = kDecodeFailed;
      break;
    }
    if (state->block_state == ISAL_BLOCK_FINISH) {
      *ended = true;
      break;
    }
    // Input that ended before the compressed stream did.
    if (input_exhausted_ && state->avail_in == 0 && state->avail_out == before &&
        before_in == 0) {
      failure = kDecodeFailed;
      break;
    }
  }
  *left = state->avail_out;
  return failure;
}

Status CVelDeflateStream::ContinueWithZlib(int64_t skip) {
  isal_.reset();
  isal_chosen_ = false;
  if (inner_->Rewind() != kOk || inflateReset(inflater_.get()) != Z_OK) return kDecodeFailed;
  inflater_->avail_in = 0;
  input_exhausted_ = false;
  std::unique_ptr<uint8_t[]> scratch(new (std::nothrow) uint8_t[kBufferSize]);
  if (!scratch) return kOutOfMemory;
  while (skip > 0) {
    const uInt room = static_cast<uInt>(std::min<int64_t>(skip, kBufferSize));
    uInt left = room;
    bool ended = false;
    int failure = InflateWithZlib(scratch.get(), room, &left, &ended);
    skip -= room - left;
    if (failure != kOk) return failure;
    if (ended && skip > 0) return kDecodeFailed;
  }
  return kOk;
}

Status CVelDeflateStream::InflateInto(uint8_t* out, int64_t capacity, int64_t* produced,
                                   bool* ended) {
  *produced = 0;
  *ended = false;
  if (!engine_known_) {
    // The first input decides which inflater reads the stream.
    if (!input_exhausted_ && inflater_->avail_in == 0) {
      const uint8_t* next = nullptr;
      int code = FillInput(&next, &inflater_->avail_in);
      if (code != kOk) return code;
      inflater_->next_in = const_cast<uint8_t*>(next);
    }
    ChooseInflater();
  }
  while (*produced < capacity) {
    uInt room = static_cast<uInt>(std::min<int64_t>(capacity - *produced, 1 << 30));
    uInt left = room;
    int failure = isal_chosen_ ? InflateWithIsal(out + *produced, room, &left, ended)
                               : InflateWithZlib(out + *produced, room, &left, ended);
    if (failure == kDecodeFailed && isal_chosen_) {
      // Damaged data: zlib decides how much of it comes out before the
      // failure. The bytes made in this call are made again.
      failure = ContinueWithZlib(length_);
      if (failure != kOk) return failure;
      *produced = 0;
      continue;
    }
    *produced += room - left;
    if (failure != kOk) return failure;
    if (*ended) return kOk;
  }
  return kOk;
}

void CVelDeflateStream::FinishInflate(int failure, int64_t produced, bool ended, bool first) {
  length_ += produced;
  if (ended) {
    EndInflate();
    whole_in_first_window_ = first && failure == kOk;
    end_of_input_ = true;
  }
  if (failure != kOk) {
    EndInflate();
    end_of_input_ = true;
    whole_in_first_window_ = false;
    decode_failure_ = failure;
  }
}

Status CVelDeflateStream::Decode() {
  if (!inflater_) return kSiteDeflateNoInflater;
  if (end_of_input_) return kOk;
  ClearWindow();
  bool first = false;
  int code = PrepareInflate(&first);
  if (code != kOk || end_of_input_) return code;
  if (!output_) {
    output_.reset(new (std::nothrow) uint8_t[kBufferSize]);
    if (!output_) return kSiteDeflateNoWindow;
  }
  int64_t produced = 0;
  bool ended = false;
  int failure = InflateInto(output_.get(), kBufferSize, &produced, &ended);
  if (failure != kOk && produced == 0) {
    EndInflate();
    end_of_input_ = true;
    return failure;
  }
  SetWindow(output_.get(), kBufferSize, produced);
  // Bytes decoded before a break are delivered first; the failure follows.
  FinishInflate(failure, produced, ended, first);
  return kOk;
}

Status CVelDeflateStream::Read(void* buffer, int64_t count, int64_t* done) {
  if (!IsReading() || buffer == nullptr || count < kDirectReadMin || !inflater_ ||
      end_of_input_ || decode_failure_ != kOk) {
    return CVelStreamDecorator::Read(buffer, count, done);
  }
  if (done) *done = 0;
  uint8_t* dst = static_cast<uint8_t*>(buffer);
  int64_t total = 0;
  if (WindowHasByte()) {
    // Hand out what the window still holds, then inflate the rest straight
    // into the caller's buffer when enough of it remains.
    int64_t held = std::min<int64_t>(data_end_ - cursor_, length_ - position_);
    if (count - held < kDirectReadMin) return CVelStreamDecorator::Read(buffer, count, done);
    int code = CVelStreamDecorator::Read(dst, held, &total);
    if (code != kOk) return code;
  }
  ClearWindow();
  bool first = false;
  int code = PrepareInflate(&first);
  if (code != kOk) {
    if (total > 0) {
      decode_failure_ = code;
    } else {
      return decode_failure_ = code;
    }
  } else if (!end_of_input_) {
    int64_t produced = 0;
    bool ended = false;
    int failure = InflateInto(dst + total, count - total, &produced, &ended);
    // The caller's buffer is no window: a later backward seek decodes again.
    FinishInflate(failure, produced, ended, false);
    position_ += produced;
    total += produced;
    if (failure != kOk && total == 0) {
      if (done) *done = 0;
      return failure;
    }
  }
  if (done) *done = total;
  return kOk;
}

Status CVelDeflateStream::Encode(bool final) {
  if (!deflater_) return kSiteDeflateNoDeflater;
  if (!dirty_ || length_ == 0 || window_start_ == nullptr || data_end_ == window_start_) {
    return kOk;
  }
  int64_t held = data_end_ - window_start_;
  // Without the final flag the last byte stays behind, so that the finish
  // always has at least one byte to compress.
  int64_t input = final ? held : held - 1;
  if (input <= 0) return kOk;
  if (held == length_) {
    EndDeflate();
    *deflater_ = z_stream{};
    if (deflateInit2(deflater_.get(), kLevel, Z_DEFLATED, WindowBits(raw_), kMemLevel,
                     Z_DEFAULT_STRATEGY) != Z_OK) {
      return kSiteDeflateDeflateInit;
    }
    deflating_ = true;
  }
  if (!deflating_) return kEncodeFailed;
  if (!output_) {
    output_.reset(new (std::nothrow) uint8_t[kBufferSize]);
    if (!output_) return kOutOfMemory;
  }
  deflater_->next_in = window_start_;
  deflater_->avail_in = static_cast<uInt>(input);
  do {
    deflater_->next_out = output_.get();
    deflater_->avail_out = kBufferSize;
    int ret = deflate(deflater_.get(), final ? Z_FINISH : Z_SYNC_FLUSH);
    // Z_BUF_ERROR only means that a call made no progress (the flush was
    // already complete when the output buffer filled up exactly).
    if (ret != Z_OK && ret != Z_STREAM_END && ret != Z_BUF_ERROR) return kEncodeFailed;
    int64_t produced = kBufferSize - deflater_->avail_out;
    if (produced > 0) {
      int code = inner_->Write(output_.get(), produced);
      if (code != kOk) return AtSite(code, kSiteDeflateWriteInner);
    }
  } while (deflater_->avail_out == 0);
  if (deflater_->avail_in != 0) return kEncodeFailed;

  if (final) {
    dirty_ = false;
    cursor_ = data_end_ = window_start_;
  } else {
    window_start_[0] = window_start_[held - 1];
    cursor_ = data_end_ = window_start_ + 1;
  }
  return kOk;
}

}  // namespace zoq
