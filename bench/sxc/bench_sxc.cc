// Binary XML throughput on a generated ~20 MiB document of the bundled
// model: SXC decode to XML text and SXC encode, each against expat parsing
// the same XML text; zlib alone on the document's value streams at the
// format's settings (the floor under the encode); SXC size against gzip -9;
// loading a schema of 5,000 nodes, without and with the schema cache.
#include <benchmark/benchmark.h>
#include <expat.h>
#include <zlib.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "document_generator.h"
#include "sxc/decoder.h"
#include "sxc/parallel_deflate.h"
#include "sxc/schema_cache.h"
#include "sxc/schema_codec.h"
#include "sxc/schema_loader.h"
#include "zoq/sxc_tools.h"
#include "sxc/schema_writer.h"

namespace zoq {
namespace {

constexpr size_t kDocumentSize = 20 << 20;

struct Fixture {
  std::string xml;
  std::vector<uint8_t> sxc;
  std::unique_ptr<SchemaCodec> codec;

  Fixture() {
    std::ifstream in(std::string(ZOQ_SOURCE_DIR) + "/Resource/schemas/pliv_full_v1.1.xsd");
    std::stringstream xsd;
    xsd << in.rdbuf();
    std::vector<uint8_t> bsg;
    std::string error;
    if (!CompileSchemaText(xsd.str(), &bsg, &error)) {
      fprintf(stderr, "schema: %s\n", error.c_str());
      abort();
    }
    auto schema = std::make_shared<BinarySchema>();
    ParseBinarySchema(bsg.data(), bsg.size(), schema.get(), &error);
    codec = std::make_unique<SchemaCodec>(schema);
    xml = bench::GenerateDocument(kDocumentSize);
    EncodeReport report;
    if (!codec->EncodeDocument(xml.data(), xml.size(), &sxc, &report)) {
      fprintf(stderr, "encode: %s\n", report.reason.c_str());
      abort();
    }
  }
};

Fixture& Data() {
  static Fixture fixture;
  return fixture;
}

void XMLCALL NoStart(void*, const XML_Char*, const XML_Char**) {}
void XMLCALL NoEnd(void*, const XML_Char*) {}
void XMLCALL NoText(void*, const XML_Char*, int) {}

void BM_ExpatParse(benchmark::State& state) {
  const std::string& xml = Data().xml;
  for (auto _ : state) {
    XML_Parser parser = XML_ParserCreate(nullptr);
    XML_SetElementHandler(parser, NoStart, NoEnd);
    XML_SetCharacterDataHandler(parser, NoText);
    if (XML_Parse(parser, xml.data(), static_cast<int>(xml.size()), 1) != XML_STATUS_OK) abort();
    XML_ParserFree(parser);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(xml.size()));
}

void BM_SxcDecode(benchmark::State& state) {
  Fixture& data = Data();
  std::string out;
  for (auto _ : state) {
    if (!data.codec->DecodeToString(data.sxc.data(), data.sxc.size(), &out)) abort();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(data.xml.size()));
}

void BM_SxcEncode(benchmark::State& state) {
  Fixture& data = Data();
  std::vector<uint8_t> out;
  for (auto _ : state) {
    EncodeReport report;
    if (!data.codec->EncodeDocument(data.xml.data(), data.xml.size(), &out, &report)) abort();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(data.xml.size()));
}

// Rebuilds the value streams an SXC document was stored from, as the
// encoder gathered them: text values with their terminating zero, numbers
// in their stored widths.
class StreamCollector : public DecodedEvents {
 public:
  explicit StreamCollector(size_t nodes) : streams(nodes) {}
  void StartElement(const SchemaNode&) override {}
  void EndElement(const SchemaNode&) override {}
  void StartAttribute(const SchemaNode&) override {}
  void EndAttribute(const SchemaNode&) override {}
  void Value(const SchemaNode& node, size_t) override {
    current_ = &streams[node.index];
    if (IsTextual(node.value_type)) current_->push_back('\0');
  }
  void Bool(bool value) override { current_->push_back(value ? 1 : 0); }
  void Int(int32_t value) override { current_->append(reinterpret_cast<const char*>(&value), 4); }
  void Double(double value) override { current_->append(reinterpret_cast<const char*>(&value), 8); }
  void Text(const char* utf8, size_t length) override { current_->insert(current_->size() - 1, utf8, length); }

  std::vector<std::string> streams;

 private:
  std::string* current_ = nullptr;
};

// zlib at the format's settings on one thread over the value streams: long
// streams one by one, the short ones joined.
void BM_DeflateValueStreams(benchmark::State& state) {
  Fixture& data = Data();
  StreamCollector collector(data.codec->schema()->nodes.size());
  SxcDecoder decoder(*data.codec->schema(), &collector);
  std::string error;
  if (!decoder.Decode(data.sxc.data(), data.sxc.size(), &error)) abort();
  std::string short_streams;
  size_t total = 0;
  for (const std::string& stream : collector.streams) {
    total += stream.size();
    if (stream.size() <= 16383) short_streams += stream;
  }
  for (auto _ : state) {
    std::vector<DeflateJob> jobs;
    for (const std::string& stream : collector.streams) {
      if (stream.size() <= 16383) continue;
      jobs.emplace_back();
      jobs.back().pieces = {{reinterpret_cast<const uint8_t*>(stream.data()), stream.size()}};
    }
    jobs.emplace_back();
    jobs.back().pieces = {{reinterpret_cast<const uint8_t*>(short_streams.data()), short_streams.size()}};
    if (!ParallelDeflate(Z_DEFAULT_COMPRESSION, 1).Run(&jobs)) abort();
  }
  state.counters["value_bytes"] = static_cast<double>(total);
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(total));
}

size_t GzipSize(const std::string& text) {
  z_stream stream{};
  deflateInit2(&stream, 9, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);  // gzip wrapper, level 9
  std::vector<uint8_t> out(deflateBound(&stream, text.size()) + 64);
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  stream.avail_in = static_cast<uInt>(text.size());
  stream.next_out = out.data();
  stream.avail_out = static_cast<uInt>(out.size());
  deflate(&stream, Z_FINISH);
  const size_t size = stream.total_out;
  deflateEnd(&stream);
  return size;
}

void BM_SizeAgainstGzip9(benchmark::State& state) {
  Fixture& data = Data();
  size_t gzip = 0;
  for (auto _ : state) gzip = GzipSize(data.xml);
  state.counters["xml_bytes"] = static_cast<double>(data.xml.size());
  state.counters["sxc_bytes"] = static_cast<double>(data.sxc.size());
  state.counters["gzip9_bytes"] = static_cast<double>(gzip);
  state.counters["sxc_per_gzip9"] = static_cast<double>(data.sxc.size()) / static_cast<double>(gzip);
}

// A schema of 5,000 nodes: one root whose sequence holds elements with
// attributes.
std::string WriteLargeSchema() {
  BinarySchema schema;
  const int elements = 1666;
  schema.nodes.resize(2 + elements * 3);
  for (size_t i = 0; i < schema.nodes.size(); ++i) schema.nodes[i].index = static_cast<int>(i);
  SchemaNode& root = schema.nodes[0];
  root.kind = kElementNode;
  root.name = u"root";
  SchemaNode& seq = schema.nodes[1];
  seq.kind = kSequenceNode;
  root.children.push_back(&seq);
  for (int e = 0; e < elements; ++e) {
    SchemaNode& element = schema.nodes[2 + e * 3];
    element.kind = kElementNode;
    element.name = u"element" + std::u16string(1, static_cast<char16_t>(u'a' + e % 26)) +
                   std::u16string(1, static_cast<char16_t>(u'a' + e / 26 % 26)) +
                   std::u16string(1, static_cast<char16_t>(u'a' + e / 676));
    element.min_occurs = 0;
    for (int a = 1; a <= 2; ++a) {
      SchemaNode& attribute = schema.nodes[2 + e * 3 + a];
      attribute.kind = kAttributeNode;
      attribute.name = a == 1 ? u"first" : u"second";
      attribute.value_type = a == 1 ? kIntegerValue : kTextValue;
      element.attributes.push_back(&attribute);
    }
    seq.children.push_back(&element);
  }
  schema.roots.push_back(&root);
  DeriveSchemaIdentifier(&schema);
  const std::vector<uint8_t> bytes = SerializeBinarySchema(schema);
  const char* dir = getenv("TMPDIR");
  const std::string path = std::string(dir != nullptr && *dir ? dir : "/tmp") + "/zoq_bench_5000.bsg";
  FILE* file = fopen(path.c_str(), "wb");
  fwrite(bytes.data(), 1, bytes.size(), file);
  fclose(file);
  return path;
}

void BM_SchemaLoad5000(benchmark::State& state) {
  static const std::string path = WriteLargeSchema();
  for (auto _ : state) {
    SchemaCache::Clear();
    std::shared_ptr<const BinarySchema> schema;
    std::string error;
    if (!LoadBinarySchema(path, &schema, &error) || schema->nodes.size() != 5000) abort();
  }
}

void BM_SchemaLoad5000Cached(benchmark::State& state) {
  static const std::string path = WriteLargeSchema();
  std::shared_ptr<const BinarySchema> schema;
  std::string error;
  LoadBinarySchema(path, &schema, &error);
  for (auto _ : state) {
    if (!LoadBinarySchema(path, &schema, &error)) abort();
  }
}

BENCHMARK(BM_ExpatParse)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SxcDecode)->Unit(benchmark::kMillisecond);
// The encoder compresses on helper threads: count the CPU time of the whole
// process, not only of the calling thread.
BENCHMARK(BM_SxcEncode)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(BM_DeflateValueStreams)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SizeAgainstGzip9)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_SchemaLoad5000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SchemaLoad5000Cached)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace zoq

BENCHMARK_MAIN();
