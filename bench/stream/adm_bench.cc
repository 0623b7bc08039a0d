// Reading an ADM stream (AES-128-CTR with the 64 KiB piece counter rule)
// against one OpenSSL EVP AES-128-CTR pass over the same bytes, both
// delivering into a 64 KiB buffer.
#include <benchmark/benchmark.h>
#include <openssl/evp.h>

#include <memory>
#include <vector>

#include "bench_data.h"
#include "stream/adm_stream.h"
#include "stream/memory_stream.h"

namespace zoq {
namespace {

constexpr int64_t kPlainSize = 256 * bench::kMiB;
constexpr int64_t kChunk = 0x10000;
const uint8_t kKey[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};

// 16-byte header + cipher text; what the bytes are does not matter for speed.
const std::vector<uint8_t>& Stored() {
  static const std::vector<uint8_t> stored = [] {
    std::vector<uint8_t> out(kPlainSize + 16);
    bench::FillText(out.data(), static_cast<int64_t>(out.size()), 7);
    return out;
  }();
  return stored;
}

void BM_EvpAes128CtrPass(benchmark::State& state) {
  const auto& stored = Stored();
  std::vector<uint8_t> out(kChunk);
  EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
  for (auto _ : state) {
    EVP_EncryptInit_ex(ctx, EVP_aes_128_ctr(), nullptr, kKey, stored.data());
    int n = 0;
    for (int64_t at = 0; at < kPlainSize; at += kChunk) {
      EVP_EncryptUpdate(ctx, out.data(), &n, stored.data() + 16 + at, kChunk);
    }
    benchmark::DoNotOptimize(out.data());
  }
  EVP_CIPHER_CTX_free(ctx);
  state.SetBytesProcessed(state.iterations() * kPlainSize);
}

// The same pass fed through the inner stream that the ADM stream reads from:
// what remains between this and BM_AdmStreamRead is the decorator and the
// piece counter rule.
void BM_EvpAfterInnerRead(benchmark::State& state) {
  const auto& stored = Stored();
  std::vector<uint8_t> out(kChunk);
  EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
  for (auto _ : state) {
    CVelMemoryStream inner(const_cast<uint8_t*>(stored.data()), static_cast<int64_t>(stored.size()),
                           static_cast<int64_t>(stored.size()));
    inner.Open(kModeRead);
    inner.Seek(16, kSeekSet);
    EVP_EncryptInit_ex(ctx, EVP_aes_128_ctr(), nullptr, kKey, stored.data());
    int n = 0;
    int64_t done = 0;
    while (inner.Read(out.data(), kChunk, &done) == kOk && done > 0) {
      EVP_EncryptUpdate(ctx, out.data(), &n, out.data(), static_cast<int>(done));
    }
    benchmark::DoNotOptimize(out.data());
  }
  EVP_CIPHER_CTX_free(ctx);
  state.SetBytesProcessed(state.iterations() * kPlainSize);
}

// The cipher text is decrypted straight from the memory stream's buffer.
void BM_AdmStreamRead(benchmark::State& state) {
  bench::ReadThroughDecorator(state, Stored(), kPlainSize, [](Stream*& inner) {
    return CVelADMStream(inner, kKey, 16, u"AES-128-CTR", true);
  });
}

BENCHMARK(BM_EvpAes128CtrPass)->Unit(benchmark::kMillisecond)->Iterations(5)->Repetitions(3);
BENCHMARK(BM_EvpAfterInnerRead)->Unit(benchmark::kMillisecond)->Iterations(5)->Repetitions(3);
BENCHMARK(BM_AdmStreamRead)->Unit(benchmark::kMillisecond)->Iterations(5)->Repetitions(3);

}  // namespace
}  // namespace zoq

BENCHMARK_MAIN();
