// Wall and CPU clocks of the browser benchmarks that run the command-line
// tool beside the browser's own code.
#pragma once

#include <sys/resource.h>

#include <chrono>

namespace zoqe_bench {

// Seconds on a steady clock.
inline double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// User + system seconds of RUSAGE_SELF or RUSAGE_CHILDREN.
inline double CpuSeconds(int who) {
  rusage usage{};
  getrusage(who, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

}  // namespace zoqe_bench
