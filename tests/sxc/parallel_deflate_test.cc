#include "sxc/parallel_deflate.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <string>

#include "sxc/chunk_pipeline.h"
#include "sxc/zlib_codec.h"

namespace zoq {
namespace {

// Text with some repetition, like value streams: compresses a few times.
std::string Text(size_t size, unsigned seed) {
  static const char* const kWords[] = {"alpha ", "beta ", "gamma ", "2026-12-08", " 3.25",
                                       "true", "段落 ", "<x/>", "\n", "table "};
  std::string s;
  unsigned x = seed;
  while (s.size() < size) {
    x = x * 1103515245u + 12345u;
    s += kWords[(x >> 16) % 10];
    if ((x >> 8) % 7 == 0) s += static_cast<char>('a' + (x >> 24) % 26);
  }
  s.resize(size);
  return s;
}

// Plain zlib, as any other reader would inflate it.
bool ZlibUncompress(const std::vector<uint8_t>& stream, size_t size, std::string* out) {
  out->assign(size, '\0');
  uLongf length = static_cast<uLongf>(size);
  return uncompress(reinterpret_cast<Bytef*>(out->data()), &length, stream.data(),
                    static_cast<uLong>(stream.size())) == Z_OK &&
         length == size;
}

const uint8_t* Bytes(const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); }

// Chunked streams must be single valid zlib streams whatever the sizes and
// piece boundaries: checked with zlib itself and with our own inflater.
TEST(ParallelDeflateTest, ChunkedStreamsInflateWithPlainZlib) {
  constexpr size_t kChunk = 4096;
  const std::string text = Text(10 * kChunk + 77, 3);
  for (int threads : {1, 3}) {
    std::vector<DeflateJob> jobs;
    const size_t sizes[] = {0, 1, kChunk - 1, kChunk, kChunk + 1, 2 * kChunk, text.size()};
    for (size_t size : sizes) {
      jobs.emplace_back();
      jobs.back().pieces = {{Bytes(text), size}};
    }
    // Several pieces whose joins fall inside and on chunk boundaries.
    jobs.emplace_back();
    jobs.back().pieces = {{Bytes(text), 100}, {Bytes(text) + 100, kChunk - 100},
                          {Bytes(text) + kChunk, 0}, {Bytes(text) + kChunk, text.size() - kChunk}};
    ASSERT_TRUE(ParallelDeflate(Z_DEFAULT_COMPRESSION, threads, kChunk).Run(&jobs));
    for (size_t j = 0; j < jobs.size(); ++j) {
      const size_t size = j < std::size(sizes) ? sizes[j] : text.size();
      std::string back;
      ASSERT_TRUE(ZlibUncompress(jobs[j].output, size, &back)) << "job " << j;
      EXPECT_EQ(back, text.substr(0, size)) << "job " << j;
      std::vector<uint8_t> ours;
      ASSERT_TRUE(InflateAll(jobs[j].output.data(), jobs[j].output.size(), &ours));
      EXPECT_EQ(std::string(ours.begin(), ours.end()), back);
    }
    // The header is the one zlib writes for the default level.
    EXPECT_EQ(jobs.back().output[0], 0x78);
    EXPECT_EQ(jobs.back().output[1], 0x9C);
  }
}

// Small jobs come out exactly as a one-pass zlib stream; chunking a large
// one costs little size because each chunk starts with the 32 KiB before it.
TEST(ParallelDeflateTest, SmallJobsMatchOnePassAndChunkingCostsLittle) {
  const std::string text = Text(3 << 20, 9);
  std::vector<DeflateJob> jobs(2);
  jobs[0].pieces = {{Bytes(text), 5000}};
  jobs[1].pieces = {{Bytes(text), text.size()}};
  ASSERT_TRUE(ParallelDeflate().Run(&jobs));
  std::vector<uint8_t> small, whole;
  ASSERT_TRUE(DeflateAll(Bytes(text), 5000, &small));
  EXPECT_EQ(jobs[0].output, small);
  ASSERT_TRUE(DeflateAll(Bytes(text), text.size(), &whole));
  EXPECT_LT(jobs[1].output.size(), whole.size() + whole.size() / 100);
  std::string back;
  ASSERT_TRUE(ZlibUncompress(jobs[1].output, text.size(), &back));
  EXPECT_EQ(back, text);
}

// Streams compressed by the pipeline piece by piece while they grow give
// the very bytes the runner gives from the whole streams, whatever the
// pieces (cut inside chunks, ending on a chunk boundary); a pipeline dropped
// unfinished stops its helpers.
TEST(ChunkPipelineTest, StreamsCompressedWhileGrowingGiveTheSameBytes) {
  constexpr size_t kChunk = 4096, kShared = 5000;
  const std::string text = Text(9 * kChunk + 5, 21);
  for (int helpers : {1, 3}) {
    ChunkPipeline pipeline(4, Z_DEFAULT_COMPRESSION, helpers, kChunk, kShared, 1000);
    std::vector<std::string> streams(4);
    // Node 0 grows in odd pieces, node 1 at once to exactly four chunks,
    // node 2 to a chunk boundary and then a little more, node 3 stays
    // short enough to share a block.
    for (size_t at = 0; at < text.size(); at += 777) {
      streams[0].append(text, at, 777);
      pipeline.Grew(0, streams[0]);
    }
    streams[1] = text.substr(0, 4 * kChunk);
    pipeline.Grew(1, streams[1]);
    streams[2] = text.substr(0, 2 * kChunk);
    pipeline.Grew(2, streams[2]);
    streams[2] += "tail";
    streams[3] = text.substr(0, kShared);
    pipeline.Grew(3, streams[3]);
    std::vector<std::vector<DeflatedChunk>> early;
    ASSERT_TRUE(pipeline.Finish(streams, &early));
    ASSERT_EQ(early.size(), 4u);
    EXPECT_EQ(early[0].size(), 10u);
    EXPECT_EQ(early[1].size(), 4u);
    EXPECT_EQ(early[2].size(), 3u);
    EXPECT_TRUE(early[3].empty());
    std::vector<DeflateJob> piped(4), plain(4);
    for (size_t n = 0; n < 4; ++n) {
      piped[n].pieces = plain[n].pieces = {{Bytes(streams[n]), streams[n].size()}};
      piped[n].done = std::move(early[n]);
    }
    ParallelDeflate runner(Z_DEFAULT_COMPRESSION, 2, kChunk);
    ASSERT_TRUE(runner.Run(&piped));
    ASSERT_TRUE(runner.Run(&plain));
    for (size_t n = 0; n < 4; ++n) EXPECT_EQ(piped[n].output, plain[n].output) << "node " << n;
  }
  ChunkPipeline abandoned(1, Z_DEFAULT_COMPRESSION, 2, kChunk, 0, 1000);
  abandoned.Grew(0, text);
}

// A damaged chunk is caught by the stream's checksum like any other stream.
TEST(ParallelDeflateTest, CorruptionIsDetected) {
  const std::string text = Text(50000, 5);
  std::vector<DeflateJob> jobs(1);
  jobs[0].pieces = {{Bytes(text), text.size()}};
  ASSERT_TRUE(ParallelDeflate(Z_DEFAULT_COMPRESSION, 2, 8192).Run(&jobs));
  std::vector<uint8_t> damaged = jobs[0].output;
  damaged[damaged.size() - 2] ^= 1;  // the Adler-32
  std::vector<uint8_t> out;
  EXPECT_FALSE(InflateAll(damaged.data(), damaged.size(), &out));
}

}  // namespace
}  // namespace zoq
