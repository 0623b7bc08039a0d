#include "package/entry_chain.h"

#include <algorithm>
#include <cstdint>
#include <unordered_set>

#include "zoq/codes.h"

namespace zoq {

Status ReadEntryChain(Stream* stream, const HeaderFacts& header, int revision_limit, PathPool* pool,
                   const EntryVisitor& visit) {
  int count = header.entry_count;
  if (revision_limit > 0 && revision_limit < count) count = revision_limit;
  int64_t file_length = stream->GetLength();
  if (file_length < 0) return kEntryReadFailed;
  std::unordered_set<int64_t> seen;
  NameMap names(pool);
  std::vector<ItemRef> items;
  // What the whole package may hold: one record per byte of the file, and
  // fewer than 2^31 (the model numbers its records with 32 bits).
  const int64_t most = std::min<int64_t>(file_length, INT32_MAX);
  TableBudget budget{most, most};
  int64_t offset = header.first_entry;
  for (int revision = 0; revision < count; ++revision) {
    if (offset <= 0 || !seen.insert(offset).second) return kBadNextEntry;
    EntryFacts entry;
    int code = ReadEntryRefs(stream, offset, header.width, header.version, file_length, &entry,
                             &names, &items, &budget);
    if (code != kOk) return code;
    entry.revision = revision;
    offset = entry.next;
    code = visit(entry, items);
    if (code != kOk) return code;
  }
  return kOk;
}

Status ReadEntryChain(Stream* stream, const HeaderFacts& header, int revision_limit,
                   std::vector<EntryFacts>* out) {
  out->clear();
  PathPool pool;
  return ReadEntryChain(stream, header, revision_limit, &pool,
                        [out](EntryFacts& entry, std::vector<ItemRef>& items) {
                          entry.records.reserve(items.size());
                          for (const ItemRef& item : items) {
                            RecordFacts& facts = entry.records.emplace_back();
                            facts.type = item.type;
                            facts.skippable = item.skippable;
                            facts.data_offset = item.data_offset;
                            facts.path = item.path;
                          }
                          out->push_back(std::move(entry));
                          return kOk;
                        });
}

}  // namespace zoq
