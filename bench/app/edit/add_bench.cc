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

#include <algorithm>
#include <string>

#include "app/edit/add_codes_dialog.h"
#include "app/edit/edit_commands.h"
#include "app/main_window.h"
#include "app/message_box.h"
#include "side_by_side.h"

namespace {

using zoqe_bench::Now;

void BM_AddByDropAgainstImport(benchmark::State& state) {
  QTemporaryDir dir;
  const QString source = dir.path() + QStringLiteral("/tree");
  zoqe_bench::ForEachText(zoqe_bench::TextKind::kPlain,
                          [&](int f, int p, const std::string& text) {
    const QString folder = source + QStringLiteral("/folder%1").arg(f);
    if (p == 0) QDir().mkpath(folder);
    QFile file(folder + QStringLiteral("/part%1.xml").arg(p));
    if (!file.open(QIODevice::WriteOnly)) std::abort();
    file.write(text.data(), static_cast<qint64>(text.size()));
  });
  zoqe::SetMessageHandler([](const zoqe::MessageRequest&) { return QMessageBox::Yes; });
  zoqe_bench::SideBySide side;
  double longest_gap = 0, add_wall = 0;
  int progress_updates = 0;
  for (auto _ : state) {
    const QString mine = dir.path() + QStringLiteral("/explorer%1.zoq").arg(side.round());
    const QString theirs = dir.path() + QStringLiteral("/zoq%1.zoq").arg(side.round());
    side.Round(
        [&] {
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
            auto* progress = window.findChild<QProgressDialog*>(QStringLiteral("addProgress"));
            if (progress && progress->value() != last_value) {
              last_value = progress->value();
              ++progress_updates;
            }
          });
          side.TimeExplorer([&] {
            const double wall = Now();
            ticker.start();
            last = Now();
            window.DropFiles({source}, QStringLiteral("/"));
            ticker.stop();
            add_wall += Now() - wall;
            if (window.document()->pending_count() !=
                zoqe_bench::kTextFolders * zoqe_bench::kTextsPerFolder) {
              std::abort();
            }
            if (!window.editor()->Save()) std::abort();
          });
          window.ClosePackage();
        },
        [&] {
          side.TimeZoq({"import", "-j", "2", "--codes", "zip", theirs.toStdString(),
                        source.toStdString()},
                       false);
        });
  }
  zoqe::SetMessageHandler({});
  side.Report(state);
  state.counters["longest_ui_gap_ms"] = longest_gap * 1000;
  state.counters["progress_updates_per_s"] = progress_updates / add_wall;
}
BENCHMARK(BM_AddByDropAgainstImport)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace
