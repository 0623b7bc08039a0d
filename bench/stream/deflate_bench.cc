// Reading a deflate-coded stream through CVelDeflateStream against a plain
// zlib inflate loop over the same bytes, both into a 64 KiB buffer.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstring>
#include <memory>
#include <vector>

#include "bench_data.h"
#include "stream/deflate_stream.h"
#include "stream/dynamic_memory_stream.h"
#include "stream/memory_stream.h"

namespace zoq {
namespace {

constexpr int64_t kPlainSize = 256 * bench::kMiB;
constexpr int64_t kChunk = 0x10000;

// The compressed form of kPlainSize text bytes, written through the stream.
const std::vector<uint8_t>& Compressed() {
  static const std::vector<uint8_t> stored = [] {
    auto* mem = new CVelDynamicMemoryStream();
    Stream* inner = mem;
    CVelDeflateStream writer(inner, false);
    writer.Open(kModeWrite);
    std::vector<uint8_t> piece(bench::kMiB);
    for (int64_t at = 0; at < kPlainSize; at += bench::kMiB) {
      bench::FillText(piece.data(), bench::kMiB, static_cast<uint32_t>(at / bench::kMiB));
      writer.Write(piece.data(), bench::kMiB);
    }
    writer.Close();
    mem->Open(kModeRead);
    std::vector<uint8_t> out(static_cast<size_t>(mem->GetLength()));
    int64_t done = 0;
    mem->Read(out.data(), out.size(), &done);
    return out;
  }();
  return stored;
}

void BM_ZlibInflateLoop(benchmark::State& state) {
  const auto& stored = Compressed();
  std::vector<uint8_t> out(kChunk);
  for (auto _ : state) {
    z_stream z{};
    inflateInit(&z);
    z.next_in = const_cast<Bytef*>(stored.data());
    z.avail_in = static_cast<uInt>(stored.size());
    int64_t total = 0;
    int ret;
    do {
      z.next_out = out.data();
      z.avail_out = kChunk;
      ret = inflate(&z, Z_NO_FLUSH);
      total += kChunk - z.avail_out;
    } while (ret == Z_OK);
    inflateEnd(&z);
    if (ret != Z_STREAM_END || total != kPlainSize) state.SkipWithError("inflate failed");
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(state.iterations() * kPlainSize);
  state.counters["compressed_MiB"] = static_cast<double>(stored.size()) / bench::kMiB;
}

void BM_DeflateStreamRead(benchmark::State& state) {
  bench::ReadThroughDecorator(state, Compressed(), kPlainSize,
                              [](Stream*& inner) { return CVelDeflateStream(inner, false); });
}

// Alternating runs so that both see the same machine state.
BENCHMARK(BM_ZlibInflateLoop)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(3);
BENCHMARK(BM_DeflateStreamRead)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(3);

}  // namespace
}  // namespace zoq

BENCHMARK_MAIN();
