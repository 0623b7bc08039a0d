// Adding a folder of 10,000 files (100 folders of 100 XML-like texts,
// 1-6 KiB each) to a new package by a drop in the desktop browser, saved,
// against "zoq import -j 2 --codes zip" of the same folder into a new
// package. Both run in each iteration, in alternating order, so that both
// see the same machine load. A 10 ms timer on the window's thread records
// the longest time the window did not get to run, and the progress
// dialog's updates are counted.
#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QProgressDialog>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <string>

#include "app/edit/add_codes_dialog.h"
#include "app/edit/edit_commands.h"
#include "app/main_window.h"
#include "run_clock.h"
#include "app/message_box.h"

namespace {

using zoqe_bench::CpuSeconds;
using zoqe_bench::Now;

constexpr int kFolders = 100;
constexpr int kFilesPerFolder = 100;

const char* const kWords[] = {"record", "value", "section", "paragraph", "table", "cell",
                              "style", "number", "author", "revision", "page", "text"};

std::string FileText(std::mt19937& random) {
  std::string text = "<?xml version=\"1.0\"?>\n<doc>\n";
  const int lines = 20 + static_cast<int>(random() % 60);
  for (int i = 0; i < lines; ++i) {
    const char* tag = kWords[random() % std::size(kWords)];
    text += std::string("  <") + tag + " id=\"" + std::to_string(random() % 100000) + "\">";
    for (int w = 0; w < 6; ++w) text += std::string(kWords[random() % std::size(kWords)]) + ' ';
    text += std::string("</") + tag + ">\n";
  }
  return text + "</doc>\n";
}

void CliImport(const QString& package, const QString& folder) {
  const std::string p = package.toStdString(), f = folder.toStdString();
  const pid_t pid = fork();
  if (pid == 0) {
    execl(ZOQ_CLI_PATH, "zoq", "import", "-j", "2", "--codes", "zip", p.c_str(), f.c_str(),
          static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) std::abort();
}

void BM_AddByDropAgainstImport(benchmark::State& state) {
  QTemporaryDir dir;
  const QString source = dir.path() + QStringLiteral("/tree");
  std::mt19937 random(7);
  for (int f = 0; f < kFolders; ++f) {
    const QString folder = source + QStringLiteral("/folder%1").arg(f);
    QDir().mkpath(folder);
    for (int p = 0; p < kFilesPerFolder; ++p) {
      QFile file(folder + QStringLiteral("/part%1.xml").arg(p));
      if (!file.open(QIODevice::WriteOnly)) std::abort();
      const std::string text = FileText(random);
      file.write(text.data(), static_cast<qint64>(text.size()));
    }
  }
  zoqe::SetMessageHandler([](const zoqe::MessageRequest&) { return QMessageBox::Yes; });
  double explorer_wall = 0, explorer_cpu = 0, cli_wall = 0, cli_cpu = 0, longest_gap = 0;
  double add_wall = 0;
  int progress_updates = 0;
  int round = 0;
  for (auto _ : state) {
    const QString mine = dir.path() + QStringLiteral("/explorer%1.zoq").arg(round);
    const QString theirs = dir.path() + QStringLiteral("/zoq%1.zoq").arg(round);
    for (int step = 0; step < 2; ++step) {
      if ((step + round) % 2 == 0) {
        zoqe::CZOQEDlg window(nullptr, dir.path() + QLatin1Char('/'));
        window.resize(900, 600);
        window.show();
        window.editor()->SetNewPackageAsker([&](zoqe::EditCommands::NewPackageChoice* choice) {
          choice->path = mine;
          return true;
        });
        window.editor()->SetCodesAsker([](zoqe::AddCodes* codes) {
          *codes = zoqe::MakeAddCodes(zoqe::AddCodesDialog::kZip, false, nullptr);
          return true;
        });
        if (!window.editor()->NewPackage()) std::abort();
        QTimer ticker;
        ticker.setInterval(10);
        double last = Now();
        int last_value = -1;
        QObject::connect(&ticker, &QTimer::timeout, [&] {
          const double now = Now();
          longest_gap = std::max(longest_gap, now - last);
          last = now;
          if (auto* progress = window.findChild<QProgressDialog*>(QStringLiteral("addProgress"))) {
            if (progress->value() != last_value) {
              last_value = progress->value();
              ++progress_updates;
            }
          }
        });
        const double wall = Now(), cpu = CpuSeconds(RUSAGE_SELF);
        ticker.start();
        last = Now();
        window.DropFiles({source}, QStringLiteral("/"));
        ticker.stop();
        add_wall += Now() - wall;
        if (window.document()->pending_count() != kFolders * kFilesPerFolder) std::abort();
        if (!window.editor()->Save()) std::abort();
        explorer_wall += Now() - wall;
        explorer_cpu += CpuSeconds(RUSAGE_SELF) - cpu;
        window.ClosePackage();
      } else {
        const double wall = Now(), cpu = CpuSeconds(RUSAGE_CHILDREN);
        CliImport(theirs, source);
        cli_wall += Now() - wall;
        cli_cpu += CpuSeconds(RUSAGE_CHILDREN) - cpu;
      }
    }
    ++round;
  }
  zoqe::SetMessageHandler({});
  const double n = static_cast<double>(state.iterations());
  state.counters["explorer_wall_s"] = explorer_wall / n;
  state.counters["explorer_cpu_s"] = explorer_cpu / n;
  state.counters["zoq_wall_s"] = cli_wall / n;
  state.counters["zoq_cpu_s"] = cli_cpu / n;
  state.counters["wall_ratio"] = explorer_wall / cli_wall;
  state.counters["cpu_ratio"] = explorer_cpu / cli_cpu;
  state.counters["longest_ui_gap_ms"] = longest_gap * 1000;
  state.counters["progress_updates_per_s"] = progress_updates / add_wall;
}
BENCHMARK(BM_AddByDropAgainstImport)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace
