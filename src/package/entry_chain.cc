#include "package/entry_chain.h"

#include <set>

#include "package/codes.h"
#include "package/entry_reader.h"

namespace zoq {

int ReadEntryChain(Stream* stream, const HeaderFacts& header, int revision_limit,
                   std::vector<EntryFacts>* out) {
  out->clear();
  int count = header.entry_count;
  if (revision_limit > 0 && revision_limit < count) count = revision_limit;
  int64_t file_length = stream->GetLength();
  if (file_length < 0) return kEntryReadFailed;
  std::set<int64_t> seen;
  int64_t offset = header.first_entry;
  for (int revision = 0; revision < count; ++revision) {
    if (offset <= 0 || !seen.insert(offset).second) return kBadNextEntry;
    EntryFacts entry;
    int code = ReadEntry(stream, offset, header.width, header.version, file_length, &entry);
    if (code != kOk) return code;
    entry.revision = revision;
    offset = entry.next;
    out->push_back(std::move(entry));
  }
  return kOk;
}

}  // namespace zoq
