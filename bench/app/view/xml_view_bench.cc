// Showing a 10 MiB XML part stored SXC-coded: selecting it in the main
// window extracts (SXC decoding), loads, re-indents and fills the text view.
// The re-indent alone and the hex dump of the same text are measured beside
// it. Run offscreen (QT_QPA_PLATFORM=offscreen).
#include <benchmark/benchmark.h>

#include <QFile>
#include <QTemporaryDir>
#include <QTreeView>

#include <fstream>
#include <memory>
#include <sstream>

#include "app/package_tree_model.h"
#include "app/view/text_format.h"
#include "app/view/text_view.h"
#include "app/view/xml_layout.h"
#include "app/main_window.h"
#include "document_generator.h"
#include "zoq/container.h"
#include "zoq/sxc_tools.h"

namespace {

constexpr size_t kDocumentSize = 10 << 20;

struct Fixture {
  QTemporaryDir dir;
  std::string xml;
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
    if (c->CreatePackage(QFile::encodeName(package).toStdString(), 0, 0, 4, 0) != 0 ||
        c->SetSchemaFile(schema_file) != 0 ||
        c->AddPartFromMemory(u"/__ECSEnv/01/Schema.bsg", bsg.data(),
                             static_cast<int64_t>(bsg.size()), nullptr, 0, false) != 0 ||
        c->AddPartFromMemory(u"/doc.xml", xml.data(), static_cast<int64_t>(xml.size()), &sxc, 1,
                             false) != 0 ||
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

zoqe::TreeItem* Child(zoqe::TreeItem* parent, const QString& name) {
  for (auto& child : parent->children) {
    if (child->name == name) return child.get();
  }
  return nullptr;
}

void BM_ShowSxcXmlPart(benchmark::State& state) {
  Fixture& data = Data();
  QTemporaryDir work;
  zoqe::CZOQEDlg window(nullptr, work.path() + QLatin1Char('/'));
  if (!window.OpenPackage(data.package, true)) {
    state.SkipWithError("open failed");
    return;
  }
  zoqe::TreeItem* root = window.tree_model()->root();
  zoqe::TreeItem* doc = Child(root, QStringLiteral("doc.xml"));
  for (auto _ : state) {
    window.SelectTreeItem(root);
    window.SelectTreeItem(doc);
    if (window.current_view() != zoqe::CZOQEDlg::View::kText) {
      state.SkipWithError("not shown");
      return;
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.xml.size()));
  state.counters["shown_bytes"] =
      static_cast<double>(zoqe::TextViewBytes(window.text_view()).size());
}
BENCHMARK(BM_ShowSxcXmlPart)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime()->Iterations(5);

void BM_ReindentOnly(benchmark::State& state) {
  const QByteArray text = QByteArray::fromStdString(Data().xml);
  for (auto _ : state) {
    auto out = zoqe::LayoutXml(text, true);
    benchmark::DoNotOptimize(out);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * Data().xml.size()));
}
BENCHMARK(BM_ReindentOnly)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime()->Iterations(5);

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
