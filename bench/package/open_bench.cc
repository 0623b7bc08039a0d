// Opening a package and listing its tree: the work behind `zoq ls`.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "generated_package.h"
#include "zoq/container.h"
#include "package/temp_files.h"

namespace {

void Walk(zoq::PathNode* node, size_t* count) {
  ++*count;
  for (zoq::PathNode* child : node->Children()) Walk(child, count);
}

void OpenAndListFile(benchmark::State& state, const std::string& path) {
  zoq::ContainerOptions options;
  options.resource_dir = std::string(ZOQ_PACKAGE_DATA);
  options.no_temp_dir = true;
  zoq::Container* raw = nullptr;
  if (zoq::CreateContainer(&options, &raw) != zoq::kOk) {
    state.SkipWithError("CreateContainer failed");
    return;
  }
  std::unique_ptr<zoq::Container> container(raw);
  size_t nodes = 0;
  for (auto _ : state) {
    if (container->OpenFile(path, true) != zoq::kOk) {
      state.SkipWithError("OpenFile failed");
      return;
    }
    nodes = 0;
    Walk(container->GetNode(u"/"), &nodes);
    std::vector<std::u16string> parts;
    container->ListParts(u"/", &parts);
    benchmark::DoNotOptimize(parts.data());
    container->Close();
  }
  state.counters["nodes"] = static_cast<double>(nodes);
}

void OpenAndList(benchmark::State& state, const std::string& name) {
  OpenAndListFile(state, std::string(ZOQ_PACKAGE_DATA) + "/" + name);
}

// 100,000 parts in 100 revisions with compressed tables.
void OpenAndListGenerated(benchmark::State& state) {
  const std::string path = zoq::SystemTempDir() + "/zoq-bench-100k.zoq";
  if (!zoq::bench::WriteGeneratedPackage(path, 100, 1000)) {
    state.SkipWithError("cannot write the generated package");
    return;
  }
  OpenAndListFile(state, path);
  std::remove(path.c_str());
}

BENCHMARK(OpenAndListGenerated)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(OpenAndList, many_parts, std::string("v_many_parts.zoq"))
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(OpenAndList, large, std::string("v_large.zoq"))->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
