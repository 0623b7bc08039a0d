// The decorator that decrypts while reading and encrypts while writing with
// AES-128 in counter mode. The stored form is the cipher text, optionally
// preceded by a 16-byte header holding the initial counter block (16 zero
// bytes without it). The content is handled in pieces of 65,536 bytes: the
// first counter block of piece p is the initial block with its last four
// bytes (big-endian) increased by p * 4,096 modulo 2^32; inside a piece the
// whole block counts up as a 128-bit big-endian number.
#pragma once

#include <openssl/evp.h>

#include <memory>
#include <string>

#include "stream/stream_decorator.h"

namespace zoq {

class CVelADMStream : public CVelStreamDecorator {
 public:
  static constexpr int64_t kPieceSize = 0x10000;
  static constexpr int64_t kBlockSize = 16;
  static constexpr int64_t kHeaderSize = 16;
  static constexpr int kKeySize = 16;

  // Takes over `inner` (see CVelStreamDecorator). The key is cut or padded
  // with zero bytes to 16 bytes. Throws std::runtime_error for a missing key
  // or algorithm name, or a name other than "AES-128-CTR".
  CVelADMStream(Stream*& inner, const uint8_t* key, int key_length,
                const std::u16string& algorithm, bool iv_header);
  ~CVelADMStream() override;

  // Opening for reading rewinds; opening for writing empties the inner stream.
  Status Open(int mode) override;
  int GetType() override { return kAdmStream; }
  // Known before anything is decoded: the stored length less the header.
  int64_t GetLength() override;
  // Reads of at least a piece on a block boundary bypass the window: the
  // cipher text is decrypted straight from the inner stream's memory into
  // the caller's buffer when the inner stream lends its bytes, otherwise it
  // is read into the caller's buffer and decrypted there.
  Status Read(void* buffer, int64_t count, int64_t* done) override;
  Stream* Clone() override;

  void Reset() override;
  Status Decode() override;
  Status Encode(bool final) override;

  // The counter block of content block `block` for initial block `initial`.
  static void CounterBlock(const uint8_t initial[16], uint64_t block, uint8_t out[16]);

 private:
  // Reads (read mode) or makes and writes (write mode) the initial counter
  // block when it is not there yet.
  Status PrepareCounter();
  // En- or decrypts `count` bytes that start at content block `first_block`
  // (in place allowed). False when the cipher fails.
  bool Crypt(uint64_t first_block, const uint8_t* in, int64_t count, uint8_t* out);
  // Window-bypassing reads of bytes *got to `count` of `out`, adding what
  // they deliver to *got. DecryptLent decrypts whole blocks from bytes the
  // inner stream lends and stops where it lends no whole block;
  // DecryptRead reads the rest and decrypts it in place.
  Status DecryptLent(uint8_t* out, int64_t count, int64_t* got);
  Status DecryptRead(uint8_t* out, int64_t count, int64_t* got);
  int64_t HeaderSize() const { return iv_header_ ? kHeaderSize : 0; }

  bool iv_header_;
  uint8_t key_[kKeySize] = {};
  std::u16string algorithm_;
  std::unique_ptr<uint8_t[]> initial_;  // initial counter block, null until needed
  std::unique_ptr<uint8_t[]> buffer_;   // cipher text in, plain window out
  EVP_CIPHER_CTX* cipher_ = nullptr;
  bool cipher_keyed_ = false;
  // The counter block the cipher context continues with; valid while the
  // context stands on a block boundary. Consecutive pieces whose counter
  // blocks follow on need no new initialisation.
  uint8_t next_counter_[16] = {};
  bool next_counter_valid_ = false;
};

}  // namespace zoq
