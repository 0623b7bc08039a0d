#include "stream/adm_stream.h"

#include <openssl/rand.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>

#include "stream/byte_view.h"
#include "stream/clone_over.h"
#include "stream/stream_sites.h"

namespace zoq {
namespace {

constexpr uint64_t kBlocksPerPiece = CVelADMStream::kPieceSize / CVelADMStream::kBlockSize;

uint32_t LoadBigEndian32(const uint8_t* p) {
  return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}

void StoreBigEndian32(uint32_t v, uint8_t* p) {
  p[0] = static_cast<uint8_t>(v >> 24);
  p[1] = static_cast<uint8_t>(v >> 16);
  p[2] = static_cast<uint8_t>(v >> 8);
  p[3] = static_cast<uint8_t>(v);
}

// Adds `n` to the 16-byte big-endian number at `block`.
void Add128(uint8_t* block, uint64_t n) {
  for (int i = 15; i >= 0 && n != 0; --i) {
    uint64_t sum = block[i] + (n & 0xFF);
    block[i] = static_cast<uint8_t>(sum);
    n = (n >> 8) + (sum >> 8);
  }
}

}  // namespace

CVelADMStream::CVelADMStream(Stream*& inner, const uint8_t* key, int key_length,
                             const std::u16string& algorithm, bool iv_header)
    : CVelStreamDecorator(inner), iv_header_(iv_header) {
  if (key_length <= 0 || key == nullptr || algorithm.empty()) {
    throw std::runtime_error("CVelADMStream -- Cannot init stream - Arguments invalid!");
  }
  if (algorithm != u"AES-128-CTR") {
    throw std::runtime_error("CVelADMStream -- Cannot init stream - Data error!");
  }
  std::memcpy(key_, key, static_cast<size_t>(std::min(key_length, kKeySize)));
  algorithm_ = algorithm;
  cipher_ = EVP_CIPHER_CTX_new();
  if (cipher_ == nullptr) {
    throw std::runtime_error("CVelADMStream -- Cannot init stream - Memory error!");
  }
}

CVelADMStream::~CVelADMStream() {
  // A destructor cannot report; callers that need the result close first.
  Close().IgnoreError();
  EVP_CIPHER_CTX_free(cipher_);
  OPENSSL_cleanse(key_, sizeof key_);
}

void CVelADMStream::CounterBlock(const uint8_t initial[16], uint64_t block, uint8_t out[16]) {
  uint64_t piece_first = block - block % kBlocksPerPiece;
  std::memcpy(out, initial, 16);
  StoreBigEndian32(LoadBigEndian32(out + 12) + static_cast<uint32_t>(piece_first), out + 12);
  Add128(out, block - piece_first);
}

bool CVelADMStream::Crypt(uint64_t first_block, const uint8_t* in, int64_t count, uint8_t* out) {
  if (!cipher_keyed_) {
    if (EVP_EncryptInit_ex(cipher_, EVP_aes_128_ctr(), nullptr, key_, nullptr) != 1) return false;
    cipher_keyed_ = true;
    next_counter_valid_ = false;
  }
  int64_t done = 0;
  while (done < count) {
    uint64_t block = first_block + static_cast<uint64_t>(done / kBlockSize);
    uint64_t blocks_left_in_piece = kBlocksPerPiece - block % kBlocksPerPiece;
    int64_t n = std::min<int64_t>(count - done, static_cast<int64_t>(blocks_left_in_piece) * kBlockSize);
    uint8_t counter[16];
    CounterBlock(initial_.get(), block, counter);
    if (!next_counter_valid_ || std::memcmp(counter, next_counter_, 16) != 0) {
      if (EVP_EncryptInit_ex(cipher_, nullptr, nullptr, nullptr, counter) != 1) {
        next_counter_valid_ = false;
        return false;
      }
    }
    int out_len = 0;
    if (EVP_EncryptUpdate(cipher_, out + done, &out_len, in + done, static_cast<int>(n)) != 1 ||
        out_len != n) {
      next_counter_valid_ = false;
      return false;
    }
    next_counter_valid_ = n % kBlockSize == 0;
    if (next_counter_valid_) {
      std::memcpy(next_counter_, counter, 16);
      Add128(next_counter_, static_cast<uint64_t>(n / kBlockSize));
    }
    done += n;
  }
  return true;
}

Status CVelADMStream::Open(int mode) {
  int code = CVelStreamDecorator::Open(mode);
  if (code != kOk || mode == kModeClose) return code;
  return IsReading() ? Rewind() : Clear();
}

int64_t CVelADMStream::GetLength() {
  if (!IsOpen()) return -1;
  if (IsWriting()) return length_;
  int64_t stored = inner_->GetLength();
  if (stored < 0) return -1;
  int64_t length = stored - HeaderSize();
  return length < 0 ? -1 : length;
}

Stream* CVelADMStream::Clone() {
  return CloneOver(inner_, [this](Stream*& inner) { return new CVelADMStream(inner, key_, kKeySize, algorithm_, iv_header_); });
}

void CVelADMStream::Reset() {
  initial_.reset();
  next_counter_valid_ = false;
  buffer_.reset();
  CVelStreamDecorator::Reset();
}

Status CVelADMStream::PrepareCounter() {
  if (initial_) {
    if (IsReading() && iv_header_ && inner_->Tell() < kHeaderSize) {
      return AtSite(inner_->Seek(kHeaderSize, kSeekSet), kSiteAdmSkipCounterBlock);
    }
    return kOk;
  }
  std::unique_ptr<uint8_t[]> block(new (std::nothrow) uint8_t[16]());
  if (!block) return kOutOfMemory;
  if (iv_header_) {
    if (IsReading()) {
      int code = inner_->Rewind();
      if (code != kOk) return AtSite(code, kSiteAdmHeaderRewind);
      int64_t got = 0;
      code = inner_->Read(block.get(), kHeaderSize, &got);
      if (code != kOk) return AtSite(code, kSiteAdmHeaderRead);
      if (got < kHeaderSize) return kSiteAdmHeaderShort;
    } else {
      if (RAND_bytes(block.get(), kHeaderSize) != 1) return kSiteAdmRandomCounter;
      int code = inner_->Rewind();
      if (code != kOk) return AtSite(code, kSiteAdmHeaderWriteRewind);
      code = inner_->Write(block.get(), kHeaderSize);
      if (code != kOk) return AtSite(code, kSiteAdmHeaderWrite);
    }
  }
  initial_ = std::move(block);
  return kOk;
}

Status CVelADMStream::Read(void* buffer, int64_t count, int64_t* done) {
  if (!IsReading() || buffer == nullptr || count < kPieceSize || WindowHasByte() ||
      end_of_input_ || decode_failure_ != kOk || position_ % kBlockSize != 0) {
    return CVelStreamDecorator::Read(buffer, count, done);
  }
  if (done) *done = 0;
  // With the window used up, the inner stream stands at header + position.
  int code = PrepareCounter();
  if (code != kOk) return decode_failure_ = AtSite(code, kSiteAdmRead);
  ClearWindow();
  uint8_t* out = static_cast<uint8_t*>(buffer);
  int64_t want = count - count % kBlockSize;
  int64_t got = 0;
  // Lent bytes first; what they do not cover (nothing lent, a partial
  // block, the content's tail) is read.
  code = DecryptLent(out, want, &got);
  if (code == kOk && got < want) code = DecryptRead(out, want, &got);
  if (code != kOk) return decode_failure_ = code;
  if (got <= 0) {
    end_of_input_ = true;
    return kOk;
  }
  position_ += got;
  length_ = std::max(length_, inner_->Tell() - HeaderSize());
  if (inner_->IsEof()) end_of_input_ = true;
  if (done) *done = got;
  return kOk;
}

Status CVelADMStream::DecryptLent(uint8_t* out, int64_t count, int64_t* got) {
  while (*got < count) {
    const uint8_t* data = nullptr;
    int64_t size = 0;
    if (!ViewBytes(inner_, count - *got, &data, &size)) break;
    // Whole blocks only, so that the next view starts on a block.
    size -= size % kBlockSize;
    if (size <= 0) break;
    uint8_t* to = out + *got;
    auto from_address = reinterpret_cast<uintptr_t>(data);
    auto to_address = reinterpret_cast<uintptr_t>(to);
    uint64_t bytes = static_cast<uint64_t>(size);
    // The cipher may work in place but not between overlapping ranges.
    if (from_address != to_address && from_address < to_address + bytes &&
        to_address < from_address + bytes) {
      break;
    }
    if (!Crypt(static_cast<uint64_t>((position_ + *got) / kBlockSize), data, size, to)) {
      return kDecodeFailed;
    }
    int code = inner_->Seek(size, kSeekCur);
    if (code != kOk) return AtSite(code, kSiteAdmDecrypt);
    *got += size;
  }
  return kOk;
}

Status CVelADMStream::DecryptRead(uint8_t* out, int64_t count, int64_t* got) {
  // One read straight into the caller's buffer, decrypted in place: for a
  // file beneath, one pread and no copy. (Reading piece-sized chunks into a
  // cache-resident buffer and decrypting from there measured slower.)
  uint8_t* to = out + *got;
  int64_t n = 0;
  int code = inner_->Read(to, count - *got, &n);
  if (code != kOk) return AtSite(code, kSiteAdmDecrypt);
  if (n > 0 && !Crypt(static_cast<uint64_t>((position_ + *got) / kBlockSize), to, n, to)) {
    return kDecodeFailed;
  }
  *got += n;
  return kOk;
}

Status CVelADMStream::Decode() {
  if (end_of_input_) return kOk;
  ClearWindow();
  int code = PrepareCounter();
  if (code != kOk) return AtSite(code, kSiteAdmRead);
  bool first = false;
  if (!buffer_) {
    buffer_.reset(new (std::nothrow) uint8_t[kPieceSize]);
    if (!buffer_) return kOutOfMemory;
    first = true;
  }
  // Start at the block that holds the position: any block decrypts alone.
  int64_t r = position_ % kBlockSize;
  if (r != 0) {
    code = inner_->Seek(-r, kSeekCur);
    if (code != kOk) return AtSite(code, kSiteAdmDecodeFill);
  }
  int64_t got = 0;
  code = inner_->Read(buffer_.get(), kPieceSize, &got);
  if (code != kOk) return AtSite(code, kSiteAdmDecrypt);
  // A short read that gives back no byte at or after the position (an inner
  // decoder that stops early to report a failure on its next read) is not
  // the end of the content: read on until such a byte comes, the inner
  // stream ends, or it fails.
  while (got > 0 && got <= r) {
    int64_t more = 0;
    code = inner_->Read(buffer_.get() + got, kPieceSize - got, &more);
    if (code != kOk) return AtSite(code, kSiteAdmDecrypt);
    if (more <= 0) break;
    got += more;
  }
  int64_t reached = inner_->Tell() - HeaderSize();
  if (got <= 0) {
    end_of_input_ = true;
    return kOk;
  }
  if (!Crypt(static_cast<uint64_t>((position_ - r) / kBlockSize), buffer_.get(), got,
             buffer_.get())) {
    return kDecodeFailed;
  }
  if (inner_->IsEof()) {
    end_of_input_ = true;
    whole_in_first_window_ = first;
  }
  SetWindow(buffer_.get(), got, got);
  cursor_ = window_start_ + r;
  length_ = std::max(length_, reached);
  return kOk;
}

Status CVelADMStream::Encode(bool final) {
  if (!dirty_) return kOk;
  if (length_ == 0 || blocks_.empty()) {
    int code = inner_->Clear();
    if (code != kOk) return AtSite(code, kSiteAdmEncodeWrite);
    return AtSite(inner_->Flush(), kSiteAdmEncodeFlush);
  }
  int code = PrepareCounter();
  if (code != kOk) return AtSite(code, kSiteAdmEncodeCounter);
  int64_t count = data_end_ - window_start_;
  if (count > 0) {
    if (!buffer_) {
      buffer_.reset(new (std::nothrow) uint8_t[kPieceSize]);
      if (!buffer_) return kOutOfMemory;
    }
    int64_t offset = inner_->Tell() - HeaderSize();
    if (offset < 0 || offset % kBlockSize != 0) return kEncodeFailed;
    if (!Crypt(static_cast<uint64_t>(offset / kBlockSize), window_start_, count, buffer_.get())) {
      return kEncodeFailed;
    }
    code = inner_->Write(buffer_.get(), count);
    if (code != kOk) return AtSite(code, kSiteAdmEncodeBlock);
  }
  if (final) dirty_ = false;
  cursor_ = data_end_ = window_start_;
  return kOk;
}

}  // namespace zoq
