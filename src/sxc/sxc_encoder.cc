#include "sxc/sxc_encoder.h"

#include <expat.h>

#include <climits>
#include <cstdio>
#include <functional>
#include <memory>

#include "sxc/decoder.h"
#include "sxc/event_log.h"
#include "sxc/match_handler.h"
#include "sxc/sxc_writer.h"

namespace zoq {
namespace {

constexpr int kPieceSize = 0x10000;

struct ParserDeleter {
  void operator()(XML_ParserStruct* parser) const { XML_ParserFree(parser); }
};
using Parser = std::unique_ptr<XML_ParserStruct, ParserDeleter>;

struct Context {
  MatchHandler* handler;
  XML_Parser parser;
  long Line() const { return static_cast<long>(XML_GetCurrentLineNumber(parser)); }
};

void XMLCALL OnStart(void* data, const XML_Char* name, const XML_Char** attributes) {
  auto* context = static_cast<Context*>(data);
  context->handler->StartElement(name, attributes, context->Line());
}

void XMLCALL OnEnd(void* data, const XML_Char* name) {
  auto* context = static_cast<Context*>(data);
  context->handler->EndElement(name, context->Line());
}

void XMLCALL OnText(void* data, const XML_Char* text, int length) {
  auto* context = static_cast<Context*>(data);
  context->handler->CharacterData(text, length, context->Line());
}

// Parses with `feed`, which hands the parser one piece after another and
// answers false on a parser error; then writes and checks the output.
bool Run(const BinarySchema& schema, EncodeReport* report,
         const std::function<bool(XML_Parser)>& feed, std::vector<uint8_t>* sxc) {
  sxc->clear();
  EventLog log;
  MatchHandler handler(schema, report, &log);
  Parser parser(XML_ParserCreate(nullptr));
  if (!parser) {
    report->reason = "out of memory";
    return false;
  }
  Context context{&handler, parser.get()};
  XML_SetUserData(parser.get(), &context);
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
  const EncodedDocument document{handler.root(), &handler.root_bytes(), &handler.value_streams(),
                                 &handler.has_stream()};
  if (!WriteSxcDocument(schema, document, sxc) || sxc->size() > static_cast<size_t>(INT32_MAX)) {
    report->reason = "the document is too large to be stored";
    sxc->clear();
    return false;
  }
  // The output must decode to exactly what was matched.
  EventLogChecker checker(log.bytes());
  SxcDecoder decoder(schema, &checker);
  std::string error;
  if (!decoder.Decode(sxc->data(), sxc->size(), &error) || !checker.Matches() || !decoder.AllValuesRead()) {
    report->reason =
        "the document does not fit the schema: an element or group occurs more often, or in "
        "another order, than the stored form can express";
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
  const bool ok = Run(schema_, report_, feed, sxc);
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
  return Run(schema_, report_, feed, sxc);
}

}  // namespace zoq
