// Opening a package of 100,000 parts in 50 folders until its tree is shown,
// and selecting a folder of 10,000 parts until its list is filled and sorted.
// The packages are built in memory (the same container interface the
// browser reads real packages through); one real package of the corpus is
// measured as well.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTreeView>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

#include "app/item_sort_proxy.h"
#include "app/package_tree_model.h"
#include "app/main_window.h"
#include "fake_container.h"
#ifdef ZOQE_HAVE_GENERATED_PACKAGE
#include "generated_package.h"
#endif

namespace {

using zoqe::CZOQEDlg;
using zoqe_test::FakePackage;
using zoqe_test::FakePart;

std::u16string U16(const QString& text) {
  return std::u16string(reinterpret_cast<const char16_t*>(text.utf16()),
                        static_cast<size_t>(text.size()));
}

// `folders` folders of `per_folder` parts each, with a mix of extensions.
FakePackage MakePackage(int folders, int per_folder) {
  static const char* const kExtensions[] = {"xml", "png", "txt", "jpg", "bin", "dat", "htm"};
  FakePackage package;
  package.revision_count = 3;
  for (int f = 0; f < folders; ++f) {
    const QString folder = QStringLiteral("/folder%1/").arg(f);
    package.folders.push_back(U16(folder));
    for (int p = 0; p < per_folder; ++p) {
      const QString path = folder + QStringLiteral("part%1.%2").arg(p).arg(
                                        QString::fromLatin1(kExtensions[p % 7]));
      FakePart part;
      part.revisions = {p % 3, 0};
      part.size = 1000 + p * 37;
      part.total = part.size * 2;
      part.codes = {2};
      package.AddPart(U16(path), part);
    }
  }
  return package;
}

class Fixture {
 public:
  explicit Fixture(FakePackage* package) : window(nullptr, temp.path() + QLatin1Char('/')) {
    window.document()->SetContainerFactory([package](const zoq::ContainerOptions&, zoq::Container** out) {
      *out = new zoqe_test::FakeContainer(package);
      return 0;
    });
    window.resize(900, 600);
    window.show();
    QApplication::processEvents();
  }
  QTemporaryDir temp;
  CZOQEDlg window;
};

void BM_OpenTree100kParts(benchmark::State& state) {
  FakePackage package = MakePackage(50, 2000);
  Fixture fixture(&package);
  int items = 0;
  for (auto _ : state) {
    fixture.window.OpenPackage(QStringLiteral("/bench/large.zoq"), true);
    QApplication::processEvents();  // the tree is painted
    items = fixture.window.tree_model()->item_count();
    state.PauseTiming();
    fixture.window.ClosePackage();
    state.ResumeTiming();
  }
  state.counters["items"] = items;
}
BENCHMARK(BM_OpenTree100kParts)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_SelectFolder10kParts(benchmark::State& state) {
  FakePackage package = MakePackage(2, 10000);
  Fixture fixture(&package);
  fixture.window.OpenPackage(QStringLiteral("/bench/wide.zoq"), true);
  zoqe::TreeItem* root = fixture.window.tree_model()->root();
  zoqe::TreeItem* first = zoqe::PackageTreeModel::ChildrenOf(root)[0].get();
  zoqe::TreeItem* second = zoqe::PackageTreeModel::ChildrenOf(root)[1].get();
  bool toggle = false;
  for (auto _ : state) {
    fixture.window.SelectTreeItem(toggle ? first : second);
    QApplication::processEvents();  // the list is painted
    toggle = !toggle;
  }
  state.counters["rows"] = fixture.window.list_proxy()->rowCount();
}
BENCHMARK(BM_SelectFolder10kParts)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_SortFolder10kParts(benchmark::State& state) {
  FakePackage package = MakePackage(1, 10000);
  Fixture fixture(&package);
  fixture.window.OpenPackage(QStringLiteral("/bench/wide.zoq"), true);
  fixture.window.SelectTreeItem(
      zoqe::PackageTreeModel::ChildrenOf(fixture.window.tree_model()->root())[0].get());
  int column = 0;
  for (auto _ : state) {
    fixture.window.ClickListColumn(column);
    QApplication::processEvents();
    column = (column + 1) % 6;
  }
}
BENCHMARK(BM_SortFolder10kParts)->Unit(benchmark::kMillisecond)->Iterations(6);

void BM_OpenRealManyParts(benchmark::State& state) {
  QTemporaryDir temp;
  CZOQEDlg window(nullptr, temp.path() + QLatin1Char('/'));
  window.show();
  for (auto _ : state) {
    window.OpenPackage(QStringLiteral(ZOQ_TEST_DATA_DIR "/package/v_many_parts.zoq"), true);
    QApplication::processEvents();
    state.PauseTiming();
    window.ClosePackage();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_OpenRealManyParts)->Unit(benchmark::kMillisecond)->Iterations(5);

#ifdef ZOQE_HAVE_GENERATED_PACKAGE
// A figure of /proc/self/status ("VmRSS", "VmHWM") in MiB.
double StatusMiB(const char* key) {
  std::ifstream status("/proc/self/status");
  std::string line;
  const std::string prefix = std::string(key) + ":";
  while (std::getline(status, line)) {
    if (line.compare(0, prefix.size(), prefix) == 0) {
      return std::strtod(line.c_str() + prefix.size(), nullptr) / 1024.0;
    }
  }
  return 0;
}

// 10 revisions of 10,000 new parts each: 100,000 parts in 110 folders,
// read through the real package reader. The file is written by a child
// process, so that what writing it takes stays out of this process's
// memory; peak_rss is the process's peak resident memory while the
// package is opened and its tree painted (the peak is reset first), run
// alone to read it: --benchmark_filter=OpenRealGenerated100k.
void BM_OpenRealGenerated100k(benchmark::State& state) {
  QTemporaryDir temp;
  const QString file = temp.filePath(QStringLiteral("generated.zoq"));
  const std::string native = QFile::encodeName(file).toStdString();
  const pid_t writer = ::fork();
  if (writer == 0) _exit(zoq::bench::WriteGeneratedPackage(native, 10, 10000) ? 0 : 1);
  int status = 1;
  if (writer < 0 || ::waitpid(writer, &status, 0) != writer || status != 0) {
    state.SkipWithError("cannot write the package");
    return;
  }
  CZOQEDlg window(nullptr, temp.path() + QLatin1Char('/'));
  window.resize(900, 600);
  window.show();
  QApplication::processEvents();
  int items = 0;
  double peak = 0;
  for (auto _ : state) {
    std::ofstream("/proc/self/clear_refs") << "5";  // the peak starts from here
    window.OpenPackage(file, true);
    QApplication::processEvents();
    state.PauseTiming();
    items = window.tree_model()->item_count();
    peak = std::max(peak, StatusMiB("VmHWM"));
    window.ClosePackage();
    state.ResumeTiming();
  }
  state.counters["items"] = items;
  state.counters["peak_rss_MiB"] = peak;
}
BENCHMARK(BM_OpenRealGenerated100k)->Unit(benchmark::kMillisecond)->Iterations(3);
#endif

}  // namespace
