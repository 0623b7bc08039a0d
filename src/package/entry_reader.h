// Reading one entry (revision) of a package: the entry header, the digest
// over the stored tables, the Name Table and the Item List.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "package/layout.h"
#include "stream/stream.h"

namespace zoq {

using NameKey = std::array<uint8_t, 16>;
using NameMap = std::map<NameKey, std::u16string>;

// Inflated tables may not grow beyond this, whatever their counts say.
constexpr int64_t kMaxTableSize = int64_t{1} << 30;

// Plain Name Table -> key to path. Paths that are not valid UTF-8 or not in
// normalized form are skipped; a table that cannot be read gives 5023.
int ParseNameTable(const uint8_t* data, size_t size, NameMap* out);

// Plain Item List -> records, up to the end record or the last whole
// record. A bad type, negative offset or unknown key gives 5024.
int ParseItemList(const uint8_t* data, size_t size, int width, const NameMap& names,
                  std::vector<RecordFacts>* out);

// Inflates a stored Name Table (zlib format). Fails with 5023 when the data
// does not inflate, or would exceed what its record count can need or
// kMaxTableSize.
int InflateNameTable(const uint8_t* data, size_t size, std::vector<uint8_t>* out);

// Inflates a stored Item List, stopping after its end record. Fails with
// 5024 when the data does not inflate or exceeds kMaxTableSize.
int InflateItemList(const uint8_t* data, size_t size, int width, std::vector<uint8_t>* out);

// Reads the entry at `offset` with every check; `file_length` bounds what
// its lengths may claim. Fills everything in `out` but the revision.
int ReadEntry(Stream* stream, int64_t offset, int width, int version, int64_t file_length,
              EntryFacts* out);

}  // namespace zoq
