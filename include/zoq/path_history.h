// The records a path has across the revisions of a package, deleted parts
// included, and what the path held after a given number of revisions.
// Container::ListPathHistories hands these out; the history tools (comparing
// revisions, restoring old versions, searching every revision) work on them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "zoq/export.h"

namespace zoq {

// One Item List record of a path: the revision (0-based) that holds it and
// its record type (ItemRecordType of package_layout.h).
struct RecordMark {
  int revision = 0;
  int type = 0;
  bool skippable = false;
};

struct PathHistory {
  std::u16string path;
  std::vector<RecordMark> records;  // oldest first, as the package stores them
};

// What a path held once the first `revisions` revisions were saved
// (0: before the first). Indexes point into PathHistory::records.
struct PartState {
  // The newest record considered carries data: the part exists.
  bool exists = false;
  // Its content is the full record `first` and the appends after it up to
  // `last`; -1 when the part does not exist or holds appends with no full
  // record below them (its content cannot be read).
  int first = -1;
  int last = -1;
  // When the part does not exist: the deletion (or empty record) that ended
  // it, -1 when it never had a record.
  int ended_by = -1;

  bool readable() const { return first >= 0; }
  // The same records make up both contents.
  bool SameRecords(const PartState& other) const {
    return exists == other.exists && first == other.first && last == other.last;
  }
};

ZOQ_EXPORT PartState StateAfter(const PathHistory& history, int revisions);

// The revisions (0-based) of the records that make up the content of a
// state, oldest first; empty when it has none.
ZOQ_EXPORT std::vector<int> ContentRevisions(const PathHistory& history, const PartState& state);

}  // namespace zoq
