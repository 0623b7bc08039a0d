// Saving: the cost of an incremental save that adds one 4 KiB part to a
// small and to a large package (a save writes only what changed), and the
// peak memory of adding a large part.
//
// ZOQ_BENCH_LARGE_MIB sets the large package's size (default 1024).
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "zoq/container.h"
#include "package/temp_files.h"

namespace {

using zoq::Container;
using zoq::ContainerOptions;

std::unique_ptr<Container> NewContainer() {
  ContainerOptions options;
  options.resource_dir = std::string(".");
  Container* c = nullptr;
  if (zoq::CreateContainer(&options, &c) != 0) std::abort();
  return std::unique_ptr<Container>(c);
}

// Deterministic text-like bytes.
std::vector<uint8_t> TextLike(size_t size, uint32_t seed) {
  static const char* kWords[] = {"package ", "revision ", "entry ", "part ", "<item>",
                                 "</item>\n", "value=\"", "data ", "the ", "record "};
  std::mt19937 random(seed);
  std::vector<uint8_t> out;
  out.reserve(size);
  while (out.size() < size) {
    for (const char* p = kWords[random() % 10]; *p && out.size() < size; ++p) out.push_back(*p);
  }
  return out;
}

// A package of about `mib` MiB in 1 MiB parts, stored plain, in 8 revisions.
std::string MakePackage(int mib) {
  std::string path = zoq::SystemTempDir() + "/zoq-save-bench-" + std::to_string(getpid()) + "-" +
                     std::to_string(mib) + ".zoq";
  auto c = NewContainer();
  if (c->CreatePackage(path, 0, 0, 8, 0) != 0) std::abort();
  const std::vector<uint8_t> piece = TextLike(1 << 20, 42);
  const int per_revision = mib / 8 + 1;
  for (int i = 0; i < mib; ++i) {
    std::u16string name = u"/data/part";
    for (char ch : std::to_string(i)) name.push_back(static_cast<char16_t>(ch));
    if (c->AddPartFromMemory(name, piece.data(), piece.size(), nullptr, 0, false) != 0) {
      std::abort();
    }
    if ((i + 1) % per_revision == 0 && c->Save(zoq::kSaveIncremental, false) != 0) std::abort();
  }
  if (c->Save(zoq::kSaveIncremental, false) != 0) std::abort();
  c.reset();
  // The temporary storage written while building the package is still being
  // written back by the system; let that finish so the timed saves' fsync
  // calls do not wait for it.
  sync();
  return path;
}

void AddSmallPart(benchmark::State& state, int mib) {
  const std::string path = MakePackage(mib);
  const std::vector<uint8_t> small = TextLike(4096, 7);
  int n = 0;
  for (auto _ : state) {
    auto c = NewContainer();
    if (c->OpenFile(path, false) != 0) std::abort();
    std::u16string name = u"/new/";
    for (char ch : std::to_string(n++)) name.push_back(static_cast<char16_t>(ch));
    if (c->AddPartFromMemory(name, small.data(), small.size(), nullptr, 0, false) != 0) {
      std::abort();
    }
    if (c->Save(zoq::kSaveIncremental, false) != 0) std::abort();
  }
  unlink(path.c_str());
}

void BM_AddPart4KiB_Package1MiB(benchmark::State& state) { AddSmallPart(state, 1); }
void BM_AddPart4KiB_PackageLarge(benchmark::State& state) {
  const char* env = std::getenv("ZOQ_BENCH_LARGE_MIB");
  AddSmallPart(state, env != nullptr ? std::atoi(env) : 1024);
}

// Adds one large part (ZIP-coded) from a file and saves; reports the peak
// resident memory of the process.
void BM_AddLargePartPeakMemory(benchmark::State& state) {
  const int64_t mib = state.range(0);
  const std::string source = zoq::SystemTempDir() + "/zoq-save-bench-src-" +
                             std::to_string(getpid());
  {
    FILE* f = std::fopen(source.c_str(), "wb");
    const std::vector<uint8_t> piece = TextLike(1 << 20, 3);
    for (int64_t i = 0; i < mib; ++i) std::fwrite(piece.data(), 1, piece.size(), f);
    std::fclose(f);
  }
  const std::string package = source + ".zoq";
  for (auto _ : state) {
    auto c = NewContainer();
    if (c->CreatePackage(package, 0, 0, 8, 0) != 0) std::abort();
    zoq::EcsCodeArg zip;
    zip.code = zoq::kEcsZip;
    if (c->AddPartFromFile(u"/large.bin", source, &zip, 1, false) != 0) std::abort();
    if (c->Save(zoq::kSaveIncremental, false) != 0) std::abort();
  }
  struct rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  state.counters["peak_rss_MiB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
  unlink(source.c_str());
  unlink(package.c_str());
}

BENCHMARK(BM_AddPart4KiB_Package1MiB)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_AddPart4KiB_PackageLarge)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_AddLargePartPeakMemory)->Arg(128)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
