// Exporting 10,000 ZIP-coded text parts from the desktop browser (through
// its export command's own function: measuring the selection, the progress
// dialog, writing every part) against "zoq extract" on the same package.
// Both run in each iteration, in alternating order, so that both see the
// same machine load; wall and CPU time (user + system) are reported for
// each, the command-line tool's CPU time from its child process usage.
#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <sys/resource.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <random>
#include <string>

#include "app/export/export_command.h"
#include "app/main_window.h"
#include "run_clock.h"
#include "zoq/container.h"

namespace {

using zoqe_bench::CpuSeconds;
using zoqe_bench::Now;

constexpr int kFolders = 100;
constexpr int kPartsPerFolder = 100;

const char* const kWords[] = {"record", "value", "section", "paragraph", "table", "cell",
                              "style", "number", "author", "revision", "page", "text",
                              "figure", "caption", "footnote", "header", "list", "item"};

// XML-like text that deflate shrinks three to six times.
std::string PartText(std::mt19937& random) {
  std::string text = "<?xml version=\"1.0\"?>\n<doc>\n";
  const int lines = 20 + static_cast<int>(random() % 60);
  for (int i = 0; i < lines; ++i) {
    const char* tag = kWords[random() % std::size(kWords)];
    text += "  <";
    text += tag;
    text += " id=\"" + std::to_string(random() % 100000) + "\">";
    for (int w = 0; w < 6; ++w) {
      text += kWords[random() % std::size(kWords)];
      text += ' ';
      if (w % 2 == 0) text += std::to_string(random() % 100) + ' ';
    }
    text += "</";
    text += tag;
    text += ">\n";
  }
  return text + "</doc>\n";
}

struct Fixture {
  QTemporaryDir dir;
  QString package;
  std::unique_ptr<zoqe::CZOQEDlg> window;
  int64_t decoded_bytes = 0;
  int64_t stored_bytes = 0;
};

Fixture* TheFixture() {
  static Fixture* fixture = [] {
    auto* made = new Fixture;
    made->package = made->dir.path() + QStringLiteral("/export.zoq");
    zoq::ContainerOptions options;
    options.resource_dir = made->dir.path().toStdString();
    options.temp_base_dir = made->dir.path().toStdString();
    zoq::Container* raw = nullptr;
    if (zoq::CreateContainer(&options, &raw) != 0) std::abort();
    std::unique_ptr<zoq::Container> container(raw);
    if (container->CreatePackage(made->package.toStdString(), 0, 0, 4, 0) != 0) std::abort();
    std::mt19937 random(7);
    const zoq::EcsCodeArg zip{zoq::kEcsZip, nullptr};
    for (int f = 0; f < kFolders; ++f) {
      for (int p = 0; p < kPartsPerFolder; ++p) {
        const std::string text = PartText(random);
        const std::u16string path = u"/folder" + QString::number(f).toStdU16String() + u"/part" +
                                    QString::number(p).toStdU16String() + u".xml";
        if (container->AddPartFromMemory(path, text.data(), static_cast<int64_t>(text.size()),
                                         &zip, 1, false) != 0) {
          std::abort();
        }
        made->decoded_bytes += static_cast<int64_t>(text.size());
      }
    }
    if (container->Save(zoq::kSaveIncremental, false) != 0) std::abort();
    container.reset();
    made->window = std::make_unique<zoqe::CZOQEDlg>(nullptr, made->dir.path() + "/");
    if (!made->window->OpenPackage(made->package, true)) std::abort();
    zoq::PartInfo info;
    std::vector<std::u16string> parts;
    made->window->document()->package()->ListParts(u"/", &parts);
    for (const auto& path : parts) {
      made->window->document()->package()->GetPartInfoByPath(&info, path, 0);
      made->stored_bytes += info.size;
    }
    return made;
  }();
  return fixture;
}

// The explorer's export of the root into `target` (an existing folder), as
// its export command writes it.
void ExplorerExport(Fixture* fixture, const QString& target) {
  zoq::OutputFolder folder;
  if (zoq::OutputFolder::Open(target.toStdString(), &folder) != zoq::kOk) std::abort();
  zoq::PathNode* root = fixture->window->document()->package()->GetNode(u"/");
  const zoqe::ExportOutcome outcome =
      zoqe::ExportItems(fixture->window.get(), {{root, false}}, folder, 0, false, 0755);
  if (outcome.failed != 0 || outcome.parts_written != kFolders * kPartsPerFolder) std::abort();
}

void CliExport(Fixture* fixture, const QString& target) {
  const std::string package = fixture->package.toStdString();
  const std::string folder = target.toStdString();
  const pid_t pid = fork();
  if (pid == 0) {
    if (!freopen("/dev/null", "w", stdout)) _exit(126);
    execl(ZOQ_CLI_PATH, "zoq", "extract", "-d", folder.c_str(), package.c_str(),
          static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) std::abort();
}

void BM_ExportExplorerAgainstCli(benchmark::State& state) {
  Fixture* fixture = TheFixture();
  double explorer_wall = 0, explorer_cpu = 0, cli_wall = 0, cli_cpu = 0;
  int round = 0;
  for (auto _ : state) {
    state.PauseTiming();
    const QString explorer_target = fixture->dir.path() + "/out-explorer";
    const QString cli_target = fixture->dir.path() + "/out-cli";
    QDir(explorer_target).removeRecursively();
    QDir(cli_target).removeRecursively();
    QDir().mkpath(explorer_target);
    QDir().mkpath(cli_target);
    state.ResumeTiming();
    for (int step = 0; step < 2; ++step) {
      if ((step + round) % 2 == 0) {
        const double wall = Now(), cpu = CpuSeconds(RUSAGE_SELF);
        ExplorerExport(fixture, explorer_target);
        explorer_wall += Now() - wall;
        explorer_cpu += CpuSeconds(RUSAGE_SELF) - cpu;
      } else {
        const double wall = Now(), cpu = CpuSeconds(RUSAGE_CHILDREN);
        CliExport(fixture, cli_target);
        cli_wall += Now() - wall;
        cli_cpu += CpuSeconds(RUSAGE_CHILDREN) - cpu;
      }
    }
    ++round;
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["explorer_wall_s"] = explorer_wall / n;
  state.counters["explorer_cpu_s"] = explorer_cpu / n;
  state.counters["zoq_wall_s"] = cli_wall / n;
  state.counters["zoq_cpu_s"] = cli_cpu / n;
  state.counters["wall_ratio"] = explorer_wall / cli_wall;
  state.counters["cpu_ratio"] = explorer_cpu / cli_cpu;
  state.counters["parts"] = kFolders * kPartsPerFolder;
  state.counters["compression"] =
      static_cast<double>(fixture->decoded_bytes) / static_cast<double>(fixture->stored_bytes);
}
BENCHMARK(BM_ExportExplorerAgainstCli)->Unit(benchmark::kMillisecond)->Iterations(4)->UseRealTime();

}  // namespace
