#include "sxc/event_log.h"

#include <cstring>

namespace zoq {
namespace {

constexpr size_t kEntrySize = 1 + 4 + 8;

void Encode(char tag, int32_t node, uint64_t offset, char* entry) {
  entry[0] = tag;
  memcpy(entry + 1, &node, 4);
  memcpy(entry + 5, &offset, 8);
}

}  // namespace

void EventLog::Add(char tag, int32_t node, uint64_t offset) {
  char entry[kEntrySize];
  Encode(tag, node, offset, entry);
  bytes_.append(entry, kEntrySize);
}

void EventLogChecker::Check(char tag, int32_t node, uint64_t offset) {
  if (differs_) return;
  char entry[kEntrySize];
  Encode(tag, node, offset, entry);
  if (expected_.size() - offset_ < kEntrySize || memcmp(expected_.data() + offset_, entry, kEntrySize) != 0) {
    differs_ = true;
    return;
  }
  offset_ += kEntrySize;
}

}  // namespace zoq
