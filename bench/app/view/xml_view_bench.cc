// Showing large parts in the main window, as a user selects them: a 10 MiB
// XML part stored SXC-coded (decoded, laid out and filled into the text
// view), a 10 MiB plain text part and a 3 MB text of one line (both stored
// ZIP-coded). Each iteration selects the package root, then the part, and
// runs the event loop until the part is fully shown and painted; a 1 ms
// timer on the UI thread records the longest time the window did not
// answer ("longest_stall_ms", the worst over all iterations) and the most
// CPU time the UI thread spent between two ticks ("busiest_gap_cpu_ms":
// what a stall comes to on an idle machine, as other processes on a busy
// one stretch the wall time; waiting is not in it). "end_jump_ms" and
// "end_jump_cpu_ms" time jumping to the end right after the part was shown. The layout and the hex dump alone are measured beside
// them. Run offscreen (QT_QPA_PLATFORM=offscreen, set by the shared main()).
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <Qsci/qsciscintilla.h>

#include <time.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <sstream>

#include "app/package_tree_model.h"
#include "app/view/item_viewer.h"
#include "app/view/text_format.h"
#include "app/view/text_view.h"
#include "app/view/xml_layout.h"
#include "app/main_window.h"
#include "document_generator.h"
#include "zoq/container.h"
#include "zoq/sxc_tools.h"

namespace {

constexpr size_t kDocumentSize = 10 << 20;

std::string PlainText(size_t size) {
  std::string text;
  text.reserve(size + 100);
  for (unsigned line = 0; text.size() < size; ++line) {
    text += "Line " + std::to_string(line) + ": the quick brown fox jumps over the lazy dog, ";
    text += "and then some more words to make an ordinary line of text.\n";
  }
  return text;
}

struct Fixture {
  QTemporaryDir dir;
  std::string xml;
  std::string text = PlainText(kDocumentSize);
  std::string one_line = std::string(3'000'000, 'y') + "\n";
  QString package;

  Fixture() {
    std::ifstream in(std::string(ZOQ_SOURCE_DIR) + "/Resource/schemas/pliv_full_v1.1.xsd");
    std::stringstream xsd;
    xsd << in.rdbuf();
    std::vector<uint8_t> bsg;
    std::string error;
    if (!zoq::CompileSchemaText(xsd.str(), &bsg, &error)) {
      fprintf(stderr, "schema: %s\n", error.c_str());
      abort();
    }
    xml = zoq::bench::GenerateDocument(kDocumentSize);
    package = dir.path() + QStringLiteral("/big.zoq");
    zoq::ContainerOptions options;
    options.temp_base_dir = QFile::encodeName(dir.path()).toStdString();
    options.resource_dir = QFile::encodeName(dir.path() + QLatin1Char('/')).toStdString();
    zoq::Container* raw = nullptr;
    if (zoq::CreateContainer(&options, &raw) != 0) abort();
    std::unique_ptr<zoq::Container> c(raw);
    const std::string schema_file = QFile::encodeName(dir.path() + "/schema.bsg").toStdString();
    std::ofstream(schema_file, std::ios::binary)
        .write(reinterpret_cast<const char*>(bsg.data()), static_cast<std::streamsize>(bsg.size()));
    const zoq::EcsCodeArg sxc{zoq::kEcsSxc, nullptr};
    const zoq::EcsCodeArg zip{zoq::kEcsZip, nullptr};
    if (c->CreatePackage(QFile::encodeName(package).toStdString(), 0, 0, 4, 0) != 0 ||
        c->SetSchemaFile(schema_file) != 0 ||
        c->AddPartFromMemory(u"/__ECSEnv/01/Schema.bsg", bsg.data(),
                             static_cast<int64_t>(bsg.size()), nullptr, 0, false) != 0 ||
        c->AddPartFromMemory(u"/doc.xml", xml.data(), static_cast<int64_t>(xml.size()), &sxc, 1,
                             false) != 0 ||
        c->AddPartFromMemory(u"/plain.txt", text.data(), static_cast<int64_t>(text.size()), &zip, 1,
                             false) != 0 ||
        c->AddPartFromMemory(u"/line.txt", one_line.data(), static_cast<int64_t>(one_line.size()),
                             &zip, 1, false) != 0 ||
        c->Save(zoq::kSaveIncremental, false) != 0) {
      fprintf(stderr, "cannot build the package\n");
      abort();
    }
  }
};

Fixture& Data() {
  static Fixture fixture;
  return fixture;
}

// CPU time of the calling thread, in ms.
double ThreadCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

zoqe::TreeItem* Child(zoqe::TreeItem* parent, const QString& name) {
  for (auto& child : parent->children) {
    if (child->name == name) return child.get();
  }
  return nullptr;
}

// Selects the part named `name` in a shown window, once per iteration,
// until it is shown and painted.
void ShowPart(benchmark::State& state, const QString& name, size_t part_bytes) {
  Fixture& data = Data();
  QTemporaryDir work;
  zoqe::CZOQEDlg window(nullptr, work.path() + QLatin1Char('/'));
  window.resize(900, 600);
  window.show();
  if (!window.OpenPackage(data.package, true)) {
    state.SkipWithError("open failed");
    return;
  }
  zoqe::TreeItem* root = window.tree_model()->root();
  zoqe::TreeItem* part = Child(root, name);
  QElapsedTimer clock;
  qint64 last_tick = 0, stall = 0;
  double last_cpu = 0, busiest_cpu = 0;
  auto tick = [&] {
    const qint64 now = clock.elapsed();
    const double cpu = ThreadCpuMs();
    stall = std::max(stall, now - last_tick);
    busiest_cpu = std::max(busiest_cpu, cpu - last_cpu);
    last_tick = now;
    last_cpu = cpu;
  };
  QTimer heartbeat;
  heartbeat.setInterval(1);
  QObject::connect(&heartbeat, &QTimer::timeout, tick);
  for (auto _ : state) {
    window.SelectTreeItem(root);
    QCoreApplication::processEvents();
    clock.restart();
    last_tick = 0;
    last_cpu = ThreadCpuMs();
    heartbeat.start();
    window.SelectTreeItem(part);
    if (!window.findChild<zoqe::ItemViewer*>()->WaitUntilShown() ||
        window.current_view() != zoqe::CZOQEDlg::View::kText) {
      state.SkipWithError("not shown");
      return;
    }
    window.text_view()->repaint();
    QCoreApplication::processEvents();
    tick();
    heartbeat.stop();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * part_bytes));
  state.counters["longest_stall_ms"] = static_cast<double>(stall);
  state.counters["busiest_gap_cpu_ms"] = busiest_cpu;
  state.counters["shown_bytes"] =
      static_cast<double>(zoqe::TextViewBytes(window.text_view()).size());
  // Jumping to the end right after the part was shown colours what the
  // background colouring has not reached yet.
  QElapsedTimer jump;
  jump.start();
  const double jump_cpu = ThreadCpuMs();
  window.text_view()->SendScintilla(QsciScintillaBase::SCI_DOCUMENTEND);
  window.text_view()->repaint();
  state.counters["end_jump_ms"] = static_cast<double>(jump.elapsed());
  state.counters["end_jump_cpu_ms"] = ThreadCpuMs() - jump_cpu;
}

void BM_ShowSxcXmlPart(benchmark::State& state) {
  ShowPart(state, QStringLiteral("doc.xml"), Data().xml.size());
}
BENCHMARK(BM_ShowSxcXmlPart)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime()->Iterations(5);

void BM_ShowPlainTextPart(benchmark::State& state) {
  ShowPart(state, QStringLiteral("plain.txt"), Data().text.size());
}
BENCHMARK(BM_ShowPlainTextPart)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime()->Iterations(5);

void BM_ShowOneLinePart(benchmark::State& state) {
  ShowPart(state, QStringLiteral("line.txt"), Data().one_line.size());
}
BENCHMARK(BM_ShowOneLinePart)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime()->Iterations(5);

void BM_LayoutOnly(benchmark::State& state) {
  const QByteArray text = QByteArray::fromStdString(Data().xml);
  for (auto _ : state) {
    auto out = zoqe::LayoutXml(text, true);
    benchmark::DoNotOptimize(out);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * Data().xml.size()));
}
BENCHMARK(BM_LayoutOnly)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime()->Iterations(5);

void BM_HexDumpOneMiB(benchmark::State& state) {
  const QByteArray bytes = QByteArray::fromStdString(Data().xml.substr(0, 1 << 20));
  for (auto _ : state) {
    QByteArray out = zoqe::HexDump(bytes);
    benchmark::DoNotOptimize(out);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_HexDumpOneMiB)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime()->Iterations(5);

}  // namespace
