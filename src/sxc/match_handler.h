// The encoder's parser handler: matches elements and attributes against the
// schema's content model while the XML is parsed, records the structure of
// what matched as a tree of instances (kept as a stack of finished child
// records and their bytes), and gathers values into per-node streams.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "sxc/chunk_pipeline.h"
#include "zoq/encode_report.h"
#include "sxc/event_log.h"
#include "sxc/schema.h"

namespace zoq {

class MatchHandler {
 public:
  MatchHandler(const BinarySchema& schema, EncodeReport* report, EventLog* log);

  // Answers the line of the event being handled (asked only when a reason
  // is written).
  using LineSource = long (*)(void* context);
  void SetLineSource(LineSource source, void* context) {
    line_source_ = source;
    line_context_ = context;
  }

  // Long value streams are shipped to `pipeline` as they grow.
  void SetChunkPipeline(ChunkPipeline* pipeline) { pipeline_ = pipeline; }

  // Parser events. Names and text are UTF-8.
  void StartElement(const char* name, const char** attributes);
  void EndElement(const char* name);
  void CharacterData(const char* text, int length);

  // Fails the run without a console message.
  void Fail(const std::string& reason);

  // The root element closed correctly and nothing followed it.
  bool Completed() const { return completed_ && failed_; }
  // The run failed (no later event can mend it).
  bool Failed() const { return failed_ && !completed_; }

  // Results of a completed run.
  const SchemaNode* root() const { return root_; }
  const std::vector<uint8_t>& root_bytes() const { return root_bytes_; }
  const std::vector<std::string>& value_streams() const { return streams_; }
  const std::vector<uint8_t>& has_stream() const { return has_stream_; }

 private:
  struct Frame {
    const SchemaNode* node;
    const SchemaNode* text_owner;
    int occurrences = 0;
    int position = 0;
    bool holds_alternative = false;  // a choice that matched one of its alternatives
    std::vector<uint8_t> matched;    // all groups: which children occurred
    size_t matched_count = 0;
    size_t record_start = 0;  // this instance's children among records_
    size_t arena_start = 0;   // and their bytes in arena_
  };
  // A finished child instance of an open instance.
  struct Record {
    const SchemaNode* node;
    size_t offset;
    size_t length;
    bool attribute;
  };

  void Message(const std::string& text);
  void PushFrame(const SchemaNode* node);
  void FinishTop();
  void DiscardTop();
  // Names as views: measured once per start tag, compared by length first.
  bool Match(std::string_view name);
  bool MatchIn(size_t frame, std::string_view name);
  void EnterLeadingGroups(const SchemaNode& node);
  bool StoreAttributes(const SchemaNode& element, const char** attributes);
  // Where the value that ends now starts in the owner's stream: before the
  // text already put there, or at the stream's end.
  size_t TakePendingStart(const SchemaNode& owner);
  void StorePendingAtStart();
  bool StorePendingAtEnd();
  void AppendValue(const SchemaNode& node, const char* text, size_t length);
  void AppendZero(const SchemaNode& node);
  void BuildBytes(const Frame& frame, std::vector<uint8_t>* out);
  void AppendChildren(size_t first, std::vector<uint8_t>* out);
  void AppendRecord(const Record& record, std::vector<uint8_t>* out);
  void AppendCode(uint32_t value, std::vector<uint8_t>* out);
  std::string At() const;

  const BinarySchema& schema_;
  EncodeReport* report_;
  EventLog* log_;
  bool failed_ = false;
  bool completed_ = false;
  bool message_printed_ = false;
  ChunkPipeline* pipeline_ = nullptr;
  LineSource line_source_ = nullptr;
  void* line_context_ = nullptr;
  std::string pending_;  // character data of a non-text value, parsed when it ends
  bool text_in_stream_ = false;  // text of the value being read is in its stream
  size_t text_start_ = 0;        // from this offset
  std::vector<Frame> frames_;
  std::vector<Record> records_;
  std::vector<uint8_t> arena_;
  std::vector<uint32_t> marks_;  // per node: generation of the last presence scan
  uint32_t generation_ = 0;
  const SchemaNode* root_ = nullptr;
  std::vector<uint8_t> root_bytes_;
  std::vector<std::string> streams_;
  std::vector<uint8_t> has_stream_;
  // Declared attributes of a start tag: position in the element's list and
  // offset of the value in the attribute's stream.
  std::vector<std::pair<size_t, size_t>> given_;
};

}  // namespace zoq
