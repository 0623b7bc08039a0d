#include "sxc/sxc_encoder.h"

#include <expat.h>
#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <functional>
#include <memory>
#include <new>
#include <thread>

#include "sxc/byte_coder.h"
#include "sxc/chunk_pipeline.h"
#include "sxc/decoder.h"
#include "sxc/event_log.h"
#include "sxc/event_relay.h"
#include "sxc/match_handler.h"
#include "sxc/sxc_writer.h"

namespace zoq {
namespace {

constexpr int kPieceSize = 0x10000;
// Piped runs parse documents up to this size in one call.
constexpr size_t kWholeDocumentLimit = size_t{32} << 20;
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

// Matches relayed events on the matching thread.
class RelayedMatch final : public RelayedEvents {
 public:
  explicit RelayedMatch(MatchHandler* handler) : handler_(handler) {}
  void StartElement(const char* name, const char** attributes) override {
    handler_->StartElement(name, attributes);
  }
  void EndElement(const char* name) override { handler_->EndElement(name); }
  void CharacterData(const char* text, int length) override { handler_->CharacterData(text, length); }
  bool Stopped() const override { return handler_->Failed(); }

 private:
  MatchHandler* handler_;
};

// The parser's handlers when matching runs on another thread: they only
// copy the events into the relay, and stop the parser once matching failed.
struct Recorder {
  EventRelay* relay;
  XML_Parser parser;
};

void XMLCALL RecordStart(void* data, const XML_Char* name, const XML_Char** attributes) {
  auto* recorder = static_cast<Recorder*>(data);
  if (!recorder->relay->Start(name, attributes)) XML_StopParser(recorder->parser, XML_FALSE);
}

void XMLCALL RecordEnd(void* data, const XML_Char* name) {
  auto* recorder = static_cast<Recorder*>(data);
  if (!recorder->relay->End(name)) XML_StopParser(recorder->parser, XML_FALSE);
}

void XMLCALL RecordText(void* data, const XML_Char* text, int length) {
  auto* recorder = static_cast<Recorder*>(data);
  if (!recorder->relay->Text(text, length)) XML_StopParser(recorder->parser, XML_FALSE);
}

// Relay blocks: small for small documents, so that they too are matched
// while parsing goes on.
size_t RelayBlockSize(size_t xml_size) {
  return std::clamp<size_t>(xml_size / 32, size_t{4} << 10, size_t{256} << 10);
}

enum class Outcome { kDone, kFailed, kRetry };

// Parses with `feed`, which hands the parser one piece after another and
// answers false on a parser error; then writes and checks the output. When
// `piped`, the events are matched on a second thread while the parser goes
// on, with messages held back: any failure answers kRetry, and the caller
// runs again on one thread, which gives the failure its exact reason, line
// and message.
Outcome Run(const BinarySchema& schema, EncodeReport* report, size_t xml_size,
            const std::function<bool(XML_Parser)>& feed, bool piped, std::vector<uint8_t>* sxc) {
  sxc->clear();
  EncodeReport quiet;
  quiet.print_messages = false;
  EventLog log;
  log.ExpectDocumentSize(xml_size);
  MatchHandler handler(schema, piped ? &quiet : report, &log);
  // Long value streams are compressed while parsing goes on.
  ChunkPipeline pipeline(schema.nodes.size());
  handler.SetChunkPipeline(&pipeline);
  Parser parser(XML_ParserCreate(nullptr));
  if (!parser) {
    report->reason = "out of memory";
    return Outcome::kFailed;
  }
  if (piped) {
    EventRelay relay(RelayBlockSize(xml_size));
    Recorder recorder{&relay, parser.get()};
    XML_SetUserData(parser.get(), &recorder);
    XML_SetElementHandler(parser.get(), RecordStart, RecordEnd);
    XML_SetCharacterDataHandler(parser.get(), RecordText);
    bool matched = true;
    std::thread matcher([&] {
      RelayedMatch events(&handler);
      try {
        relay.Replay(&events);
      } catch (const std::bad_alloc&) {
        matched = false;
        handler.Fail("out of memory");
        relay.Replay(&events);  // stops at once: lets the parser side finish
      }
    });
    const bool fed = feed(parser.get());
    relay.Close();
    matcher.join();
    if (!fed || !matched || !handler.Completed()) return Outcome::kRetry;
  } else {
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
      return Outcome::kFailed;
    }
    if (!handler.Completed()) {
      if (report->reason.empty()) report->reason = "the document has no complete root element";
      return Outcome::kFailed;
    }
  }
  // The parser and its buffer are done with.
  handler.SetLineSource(nullptr, nullptr);
  parser.reset();
  const auto failed = [&] { return piped ? Outcome::kRetry : Outcome::kFailed; };
  // The stored form must decode to exactly what was matched: walk the
  // structure over the value streams as the decoder will. A large document
  // is compressed on other threads meanwhile (both only read the streams);
  // its output is dropped when the check fails.
  std::vector<std::vector<DeflatedChunk>> early_chunks;
  const EncodedDocument document{handler.root(), &handler.root_bytes(), &handler.value_streams(),
                                 &handler.has_stream(), &early_chunks};
  auto write = [&] { return pipeline.Finish(handler.value_streams(), &early_chunks) && WriteSxcDocument(schema, document, sxc); };
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
    if (piped) return failed();
    report->reason =
        "the document does not fit the schema: an element or group occurs more often, or in "
        "another order, than the stored form can express";
    return Outcome::kFailed;
  }
  if (!written || sxc->size() > static_cast<size_t>(INT32_MAX)) {
    sxc->clear();
    if (piped) return failed();
    report->reason = "the document is too large to be stored";
    return Outcome::kFailed;
  }
  return Outcome::kDone;
}

// From this size of XML text on, matching runs beside the parser when
// there is a second core.
bool Piped(size_t xml_size, size_t minimum) {
  return xml_size >= minimum && std::thread::hardware_concurrency() >= 2;
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
  const bool regular = fstat(fileno(file), &info) == 0 && S_ISREG(info.st_mode);
  const size_t size = regular && info.st_size > 0 ? static_cast<size_t>(info.st_size) : 0;
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
  // The piped run reads the whole file into the parser's buffer and parses
  // it in one final call: a call that is not the last one has the parser
  // count lines and columns over all it parsed, which only a failure needs
  // (and a failure is reported by the run on one thread). A file that grew
  // meanwhile goes on in pieces.
  auto feed_whole = [file, size, &feed](XML_Parser parser) {
    void* buffer = XML_GetBuffer(parser, static_cast<int>(size));
    if (buffer == nullptr) return feed(parser);
    const size_t got = fread(buffer, 1, size, file);
    const int next = got == size ? fgetc(file) : EOF;
    if (next != EOF) ungetc(next, file);
    if (XML_ParseBuffer(parser, static_cast<int>(got), next == EOF) != XML_STATUS_OK) return false;
    return next == EOF || feed(parser);
  };
  // Only a regular file can be read a second time.
  Outcome outcome = Outcome::kRetry;
  if (regular && Piped(size, piped_minimum_)) {
    if (size <= kWholeDocumentLimit) {
      outcome = Run(schema_, report_, size, feed_whole, true, sxc);
    } else {
      outcome = Run(schema_, report_, size, feed, true, sxc);
    }
    if (outcome == Outcome::kRetry && fseek(file, 0, SEEK_SET) != 0) {
      report_->reason = "cannot read " + path;
      outcome = Outcome::kFailed;
    }
    clearerr(file);
  }
  if (outcome == Outcome::kRetry) outcome = Run(schema_, report_, size, feed, false, sxc);
  fclose(file);
  return outcome == Outcome::kDone;
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
  // One final call when piped (see EncodeFile).
  auto feed_whole = [xml, size](XML_Parser parser) {
    return XML_Parse(parser, xml, static_cast<int>(size), XML_TRUE) == XML_STATUS_OK;
  };
  Outcome outcome = Outcome::kRetry;
  if (Piped(size, piped_minimum_)) {
    if (size <= kWholeDocumentLimit) {
      outcome = Run(schema_, report_, size, feed_whole, true, sxc);
    } else {
      outcome = Run(schema_, report_, size, feed, true, sxc);
    }
  }
  if (outcome == Outcome::kRetry) outcome = Run(schema_, report_, size, feed, false, sxc);
  return outcome == Outcome::kDone;
}

}  // namespace zoq
