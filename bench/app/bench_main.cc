// The entry point of the desktop browser's benchmarks: the program's own
// application object, on the offscreen platform unless another one is
// asked for, then every registered benchmark.
#include <benchmark/benchmark.h>

#include "app/application.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  zoqe::CZOQEApp app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
