// What the browser benchmarks that time the command-line tool beside the
// browser share: the XML-like texts of their 10,000 parts, running `zoq`
// as a child, and the wall and CPU totals of both sides with their counters.
#pragma once

#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "run_clock.h"

namespace zoqe_bench {

constexpr int kTextFolders = 100;
constexpr int kTextsPerFolder = 100;

// kPlain: tags and words from the first twelve words; kNumbered: from all of
// them, with a number after every other word (deflate shrinks both three to
// six times).
enum class TextKind { kPlain, kNumbered };

inline std::string XmlLikeText(std::mt19937& random, TextKind kind) {
  static const char* const kWords[] = {"record", "value",   "section",  "paragraph", "table",
                                       "cell",   "style",   "number",   "author",    "revision",
                                       "page",   "text",    "figure",   "caption",   "footnote",
                                       "header", "list",    "item"};
  const bool numbered = kind == TextKind::kNumbered;
  const size_t words = numbered ? std::size(kWords) : 12;
  std::string text = "<?xml version=\"1.0\"?>\n<doc>\n";
  const int lines = 20 + static_cast<int>(random() % 60);
  for (int i = 0; i < lines; ++i) {
    const char* tag = kWords[random() % words];
    text += std::string("  <") + tag + " id=\"" + std::to_string(random() % 100000) + "\">";
    for (int w = 0; w < 6; ++w) {
      text += std::string(kWords[random() % words]) + ' ';
      if (numbered && w % 2 == 0) text += std::to_string(random() % 100) + ' ';
    }
    text += std::string("</") + tag + ">\n";
  }
  return text + "</doc>\n";
}

// Calls fn(folder, part, text) for each of the 100 x 100 texts, always the
// same ones (seed 7), folder by folder.
template <typename Fn>
void ForEachText(TextKind kind, Fn fn) {
  std::mt19937 random(7);
  for (int f = 0; f < kTextFolders; ++f) {
    for (int p = 0; p < kTextsPerFolder; ++p) fn(f, p, XmlLikeText(random, kind));
  }
}

// Runs the zoq tool (ZOQ_CLI_PATH) with `args`, its standard output dropped
// when `quiet`; aborts unless it exits with 0.
inline void RunZoqOrAbort(const std::vector<std::string>& args, bool quiet) {
  std::vector<char*> argv{const_cast<char*>("zoq")};
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    if (quiet && !freopen("/dev/null", "w", stdout)) _exit(126);
    execv(ZOQ_CLI_PATH, argv.data());
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) std::abort();
}

// Wall and CPU totals of the browser's side (this process) and the tool's
// side (its children). Each iteration runs both, in alternating order, so
// that both see the same machine load.
class SideBySide {
 public:
  // Calls explorer() and zoq() once each, which comes first alternating by
  // round; each times its own measured part with TimeExplorer or TimeZoq.
  template <typename Explorer, typename Zoq>
  void Round(Explorer explorer, Zoq zoq) {
    for (int step = 0; step < 2; ++step) {
      if ((step + round_) % 2 == 0) {
        explorer();
      } else {
        zoq();
      }
    }
    ++round_;
  }

  // Adds what fn() costs this process to the browser's side.
  template <typename Fn>
  void TimeExplorer(Fn fn) {
    const double wall = Now(), cpu = CpuSeconds(RUSAGE_SELF);
    fn();
    explorer_wall_ += Now() - wall;
    explorer_cpu_ += CpuSeconds(RUSAGE_SELF) - cpu;
  }

  // Adds the zoq run with `args` (see RunZoqOrAbort) to the tool's side.
  void TimeZoq(const std::vector<std::string>& args, bool quiet) {
    const double wall = Now(), cpu = CpuSeconds(RUSAGE_CHILDREN);
    RunZoqOrAbort(args, quiet);
    zoq_wall_ += Now() - wall;
    zoq_cpu_ += CpuSeconds(RUSAGE_CHILDREN) - cpu;
  }

  int round() const { return round_; }

  // Both sides' means per iteration and their ratios.
  void Report(benchmark::State& state) const {
    const double n = static_cast<double>(state.iterations());
    state.counters["explorer_wall_s"] = explorer_wall_ / n;
    state.counters["explorer_cpu_s"] = explorer_cpu_ / n;
    state.counters["zoq_wall_s"] = zoq_wall_ / n;
    state.counters["zoq_cpu_s"] = zoq_cpu_ / n;
    state.counters["wall_ratio"] = explorer_wall_ / zoq_wall_;
    state.counters["cpu_ratio"] = explorer_cpu_ / zoq_cpu_;
  }

 private:
  double explorer_wall_ = 0, explorer_cpu_ = 0, zoq_wall_ = 0, zoq_cpu_ = 0;
  int round_ = 0;
};

}  // namespace zoqe_bench
