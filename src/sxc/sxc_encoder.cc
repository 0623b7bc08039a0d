#include "sxc/sxc_encoder.h"

#include <expat.h>
#include <sys/stat.h>

#include <climits>
#include <cstdio>
#include <functional>
#include <memory>
#include <thread>

#include "sxc/byte_coder.h"
#include "sxc/chunk_pipeline.h"
#include "sxc/decoder.h"
#include "sxc/event_log.h"
#include "sxc/match_handler.h"
#include "sxc/sxc_writer.h"

namespace zoq {
namespace {

constexpr int kPieceSize = 0x10000;
// From this much plain structure and value data on, compressing overlaps
// the self-check.
constexpr size_t kOverlapMinimum = size_t{1} << 20;

struct ParserDeleter {
  void operator()(XML_ParserStruct* parser) const { XML_ParserFree(parser); }
};
using Parser = std::unique_ptr<XML_ParserStruct, ParserDeleter>;

long CurrentLine(void* parser) {
  return static_cast<long>(XML_GetCurrentLineNumber(static_cast<XML_Parser>(parser)));
}

void XMLCALL OnStart(void* handler, const XML_Char* name, const XML_Char** attributes) {
  static_cast<MatchHandler*>(handler)->StartElement(name, attributes);
}

void XMLCALL OnEnd(void* handler, const XML_Char* name) {
  static_cast<MatchHandler*>(handler)->EndElement(name);
}

void XMLCALL OnText(void* handler, const XML_Char* text, int length) {
  static_cast<MatchHandler*>(handler)->CharacterData(text, length);
}

// True when the structure and value streams decode to exactly the events
// that were matched, with every value stream read to its end.
bool CheckEncoding(const BinarySchema& schema, const MatchHandler& handler, const EventLog& log) {
  std::vector<uint8_t> structure;
  if (schema.roots.size() >= 2) {
    const ByteCode code = ByteCoder::Encode(static_cast<uint32_t>(schema.RootIndex(handler.root())));
    structure.assign(code.bytes, code.bytes + code.length);
  }
  structure.insert(structure.end(), handler.root_bytes().begin(), handler.root_bytes().end());
  EventLogChecker checker(log.words());
  SxcDecoder decoder(schema, &checker);
  std::string error;
  return decoder.DecodeParts(structure, handler.value_streams(), handler.has_stream(), &error) &&
         checker.Matches() && decoder.AllValuesRead();
}

// Parses with `feed`, which hands the parser one piece after another and
// answers false on a parser error; then writes and checks the output.
bool Run(const BinarySchema& schema, EncodeReport* report, size_t xml_size,
         const std::function<bool(XML_Parser)>& feed, std::vector<uint8_t>* sxc) {
  sxc->clear();
  EventLog log;
  log.ExpectDocumentSize(xml_size);
  MatchHandler handler(schema, report, &log);
  // Full chunks of long value streams are compressed while parsing goes on.
  ChunkPipeline pipeline(schema.nodes.size());
  handler.SetChunkPipeline(&pipeline);
  Parser parser(XML_ParserCreate(nullptr));
  if (!parser) {
    report->reason = "out of memory";
    return false;
  }
  handler.SetLineSource(CurrentLine, parser.get());
  XML_SetUserData(parser.get(), &handler);
  XML_SetElementHandler(parser.get(), OnStart, OnEnd);
  XML_SetCharacterDataHandler(parser.get(), OnText);
  if (!feed(parser.get())) {
    // A parser error fails the run, also after the root element closed.
    const XML_Error code = XML_GetErrorCode(parser.get());
    if (code != XML_ERROR_NONE) {
      handler.Fail("line " + std::to_string(XML_GetCurrentLineNumber(parser.get())) + ", column " +
                   std::to_string(XML_GetCurrentColumnNumber(parser.get())) +
                   ": XML error: " + XML_ErrorString(code));
    }
    if (report->reason.empty()) report->reason = "the XML file cannot be read";
    return false;
  }
  if (!handler.Completed()) {
    if (report->reason.empty()) report->reason = "the document has no complete root element";
    return false;
  }
  // The stored form must decode to exactly what was matched: walk the
  // structure over the value streams as the decoder will. A large document
  // is compressed on other threads meanwhile (both only read the streams);
  // its output is dropped when the check fails.
  std::vector<std::vector<DeflatedChunk>> early_chunks;
  const EncodedDocument document{handler.root(), &handler.root_bytes(), &handler.value_streams(),
                                 &handler.has_stream(), &early_chunks};
  auto write = [&] { return pipeline.Finish(&early_chunks) && WriteSxcDocument(schema, document, sxc); };
  size_t plain_size = handler.root_bytes().size();
  for (const auto& stream : handler.value_streams()) plain_size += stream.size();
  bool written = false;
  std::thread writer;
  if (plain_size >= kOverlapMinimum) {
    writer = std::thread([&] { written = write(); });
  }
  const bool checked = CheckEncoding(schema, handler, log);
  if (writer.joinable()) {
    writer.join();
  } else if (checked) {
    written = write();
  }
  if (!checked) {
    sxc->clear();
    report->reason =
        "the document does not fit the schema: an element or group occurs more often, or in "
        "another order, than the stored form can express";
    return false;
  }
  if (!written || sxc->size() > static_cast<size_t>(INT32_MAX)) {
    report->reason = "the document is too large to be stored";
    sxc->clear();
    return false;
  }
  return true;
}

}  // namespace

SxcEncoder::SxcEncoder(const BinarySchema& schema, EncodeReport* report)
    : schema_(schema), report_(report) {}

bool SxcEncoder::EncodeFile(const std::string& path, std::vector<uint8_t>* sxc) {
  FILE* file = fopen(path.c_str(), "rb");
  if (file == nullptr) {
    report_->reason = "cannot open " + path;
    return false;
  }
  struct stat info;
  const size_t size = fstat(fileno(file), &info) == 0 && info.st_size > 0 ? static_cast<size_t>(info.st_size) : 0;
  auto feed = [file](XML_Parser parser) {
    for (;;) {
      void* buffer = XML_GetBuffer(parser, kPieceSize);
      if (buffer == nullptr) return false;
      const size_t got = fread(buffer, 1, kPieceSize, file);
      const bool last = got < static_cast<size_t>(kPieceSize);
      if (XML_ParseBuffer(parser, static_cast<int>(got), last) != XML_STATUS_OK) return false;
      if (last) return true;
    }
  };
  const bool ok = Run(schema_, report_, size, feed, sxc);
  fclose(file);
  return ok;
}

bool SxcEncoder::EncodeBuffer(const char* xml, size_t size, std::vector<uint8_t>* sxc) {
  auto feed = [xml, size](XML_Parser parser) {
    size_t done = 0;
    do {
      const size_t piece = std::min<size_t>(size - done, 1 << 20);
      const bool last = done + piece == size;
      if (XML_Parse(parser, xml + done, static_cast<int>(piece), last) != XML_STATUS_OK) return false;
      done += piece;
    } while (done < size);
    return true;
  };
  return Run(schema_, report_, size, feed, sxc);
}

}  // namespace zoq
