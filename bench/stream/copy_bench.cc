// CopyStream from one file stream to another against `dd bs=64K` on the
// same 256 MiB file, page cache warm. The destination is removed before
// every run (outside the timing) so both write a new file.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "bench_data.h"
#include "stream/file_stream.h"

namespace zoq {
namespace {

constexpr int64_t kFileSize = 256 * bench::kMiB;

bool work_dir_made = false;

std::string WorkDir() {
  static const std::string dir = [] {
    work_dir_made = true;
    const char* base = getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/zoq-bench-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) return std::string();
    std::string source = pattern + "/source";
    FILE* f = fopen(source.c_str(), "wb");
    std::vector<uint8_t> piece(bench::kMiB);
    for (int64_t at = 0; at < kFileSize; at += bench::kMiB) {
      bench::FillText(piece.data(), bench::kMiB, static_cast<uint32_t>(at));
      fwrite(piece.data(), 1, piece.size(), f);
    }
    fclose(f);
    return pattern;
  }();
  return dir;
}

void Cleanup() {
  if (!work_dir_made) return;
  std::string dir = WorkDir();
  unlink((dir + "/source").c_str());
  unlink((dir + "/dest").c_str());
  rmdir(dir.c_str());
}

void WarmSource() {
  std::string cmd = "cat '" + WorkDir() + "/source' > /dev/null";
  if (system(cmd.c_str()) != 0) abort();
}

void BM_Dd64K(benchmark::State& state) {
  std::string dir = WorkDir();
  WarmSource();
  std::string cmd = "dd if='" + dir + "/source' of='" + dir + "/dest' bs=64K status=none";
  for (auto _ : state) {
    state.PauseTiming();
    unlink((dir + "/dest").c_str());
    state.ResumeTiming();
    if (system(cmd.c_str()) != 0) state.SkipWithError("dd failed");
  }
  state.SetBytesProcessed(state.iterations() * kFileSize);
}

void BM_CopyStreamFileToFile(benchmark::State& state) {
  std::string dir = WorkDir();
  WarmSource();
  for (auto _ : state) {
    state.PauseTiming();
    unlink((dir + "/dest").c_str());
    state.ResumeTiming();
    CVelFileStream source(dir + "/source", false), dest(dir + "/dest", false);
    if (source.Open(kModeRead) != kOk || dest.Open(kModeWrite) != kOk ||
        CopyStream(&dest, &source, nullptr, kSeekSet, 0) != kOk || dest.Close() != kOk) {
      state.SkipWithError("copy failed");
    }
  }
  state.SetBytesProcessed(state.iterations() * kFileSize);
}

BENCHMARK(BM_Dd64K)->Unit(benchmark::kMillisecond)->Iterations(2)->Repetitions(3)->UseRealTime();
BENCHMARK(BM_CopyStreamFileToFile)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2)
    ->Repetitions(3)
    ->UseRealTime();

}  // namespace
}  // namespace zoq

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  zoq::Cleanup();
  return 0;
}
