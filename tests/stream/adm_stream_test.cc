#include "stream/adm_stream.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <cstring>
#include <memory>
#include <stdexcept>

#include "stream/dynamic_memory_stream.h"
#include "stream/file_stream.h"
#include "stream/memory_stream.h"
#include "stream/sub_stream.h"
#include "coded.h"
#include "temp_dir.h"

namespace zoq {
namespace {

const std::u16string kAlgorithm = u"AES-128-CTR";

std::string Hex(const std::string& hex) {
  std::string out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  }
  return out;
}

const uint8_t* Bytes(const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); }

// Encrypts `plain` through an ADM stream into memory and returns the stored form.
std::string Encrypt(const std::string& plain, const std::string& key, bool iv_header) {
  return test::WriteThrough(plain, 9999, [&](Stream*& inner) {
    return std::make_unique<CVelADMStream>(inner, Bytes(key), key.size(), kAlgorithm, iv_header);
  });
}

// What the reader sits on. Memory and dynamic memory streams lend their
// bytes (the dynamic one block by block); a window at an odd offset into
// dynamic memory lends blocks that end mid cipher block, so lent and read
// bytes alternate.
enum class Inner { kMemory, kDynamic, kOddWindowOnDynamic };

Stream* MakeInner(std::string& stored, Inner kind) {
  if (kind == Inner::kMemory) return test::Over(stored);
  const std::string prefix = kind == Inner::kDynamic ? "" : test::Pattern(4321, 5);
  auto* mem = new CVelDynamicMemoryStream();
  EXPECT_EQ(mem->Open(kModeWrite), kOk);
  EXPECT_EQ(mem->Write((prefix + stored).data(), prefix.size() + stored.size()), kOk);
  EXPECT_EQ(mem->Close(), kOk);
  if (kind == Inner::kDynamic) return mem;
  Stream* inner = mem;
  return new CVelReadOnlySubStream(inner, prefix.size(), stored.size());
}

// An ADM stream opened for reading over a copy of `stored`.
class Reader {
 public:
  Reader(const std::string& stored, const std::string& key, bool iv_header,
         Inner kind = Inner::kMemory)
      : stored_(stored) {
    Stream* inner = MakeInner(stored_, kind);
    adm_ = std::make_unique<CVelADMStream>(inner, Bytes(key), key.size(), kAlgorithm, iv_header);
    EXPECT_EQ(adm_->Open(kModeRead), kOk);
  }
  CVelADMStream* operator->() { return adm_.get(); }
  std::string ReadAll() {
    std::string out;
    test::ReadRest(adm_.get(), &out);
    return out;
  }

 private:
  std::string stored_;
  std::unique_ptr<CVelADMStream> adm_;
};

// NIST SP 800-38A F.5.1 (CTR-AES128.Encrypt), with the initial counter
// block as the 16-byte header.
TEST(AdmStreamTest, NistVectorThroughTheHeader) {
  std::string key = Hex("2b7e151628aed2a6abf7158809cf4f3c");
  std::string counter = Hex("f0f1f2f3f4f5f6f7f8f9fafbfcfdfeff");
  std::string plain = Hex(
      "6bc1bee22e409f96e93d7e117393172aae2d8a571e03ac9c9eb76fac45af8e51"
      "30c81c46a35ce411e5fbc1191a0a52eff69f2445df4f9b17ad2b417be66c3710");
  std::string cipher = Hex(
      "874d6191b620e3261bef6864990db6ce9806f66b7970fdff8617187bb9fffdff"
      "5ae4df3edbd5d35e5b4f09020db03eab1e031dda2fbe03d1792170a0f3009cee");
  Reader reader(counter + cipher, key, true);
  EXPECT_EQ(reader->GetLength(), 64);
  EXPECT_EQ(reader.ReadAll(), plain);
  // A partial last block uses only as many key stream bytes as it needs.
  Reader partial(counter + cipher.substr(0, 21), key, true);
  EXPECT_EQ(partial.ReadAll(), plain.substr(0, 21));
}

TEST(AdmStreamTest, CounterBlocksFollowThePieceRule) {
  uint8_t initial[16];
  for (int i = 0; i < 12; ++i) initial[i] = static_cast<uint8_t>(0x10 + i);
  initial[12] = initial[13] = initial[14] = 0xFF;
  initial[15] = 0xFE;
  uint8_t c[16];
  // Block 2 lies inside the first piece: a full 128-bit increment.
  CVelADMStream::CounterBlock(initial, 2, c);
  EXPECT_EQ(c[11], initial[11] + 1);
  EXPECT_EQ(c[12] | c[13] | c[14] | c[15], 0);
  EXPECT_EQ(std::memcmp(c, initial, 11), 0);
  // Block 4,096 starts the second piece: last four bytes + 4,096 mod 2^32.
  CVelADMStream::CounterBlock(initial, 4096, c);
  EXPECT_EQ(std::memcmp(c, initial, 12), 0);
  EXPECT_EQ(c[12], 0x00);
  EXPECT_EQ(c[13], 0x00);
  EXPECT_EQ(c[14], 0x0F);
  EXPECT_EQ(c[15], 0xFE);
}

// AES-128 of one block, straight from OpenSSL (ECB, no padding).
std::string AesBlock(const std::string& key, const uint8_t block[16]) {
  EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
  uint8_t out[32];
  int n = 0;
  EVP_EncryptInit_ex(ctx, EVP_aes_128_ecb(), nullptr, Bytes(key), nullptr);
  EVP_CIPHER_CTX_set_padding(ctx, 0);
  EVP_EncryptUpdate(ctx, out, &n, block, 16);
  EVP_CIPHER_CTX_free(ctx);
  return std::string(reinterpret_cast<char*>(out), 16);
}

// The counter block of `block`, worked out step by step: the piece's first
// block from the last four bytes, then one 128-bit increment per block.
std::string HandCounter(const std::string& initial, uint64_t block) {
  uint8_t c[16];
  std::memcpy(c, initial.data(), 16);
  uint64_t piece_first = block / 4096 * 4096;
  uint32_t tail = uint32_t{c[12]} << 24 | uint32_t{c[13]} << 16 | uint32_t{c[14]} << 8 | c[15];
  tail += static_cast<uint32_t>(piece_first);
  c[12] = tail >> 24;
  c[13] = tail >> 16;
  c[14] = tail >> 8;
  c[15] = tail;
  for (uint64_t i = piece_first; i < block; ++i) {
    for (int b = 15; b >= 0 && ++c[b] == 0; --b) {
    }
  }
  return std::string(reinterpret_cast<char*>(c), 16);
}

// Zero plain bytes encrypt to the key stream itself, so each stored block
// shows which counter block it used.
TEST(AdmStreamTest, KeyStreamAcrossAPieceBoundary) {
  std::string key = Hex("000102030405060708090a0b0c0d0e0f");
  std::string initial = Hex("a0a1a2a3a4a5a6a7a8a9aaabfffffffe");
  EXPECT_EQ(HandCounter(initial, 2), Hex("a0a1a2a3a4a5a6a7a8a9aaac00000000"));
  EXPECT_EQ(HandCounter(initial, 4096), Hex("a0a1a2a3a4a5a6a7a8a9aaab00000ffe"));
  const uint64_t kBlocks = 4101;

  // Reading: a stored form built by hand decrypts to zeros.
  std::string stored = initial;
  for (uint64_t block = 0; block < kBlocks; ++block) {
    stored += AesBlock(key, Bytes(HandCounter(initial, block)));
  }
  Reader reader(stored, key, true);
  EXPECT_EQ(reader.ReadAll(), std::string(kBlocks * 16, '\0'));
  // One large read decrypts straight into the caller's buffer.
  ASSERT_EQ(reader->Rewind(), kOk);
  EXPECT_EQ(test::Whole(reader.operator->()), std::string(kBlocks * 16, '\0'));

  // Writing: the stream's output under its random header is that key stream.
  std::string written = Encrypt(std::string(kBlocks * 16, '\0'), key, true);
  ASSERT_EQ(written.size(), 16 + kBlocks * 16);
  std::string header = written.substr(0, 16);
  for (uint64_t block : {0u, 2u, 4095u, 4096u, 4100u}) {
    EXPECT_EQ(written.substr(16 + block * 16, 16), AesBlock(key, Bytes(HandCounter(header, block))))
        << block;
  }
}

TEST(AdmStreamTest, RoundTripOf70000Bytes) {
  std::string key = "sixteen byte key";
  std::string plain = test::Pattern(70000);
  std::string stored = Encrypt(plain, key, true);
  EXPECT_EQ(stored.size(), 70016u);
  EXPECT_NE(stored.substr(16, 100), plain.substr(0, 100));
  Reader reader(stored, key, true);
  EXPECT_EQ(reader->GetLength(), 70000);  // known before decoding
  EXPECT_EQ(reader.ReadAll(), plain);
  // Each opening draws a new header.
  EXPECT_NE(Encrypt(plain, key, true).substr(0, 16), stored.substr(0, 16));
  // Without the header the stored form is as long as the content.
  std::string bare = Encrypt(plain, key, false);
  EXPECT_EQ(bare.size(), 70000u);
  Reader bare_reader(bare, key, false);
  EXPECT_EQ(bare_reader.ReadAll(), plain);
}

TEST(AdmStreamTest, SeekBackReadsTheRightBytes) {
  std::string key = "k";
  std::string plain = test::Pattern(150000);
  Reader reader(Encrypt(plain, key, true), key, true);
  std::string all = reader.ReadAll();
  ASSERT_EQ(all, plain);
  ASSERT_EQ(reader->Seek(20, kSeekSet), kOk);
  EXPECT_EQ(test::ReadOnce(reader.operator->(), 4), plain.substr(20, 4));
  ASSERT_EQ(reader->Seek(131075, kSeekSet), kOk);
  EXPECT_EQ(test::ReadOnce(reader.operator->(), 4), plain.substr(131075, 4));
}

// Reads that bypass the window and reads through it mix freely, over every
// kind of inner stream; each read delivers all it is asked for.
class AdmReadMixTest : public ::testing::TestWithParam<Inner> {};

TEST_P(AdmReadMixTest, LargeAndSmallReadsAgree) {
  std::string key = "mix";
  std::string plain = test::Pattern(300000);
  Reader reader(Encrypt(plain, key, true), key, true, GetParam());
  std::string out(plain.size(), '\0');
  int64_t at = 0, done = 0;
  for (int64_t count : {int64_t{16}, int64_t{65536 - 16}, int64_t{100000}, int64_t{7},
                        int64_t{70000}, int64_t{60000}}) {
    ASSERT_EQ(reader->Read(out.data() + at, count, &done), kOk);
    EXPECT_EQ(done, count);
    at += done;
  }
  ASSERT_EQ(reader->Read(out.data() + at, 200000, &done), kOk);
  at += done;
  EXPECT_EQ(at, 300000);
  EXPECT_EQ(out, plain);
  EXPECT_TRUE(reader->IsEof());
  ASSERT_EQ(reader->Read(out.data(), 200000, &done), kOk);
  EXPECT_EQ(done, 0);
  ASSERT_EQ(reader->Seek(165537, kSeekSet), kOk);  // backward over a bypassing read
  ASSERT_EQ(reader->Read(out.data(), 70000, &done), kOk);
  EXPECT_EQ(out.substr(0, 70000), plain.substr(165537, 70000));
  // A tail shorter than a block after whole lent blocks.
  std::string odd = plain.substr(0, 3 * 65536 + 5);
  Reader tail(Encrypt(odd, key, false), key, false, GetParam());
  std::string got(odd.size() + 64, '\0');
  ASSERT_EQ(tail->Read(got.data(), got.size(), &done), kOk);
  EXPECT_EQ(done, static_cast<int64_t>(odd.size()));
  EXPECT_EQ(got.substr(0, done), odd);
}

INSTANTIATE_TEST_SUITE_P(Inner, AdmReadMixTest,
                         ::testing::Values(Inner::kMemory, Inner::kDynamic,
                                           Inner::kOddWindowOnDynamic));

// Decrypting over the stored bytes themselves: in place, and into a range
// that overlaps them one block further on (which must not use the lent
// bytes while overwriting them).
TEST(AdmStreamTest, ReadingIntoTheInnerStreamsOwnBuffer) {
  std::string key = "own buffer";
  std::string plain = test::Pattern(3 * 65536, 9);
  for (int64_t shift : {0, 16}) {
    std::string stored = Encrypt(plain, key, false) + std::string(16, '\0');
    Stream* inner = new CVelMemoryStream(stored.data(), stored.size(), plain.size());
    CVelADMStream adm(inner, Bytes(key), key.size(), kAlgorithm, false);
    ASSERT_EQ(adm.Open(kModeRead), kOk);
    int64_t done = 0;
    ASSERT_EQ(adm.Read(stored.data() + shift, plain.size(), &done), kOk);
    EXPECT_EQ(done, static_cast<int64_t>(plain.size()));
    EXPECT_EQ(stored.substr(shift, plain.size()), plain) << shift;
  }
}

// A part inside a package file: the ADM stream over a window of a file
// stream, whose large reads land straight in the caller's buffer. Odd read
// sizes cross piece and window boundaries at unaligned positions.
TEST(AdmStreamTest, OddReadsOverAFileWindow) {
  std::string key = "file-key";
  std::string plain = test::Pattern(5 * 65536 + 999, 11);
  std::string stored = Encrypt(plain, key, true);
  test::TempDir dir;
  const std::string prefix = test::Pattern(4321, 12);  // the part starts mid-file
  test::WriteFile(dir.File("package"), prefix + stored + "tail");
  auto* file = new CVelFileStream(dir.File("package"), false);
  Stream* inner = file;
  SubStreamArgs window{inner, static_cast<int64_t>(prefix.size()),
                       static_cast<int64_t>(stored.size())};
  Stream* sub = nullptr;
  ASSERT_EQ(CreateStream(kModeRead, &window, &sub, kReadOnlySubStream), kOk);
  CVelADMStream adm(sub, Bytes(key), key.size(), kAlgorithm, true);
  ASSERT_EQ(adm.Open(kModeRead), kOk);
  std::string out(plain.size() + 100, '\0');
  int64_t at = 0, done = 0;
  for (int64_t count : {int64_t{5}, int64_t{65536 + 3}, int64_t{131072}, int64_t{13},
                        int64_t{65536}, int64_t{50001}}) {
    ASSERT_EQ(adm.Read(out.data() + at, count, &done), kOk);
    ASSERT_EQ(done, count);
    at += done;
  }
  ASSERT_EQ(adm.Read(out.data() + at, 100000, &done), kOk);
  at += done;
  ASSERT_EQ(at, static_cast<int64_t>(plain.size()));
  EXPECT_EQ(out.substr(0, at), plain);
  EXPECT_TRUE(adm.IsEof());
  ASSERT_EQ(adm.Seek(65536 * 2 - 1, kSeekSet), kOk);  // back, one byte before a piece
  ASSERT_EQ(adm.Read(out.data(), 65536 + 2, &done), kOk);
  EXPECT_EQ(out.substr(0, 65536 + 2), plain.substr(65536 * 2 - 1, 65536 + 2));
}

TEST(AdmStreamTest, KeysAreCutOrPadded) {
  std::string plain = test::Pattern(1000);
  std::string short_key = "abcde";
  std::string padded = short_key + std::string(11, '\0');
  Reader a(Encrypt(plain, short_key, false), padded, false);
  EXPECT_EQ(a.ReadAll(), plain);
  std::string long_key = "0123456789abcdefXYZW";
  Reader b(Encrypt(plain, long_key, false), long_key.substr(0, 16), false);
  EXPECT_EQ(b.ReadAll(), plain);
  Reader wrong(Encrypt(plain, "other key", false), padded, false);
  EXPECT_NE(wrong.ReadAll(), plain);  // a wrong key is not detected, only wrong
}

TEST(AdmStreamTest, ConstructorMessages) {
  uint8_t key[4] = {1, 2, 3, 4};
  auto message = [&](const uint8_t* k, int len, const std::u16string& name) -> std::string {
    Stream* inner = new CVelDynamicMemoryStream();
    try {
      CVelADMStream adm(inner, k, len, name, false);
    } catch (const std::runtime_error& e) {
      EXPECT_EQ(inner, nullptr);
      return e.what();
    }
    return "";
  };
  EXPECT_EQ(message(key, 0, kAlgorithm), "CVelADMStream -- Cannot init stream - Arguments invalid!");
  EXPECT_EQ(message(nullptr, 4, kAlgorithm), "CVelADMStream -- Cannot init stream - Arguments invalid!");
  EXPECT_EQ(message(key, 4, u""), "CVelADMStream -- Cannot init stream - Arguments invalid!");
  EXPECT_EQ(message(key, 4, u"aes-128-ctr"), "CVelADMStream -- Cannot init stream - Data error!");
  EXPECT_EQ(message(key, 4, kAlgorithm), "");
}

TEST(AdmStreamTest, LengthFromTheStoredSize) {
  std::string key = "key";
  Reader hundred(std::string(116, 'x'), key, true);
  EXPECT_EQ(hundred->GetLength(), 100);
  Reader ten(std::string(10, 'x'), key, true);
  EXPECT_EQ(ten->GetLength(), -1);
  // A header cut short is a failure, not an empty part.
  char buf[4];
  int64_t done = 0;
  EXPECT_EQ(ten->Read(buf, 4, &done), 12010122);
  Reader empty(std::string(16, 'x'), key, true);
  EXPECT_EQ(empty->GetLength(), 0);
  EXPECT_EQ(empty.ReadAll(), "");
  EXPECT_TRUE(empty->IsEof());
}

TEST(AdmStreamTest, WritingNothingLeavesTheInnerStreamEmpty) {
  auto* mem = new CVelDynamicMemoryStream();
  ASSERT_EQ(mem->Open(kModeWrite), kOk);
  ASSERT_EQ(mem->Write("old content", 11), kOk);
  ASSERT_EQ(mem->Close(), kOk);
  Stream* inner = mem;
  std::string key = "key";
  CVelADMStream adm(inner, Bytes(key), 3, kAlgorithm, true);
  ASSERT_EQ(adm.Open(kModeWrite), kOk);
  ASSERT_EQ(adm.Close(), kOk);
  ASSERT_EQ(mem->Open(kModeRead), kOk);
  EXPECT_EQ(mem->GetLength(), 0);
}

TEST(AdmStreamTest, CloneAndCreateStream) {
  std::string key = "clone key";
  std::string plain = test::Pattern(5000);
  std::string stored = Encrypt(plain, key, true);
  AdmStreamArgs args{test::Over(stored),
                     Bytes(key), static_cast<int>(key.size()), kAlgorithm, true};
  Stream* s = nullptr;
  ASSERT_EQ(CreateStream(kModeRead, &args, &s, kAdmStream), kOk);
  EXPECT_EQ(args.inner, nullptr);
  EXPECT_EQ(s->GetType(), kAdmStream);
  std::unique_ptr<Stream> clone(s->Clone());
  EXPECT_EQ(s->Release(), kOk);
  ASSERT_NE(clone, nullptr);
  ASSERT_EQ(clone->Open(kModeRead), kOk);
  EXPECT_EQ(test::Whole(clone.get()), plain);

  AdmStreamArgs bad{test::Over(stored),
                    Bytes(key), static_cast<int>(key.size()), u"AES-256-CTR", true};
  EXPECT_EQ(CreateStream(kModeRead, &bad, &s, kAdmStream), kCreateException);
  EXPECT_EQ(bad.inner, nullptr);
  EXPECT_EQ(s, nullptr);
}

}  // namespace
}  // namespace zoq
