// Working with a package's revisions: which parts differ between two
// revisions, whether a part's content is the same in both, and bringing
// parts back as they were after an earlier revision.
//
// Revisions are counted here as "after the first n revisions": n = 0 is the
// empty package before the first revision, n = GetRevisionCount() the newest
// saved state, kNewest the state including changes not yet saved.
#pragma once

#include <climits>
#include <string>
#include <vector>

#include "zoq/container.h"
#include "zoq/decode_options.h"
#include "zoq/export.h"
#include "zoq/path_history.h"

namespace zoq {

constexpr int kNewest = INT_MAX;

// One part that differs between two states of a package.
struct PartChange {
  char status = 'M';  // 'A' only in the later state, 'D' only in the earlier, 'M' both, differing
  size_t history = 0;  // index into the histories compared
  PartState before;
  PartState after;
};

// A part whose contents could not be compared, and why.
struct PartProblem {
  std::u16string path;
  int code = 0;
};

// Whether the part's decoded content after `from` revisions equals the one
// after `to` (both states must hold the part). The same records need no
// reading; otherwise both contents are decoded with `options` and compared.
// 5064 when a state's content cannot be read, else the reading failure.
ZOQ_EXPORT Status SameContent(Container* container, const PathHistory& history, int from, int to,
                           const DecodeOptions* options, bool* same);

// The parts of `histories` (`count` of them, from ListPathHistories) that
// differ between the states after `from` and after `to` revisions, in the
// order of `histories`. Parts whose contents cannot be compared go to
// `problems` and not to `changes`; the result is 0 unless an argument is
// wrong.
ZOQ_EXPORT Status CompareRevisions(Container* container, const PathHistory* histories, size_t count,
                                int from, int to, const DecodeOptions* options,
                                std::vector<PartChange>* changes,
                                std::vector<PartProblem>* problems);

// What RestoreParts did with one part.
struct RestoredPart {
  std::u16string path;
  bool restored = false;  // false: its content is already what it was then
};

// Files, as pending changes of the container, the parts named by `paths`
// as they were after `revisions` revisions (1 or more): a path names a part
// that existed then, or a folder, which stands for every part that existed
// below it then (parts added later stay as they are). A part whose newest
// content equals its content then gets no new record. `key` decodes and
// encodes ADM content where the old version must be encoded again.
// Fails with 5054 (and the path in *failed) when a path named nothing then;
// a failure while filing leaves the parts filed before it pending.
ZOQ_EXPORT Status RestoreParts(Container* container, int revisions,
                            const std::vector<std::u16string>& paths, const KeyInfo* key,
                            std::vector<RestoredPart>* out, std::u16string* failed);

}  // namespace zoq
