#include "zoq/path_history.h"

#include "zoq/package_layout.h"

namespace zoq {

PartState StateAfter(const PathHistory& history, int revisions) {
  PartState state;
  const std::vector<RecordMark>& records = history.records;
  int newest = -1;
  for (int i = static_cast<int>(records.size()) - 1; i >= 0; --i) {
    if (records[i].revision < revisions) {
      newest = i;
      break;
    }
  }
  if (newest < 0) return state;
  const int type = records[newest].type;
  state.exists = type == kRecordCreated || type == kRecordAppended || type == kRecordReplaced;
  if (!state.exists) {
    state.ended_by = newest;
    return state;
  }
  // The content is the newest full record and the appends after it; a
  // deletion or an empty record below the appends leaves none.
  for (int i = newest; i >= 0; --i) {
    const int t = records[i].type;
    if (t == kRecordAppended) continue;
    if (t == kRecordCreated || t == kRecordReplaced) {
      state.first = i;
      state.last = newest;
    }
    break;
  }
  return state;
}

std::vector<int> ContentRevisions(const PathHistory& history, const PartState& state) {
  std::vector<int> revisions;
  for (int i = state.first; i >= 0 && i <= state.last; ++i) {
    revisions.push_back(history.records[i].revision);
  }
  return revisions;
}

}  // namespace zoq
