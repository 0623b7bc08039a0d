// Decodes an SXC document held in memory against a schema and reports it
// node by node.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "sxc/decode_budget.h"
#include "sxc/decoded_events.h"
#include "sxc/schema.h"

namespace zoq {

class SxcDecoder {
 public:
  // Without a budget the decoder takes what the document needs.
  SxcDecoder(const BinarySchema& schema, DecodedEvents* events, DecodeBudget budget = {});
  ~SxcDecoder();

  // Decodes the whole document. False, with a reason in `error`, for a
  // document of another schema or version, truncated or corrupt sections, a
  // malformed value directory, a value stream that runs out while the
  // structure still asks for values, or a document that passes its budget
  // (then LimitReached()). Events already reported stay reported.
  bool Decode(const uint8_t* data, size_t size, std::string* error);
  bool LimitReached() const { return limit_reached_; }

  // Walks an uncompressed structure (root index code, if any, then the root's
  // bytes) over uncompressed value streams (per node index), as Decode would
  // walk the document stored from them.
  bool DecodeParts(const std::vector<uint8_t>& structure, const std::vector<std::string>& streams,
                   const std::vector<uint8_t>& has_stream, std::string* error);

  // After a successful Decode: whether every value stream was read to its
  // end.
  bool AllValuesRead() const;

 private:
  struct ValueItem {
    int node = -1;
    const uint8_t* data = nullptr;
    size_t size = 0;
    size_t cursor = 0;
  };

  // Runs `prepare`, then walks the document; false, with the reason, when
  // either fails.
  template <typename Walk>
  bool Guarded(const Walk& prepare, std::string* error);
  void ReadHeaderAndSections(const uint8_t* data, size_t size);
  void BuildValueItems(const uint8_t* blocks, size_t blocks_size, const std::vector<uint8_t>& directory);
  // Inflates one section or block into `out`; fails the decode when it is
  // corrupt or would pass `limit`.
  void Inflate(const uint8_t* data, size_t size, size_t limit, const char* what, std::vector<uint8_t>* out);
  void DecodeRoot();
  void DecodeElement(const SchemaNode& element, const SchemaNode* owner);
  void DecodeGroup(const SchemaNode& group, const SchemaNode* owner);
  void DecodeParticle(const SchemaNode& particle, const SchemaNode* owner);
  // Decodes `count` repetitions of a particle. A repetition that reads no
  // structure byte and starts no element changes nothing, and neither would
  // the ones after it: they are skipped, so that a count far beyond the
  // document costs no work.
  void DecodeRepetitions(const SchemaNode& particle, const SchemaNode* owner, int64_t count);
  void DecodeValue(const SchemaNode& node);
  // Counts `bytes` of inflated data or bookkeeping against the budget.
  void Charge(size_t bytes);
  // Fails once the events have produced more text than the budget allows.
  void CheckOutput() {
    if (events_->OutputSize() > budget_.text) FailTextLimit();
  }
  [[noreturn]] void FailTextLimit();
  [[noreturn]] void FailInflateLimit();
  int64_t Occurrences(const SchemaNode& particle);
  // Takes ceil(bits / 8) presence bytes; false when they are not there.
  bool TakePresence(int bits, const uint8_t** presence);
  uint32_t ReadCode();

  const BinarySchema& schema_;
  DecodedEvents* events_;
  DecodeBudget budget_;
  size_t charged_ = 0;  // inflated bytes and bookkeeping so far
  bool limit_reached_ = false;
  std::vector<uint8_t> structure_;  // inflated by Decode
  const uint8_t* cursor_ = nullptr;
  const uint8_t* end_ = nullptr;
  std::vector<std::vector<uint8_t>> blocks_;
  std::vector<ValueItem> items_;
  std::vector<int> item_of_node_;  // first item per node index, or -1
  int depth_ = 0;
  uint64_t elements_started_ = 0;
};

}  // namespace zoq
