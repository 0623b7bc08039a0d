// Following the entry chain from the header's first-entry offset.
#pragma once

#include <functional>
#include <vector>

#include "package/entry_reader.h"
#include "zoq/package_layout.h"
#include "package/path_pool.h"
#include "zoq/stream.h"

namespace zoq {

// Called for each entry read, in chain order, with its facts (numbered from
// 0, records empty) and its Item List records, whose paths live in the
// pool given to ReadEntryChain. A result other than 0 stops the walk.
using EntryVisitor = std::function<int(EntryFacts& entry, std::vector<ItemRef>& items)>;

// Reads min(entry count, limit) entries (limit 0: all) in chain order and
// numbers them from 0. An offset of 0 or below where the count asks for
// another entry, or one that was read already, gives 5026.
Status ReadEntryChain(Stream* stream, const HeaderFacts& header, int revision_limit, PathPool* pool,
                   const EntryVisitor& visit);

// The same, collecting the entries with their records' paths copied.
Status ReadEntryChain(Stream* stream, const HeaderFacts& header, int revision_limit,
                   std::vector<EntryFacts>* out);

}  // namespace zoq
