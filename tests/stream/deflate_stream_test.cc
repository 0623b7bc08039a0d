#include "stream/deflate_stream.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <memory>

#include "stream/dynamic_memory_stream.h"
#include "stream/memory_stream.h"
#include "coded.h"
#include "temp_dir.h"

namespace zoq {
namespace {

// Compresses `plain` through a CVelDeflateStream into memory.
std::string Compress(const std::string& plain, bool raw, size_t piece = 10000) {
  return test::WriteThrough(plain, piece, [raw](Stream*& inner) {
    return std::make_unique<CVelDeflateStream>(inner, raw);
  });
}

// Reads `stored` back through a CVelDeflateStream.
int Decompress(const std::string& stored, bool raw, std::string* plain) {
  std::string copy = stored;
  Stream* inner = test::Over(copy);
  CVelDeflateStream d(inner, raw);
  int code = d.Open(kModeRead);
  plain->clear();
  return code != kOk ? code : test::ReadRest(&d, plain, 30000);
}

// A deflate stream opened for reading over `stored`, which must outlive it.
std::unique_ptr<CVelDeflateStream> Inflating(std::string& stored, bool raw) {
  Stream* inner = test::Over(stored);
  auto d = std::make_unique<CVelDeflateStream>(inner, raw);
  EXPECT_EQ(d->Open(kModeRead), kOk);
  return d;
}

// Plain zlib inflate, zlib format or raw.
bool ZlibInflate(const std::string& stored, bool raw, std::string* plain) {
  z_stream z{};
  if (inflateInit2(&z, raw ? -15 : 15) != Z_OK) return false;
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(stored.data()));
  z.avail_in = stored.size();
  plain->clear();
  int ret;
  do {
    char buf[16384];
    z.next_out = reinterpret_cast<Bytef*>(buf);
    z.avail_out = sizeof buf;
    ret = inflate(&z, Z_NO_FLUSH);
    plain->append(buf, sizeof buf - z.avail_out);
  } while (ret == Z_OK);
  inflateEnd(&z);
  return ret == Z_STREAM_END;
}

std::string Text(size_t size) {
  std::string s;
  while (s.size() < size) s += "The quick brown fox " + std::to_string(s.size() % 977) + ". ";
  s.resize(size);
  return s;
}

size_t CountSyncMarks(const std::string& stored) {
  size_t n = 0;
  for (size_t at = stored.find(std::string("\0\0\xff\xff", 4)); at != std::string::npos;
       at = stored.find(std::string("\0\0\xff\xff", 4), at + 1)) {
    ++n;
  }
  return n;
}

TEST(DeflateStreamTest, OutputInflatesWithPlainZlib) {
  for (bool raw : {false, true}) {
    for (size_t size : {1u, 65535u, 65536u, 65537u, 300001u}) {
      std::string plain = test::Pattern(size / 2) + Text(size - size / 2);
      std::string stored = Compress(plain, raw);
      if (!raw) {
        ASSERT_GE(stored.size(), 2u);
        EXPECT_EQ(static_cast<uint8_t>(stored[0]), 0x78);
        EXPECT_EQ(static_cast<uint8_t>(stored[1]), 0xDA);  // level 9 header
      }
      std::string back;
      ASSERT_TRUE(ZlibInflate(stored, raw, &back)) << raw << " " << size;
      EXPECT_EQ(back, plain);
      // And through the decorator itself.
      ASSERT_EQ(Decompress(stored, raw, &back), kOk);
      EXPECT_EQ(back, plain);
    }
  }
}

TEST(DeflateStreamTest, PlainZlibOutputReadsThroughTheDecorator) {
  std::string plain = Text(500000);
  uLongf size = compressBound(plain.size());
  std::string stored(size, '\0');
  ASSERT_EQ(compress2(reinterpret_cast<Bytef*>(stored.data()), &size,
                      reinterpret_cast<const Bytef*>(plain.data()), plain.size(), 6),
            Z_OK);
  stored.resize(size);
  std::string back;
  ASSERT_EQ(Decompress(stored, false, &back), kOk);
  EXPECT_EQ(back, plain);
}

TEST(DeflateStreamTest, SyncFlushAfterEachFullWindow) {
  // 65,536 bytes: all compressed with the finish, no sync flush.
  EXPECT_EQ(CountSyncMarks(Compress(Text(65536), false, 65536)), 0u);
  // 65,537 bytes: 65,535 up to a sync flush, the last 2 with the finish.
  std::string stored = Compress(Text(65537), false, 65537);
  EXPECT_EQ(CountSyncMarks(stored), 1u);
  // Written byte by byte the layout is the same.
  EXPECT_EQ(Compress(Text(65537), false, 1), stored);
}

TEST(DeflateStreamTest, TruncatedPartFailsAfterItsGoodBytes) {
  std::string plain = test::Pattern(200000);
  std::string stored = Compress(plain, false);
  std::string cut = stored.substr(0, stored.size() * 3 / 4);
  auto d = Inflating(cut, false);
  std::string out(plain.size(), '\0');
  int64_t done = 0, total = 0;
  int code = kOk;
  while ((code = d->Read(out.data() + total, out.size() - total, &done)) == kOk && done > 0) {
    total += done;
  }
  EXPECT_EQ(code, kDecodeFailed);
  EXPECT_GT(total, 100000);  // what came before the break was delivered
  EXPECT_LT(total, 200000);
  EXPECT_EQ(out.substr(0, total), plain.substr(0, total));
  int b = 0;
  EXPECT_EQ(d->PeekByte(&b), 12070291);
  EXPECT_EQ(d->GetLength(), -1);

  auto sink = std::make_unique<CVelDynamicMemoryStream>();
  ASSERT_EQ(sink->Open(kModeWrite), kOk);
  EXPECT_EQ(CopyStream(sink.get(), d.get(), nullptr, kSeekSet, 0), kCopyFailed);
}

// Large reads inflate straight into the caller's buffer, small ones through
// the window; any mix must give the same bytes, and seeking must still work.
TEST(DeflateStreamTest, MixedReadSizesAgree) {
  for (bool raw : {false, true}) {
    std::string plain = Text(400000) + test::Pattern(100000, 9);
    std::string stored = Compress(plain, raw);
    auto d = Inflating(stored, raw);
    std::string back;
    const int64_t sizes[] = {1, 70000, 5, 16384, 16383, 200000, 3};
    for (size_t i = 0; back.size() < plain.size(); ++i) {
      int64_t n = sizes[i % std::size(sizes)];
      std::string piece(n, '\0');
      int64_t done = 0;
      ASSERT_EQ(d->Read(piece.data(), n, &done), kOk);
      ASSERT_GT(done, 0);
      back.append(piece, 0, done);
    }
    EXPECT_EQ(back, plain);
    int64_t done = -1;
    char c;
    EXPECT_EQ(d->Read(&c, 1, &done), kOk);
    EXPECT_EQ(done, 0);
    EXPECT_TRUE(d->IsEof());
    EXPECT_EQ(d->GetLength(), static_cast<int64_t>(plain.size()));
    // Backwards after direct reads decodes again from the start.
    ASSERT_EQ(d->Seek(123457, kSeekSet), kOk);
    std::string piece(50000, '\0');
    ASSERT_EQ(d->Read(piece.data(), piece.size(), &done), kOk);
    EXPECT_EQ(piece, plain.substr(123457, 50000));
  }
}

// Raw output read as zlib format, junk, and a changed check value: each
// fails at once.
TEST(DeflateStreamTest, ForeignOrCorruptDataFailsAtOnce) {
  std::string back;
  const std::string raw = Compress(Text(1000), true);
  EXPECT_FALSE(ZlibInflate(raw, false, &back));
  EXPECT_NE(Decompress(raw, false, &back), kOk);
  EXPECT_EQ(Decompress(test::Pattern(1000), false, &back), kDecodeFailed);
  std::string stored = Compress(Text(5000), false);
  stored[stored.size() - 1] ^= 0x55;  // Adler-32 mismatch
  EXPECT_EQ(Decompress(stored, false, &back), kDecodeFailed);
}

// Every stream, whole, cut short or with a byte changed, reads the same
// through ISA-L's inflater as through zlib's: the same code and the same
// bytes delivered before a failure.
TEST(DeflateStreamTest, BothInflatersReadEveryStreamAlike) {
  std::vector<std::string> streams = {Compress(Text(150000) + test::Pattern(90000, 3), false),
                                      Compress(test::Pattern(70000, 7), false)};
  uLongf size = compressBound(100000);
  std::string level1(size, '\0');
  const std::string plain = Text(100000);
  ASSERT_EQ(compress2(reinterpret_cast<Bytef*>(level1.data()), &size,
                      reinterpret_cast<const Bytef*>(plain.data()), plain.size(), 1),
            Z_OK);
  level1.resize(size);
  streams.push_back(level1);
  std::string small_window = level1;
  small_window[0] = 0x48;  // a 4 KiB window: zlib then refuses far distances
  small_window[1] = static_cast<char>(31 - (0x48 * 256) % 31);
  streams.push_back(small_window);
  auto read = [](const std::string& stored, bool fast, std::string* out) {
    UseFastInflate(fast);
    const int code = Decompress(stored, false, out);
    UseFastInflate(true);
    return code;
  };
  int cases = 0;
  for (const std::string& stored : streams) {
    std::vector<std::string> variants = {stored};
    for (size_t cut = 0; cut < stored.size(); cut += stored.size() / 37 + 1) {
      variants.push_back(stored.substr(0, cut));
    }
    for (size_t at = 0; at < stored.size(); at += stored.size() / 151 + 1) {
      std::string flipped = stored;
      flipped[at] ^= static_cast<char>(1 << (at % 8));
      variants.push_back(flipped);
    }
    for (const std::string& variant : variants) {
      std::string zlib_out, fast_out;
      const int zlib_code = read(variant, false, &zlib_out);
      const int fast_code = read(variant, true, &fast_out);
      ASSERT_EQ(fast_code, zlib_code) << "variant " << cases;
      ASSERT_EQ(fast_out.size(), zlib_out.size()) << "variant " << cases;
      ASSERT_TRUE(fast_out == zlib_out) << "variant " << cases;
      ++cases;
    }
  }
  EXPECT_GT(cases, 700);
}

TEST(DeflateStreamTest, EmptyContentRoundTrips) {
  std::string stored = Compress("", false);
  EXPECT_TRUE(stored.empty());
  std::string back = "x";
  char dummy = 0;
  Stream* inner = new CVelMemoryStream(&dummy, 0, 0);
  CVelDeflateStream d(inner, false);
  ASSERT_EQ(d.Open(kModeRead), kOk);
  char buf[4];
  int64_t done = 5;
  EXPECT_EQ(d.Read(buf, 4, &done), kOk);
  EXPECT_EQ(done, 0);
  EXPECT_EQ(d.GetLength(), 0);
  EXPECT_TRUE(d.IsEof());
}

TEST(DeflateStreamTest, LengthSeekAndRewindInReadMode) {
  std::string plain = test::Pattern(150000);
  std::string stored = Compress(plain, false);
  auto d = Inflating(stored, false);
  EXPECT_EQ(d->GetLength(), -1);
  ASSERT_EQ(d->Seek(140000, kSeekSet), kOk);
  ASSERT_EQ(d->Seek(20, kSeekSet), kOk);  // backward: inflates again from the start
  EXPECT_EQ(test::ReadOnce(d.get(), 4), plain.substr(20, 4));
  EXPECT_EQ(d->Seek(0, kSeekEnd), kNotPossible);
  EXPECT_EQ(d->Seek(150001, kSeekSet), 12070519);
  EXPECT_EQ(d->GetLength(), 150000);  // decoded to the end by now
  ASSERT_EQ(d->Rewind(), kOk);
  int b = 0;
  ASSERT_EQ(d->ReadByte(&b), kOk);
  EXPECT_EQ(b, static_cast<uint8_t>(plain[0]));
}

TEST(DeflateStreamTest, WholeFirstWindowRewindKeepsTheWindow) {
  std::string plain = Text(1000);
  std::string stored = Compress(plain, false);
  auto d = Inflating(stored, false);
  std::string out(1000, '\0');
  int64_t done = 0;
  ASSERT_EQ(d->Read(out.data(), 1000, &done), kOk);
  EXPECT_EQ(d->GetLength(), 1000);
  int64_t inner_at = d->inner()->Tell();
  ASSERT_EQ(d->Rewind(), kOk);
  EXPECT_EQ(d->inner()->Tell(), inner_at);  // nothing read again
  ASSERT_EQ(d->Read(out.data(), 1000, &done), kOk);
  EXPECT_EQ(out, plain);
}

TEST(DeflateStreamTest, WriteModeRules) {
  auto* mem = new CVelDynamicMemoryStream();
  Stream* inner = mem;
  CVelDeflateStream d(inner, false);
  ASSERT_EQ(d.Open(kModeWrite), kOk);
  std::string plain = Text(70000);
  ASSERT_EQ(d.Write(plain.data(), plain.size()), kOk);
  EXPECT_EQ(d.Rewind(), kNotSupported);
  EXPECT_EQ(d.Seek(10, kSeekSet), 12070525);
  ASSERT_EQ(d.Flush(), kOk);
  EXPECT_EQ(d.Write("x", 1), 12070386);
  // Reopening for writing starts a fresh compressed stream.
  ASSERT_EQ(d.Open(kModeWrite), kOk);
  ASSERT_EQ(d.Write("fresh", 5), kOk);
  ASSERT_EQ(d.Close(), kOk);
  ASSERT_EQ(d.Open(kModeRead), kOk);
  EXPECT_EQ(test::ReadOnce(&d, 8), "fresh");
}

TEST(DeflateStreamTest, CloneKeepsTheRawFlag) {
  std::string plain = Text(3000);
  std::string stored = Compress(plain, true);
  Stream* inner = test::Over(stored);
  CVelDeflateStream d(inner, true);
  std::unique_ptr<Stream> clone(d.Clone());
  ASSERT_NE(clone, nullptr);
  EXPECT_EQ(clone->GetType(), kDeflateStream);
  ASSERT_EQ(clone->Open(kModeRead), kOk);
  EXPECT_EQ(test::Whole(clone.get()), plain);
}

TEST(DeflateStreamTest, CreateStreamTakesTheInnerStream) {
  std::string stored = Compress(Text(100), false);
  DeflateStreamArgs args{test::Over(stored), false};
  Stream* s = nullptr;
  ASSERT_EQ(CreateStream(kModeRead, &args, &s, kDeflateStream), kOk);
  EXPECT_EQ(args.inner, nullptr);
  EXPECT_EQ(s->GetType(), kDeflateStream);
  EXPECT_EQ(s->Release(), kOk);
  DeflateStreamArgs none{nullptr, false};
  EXPECT_EQ(CreateStream(kModeRead, &none, &s, kDeflateStream), kCreateException);
  DeflateStreamArgs bad_mode{test::Over(stored),
                             false};
  EXPECT_EQ(CreateStream(kModeReadWrite, &bad_mode, &s, kDeflateStream), kBadOpenMode);
  EXPECT_EQ(bad_mode.inner, nullptr);
  EXPECT_EQ(s, nullptr);
}

}  // namespace
}  // namespace zoq
