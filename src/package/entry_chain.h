// Following the entry chain from the header's first-entry offset.
#pragma once

#include <vector>

#include "package/layout.h"
#include "stream/stream.h"

namespace zoq {

// Reads min(entry count, limit) entries (limit 0: all) in chain order and
// numbers them from 0. An offset of 0 or below where the count asks for
// another entry, or one that was read already, gives 5026.
int ReadEntryChain(Stream* stream, const HeaderFacts& header, int revision_limit,
                   std::vector<EntryFacts>* out);

}  // namespace zoq
