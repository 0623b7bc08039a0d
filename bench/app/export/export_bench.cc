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

#include <memory>
#include <string>
#include <vector>

#include "app/export/export_command.h"
#include "app/main_window.h"
#include "side_by_side.h"
#include "zoq/container.h"

namespace {

using zoqe_bench::kTextFolders;
using zoqe_bench::kTextsPerFolder;

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
    const zoq::EcsCodeArg zip{zoq::kEcsZip, nullptr};
    zoqe_bench::ForEachText(zoqe_bench::TextKind::kNumbered,
                            [&](int f, int p, const std::string& text) {
      const std::u16string path = u"/folder" + QString::number(f).toStdU16String() + u"/part" +
                                  QString::number(p).toStdU16String() + u".xml";
      if (container->AddPartFromMemory(path, text.data(), static_cast<int64_t>(text.size()), &zip,
                                       1, false) != 0) {
        std::abort();
      }
      made->decoded_bytes += static_cast<int64_t>(text.size());
    });
    if (container->Save(zoq::kSaveIncremental, false) != 0) std::abort();
    container.reset();
    made->window = std::make_unique<zoqe::CZOQEDlg>(nullptr, made->dir.path() + "/");
    if (!made->window->OpenPackage(made->package, true)) std::abort();
    zoq::PartInfo info;
    std::vector<std::u16string> parts;
    zoq::Container* package = made->window->document()->package();
    if (package->ListParts(u"/", &parts) != 0) std::abort();
    for (const auto& path : parts) {
      if (package->GetPartInfoByPath(&info, path, 0) != 0) std::abort();
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
  if (outcome.failed != 0 || outcome.parts_written != kTextFolders * kTextsPerFolder) std::abort();
}

void BM_ExportExplorerAgainstCli(benchmark::State& state) {
  Fixture* fixture = TheFixture();
  zoqe_bench::SideBySide side;
  for (auto _ : state) {
    state.PauseTiming();
    const QString explorer_target = fixture->dir.path() + "/out-explorer";
    const QString cli_target = fixture->dir.path() + "/out-cli";
    QDir(explorer_target).removeRecursively();
    QDir(cli_target).removeRecursively();
    QDir().mkpath(explorer_target);
    QDir().mkpath(cli_target);
    state.ResumeTiming();
    side.Round([&] { side.TimeExplorer([&] { ExplorerExport(fixture, explorer_target); }); },
               [&] {
                 side.TimeZoq({"extract", "-d", cli_target.toStdString(),
                               fixture->package.toStdString()},
                              true);
               });
  }
  side.Report(state);
  state.counters["parts"] = kTextFolders * kTextsPerFolder;
  state.counters["compression"] =
      static_cast<double>(fixture->decoded_bytes) / static_cast<double>(fixture->stored_bytes);
}
BENCHMARK(BM_ExportExplorerAgainstCli)->Unit(benchmark::kMillisecond)->Iterations(4)->UseRealTime();

}  // namespace
