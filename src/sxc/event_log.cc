#include "sxc/event_log.h"

namespace zoq {

void EventLogChecker::Value(const SchemaNode& node, size_t offset) {
  Check(EventLog::kValue, node.index);
  if (differs_) return;
  if (expected_.size() - at_ < 2 || expected_[at_] != static_cast<uint32_t>(offset) ||
      expected_[at_ + 1] != static_cast<uint32_t>(uint64_t{offset} >> 32)) {
    differs_ = true;
    return;
  }
  at_ += 2;
}

}  // namespace zoq
