// Reading one entry (revision) of a package: the entry header, the digest
// over the stored tables, the Name Table and the Item List.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <utility>
#include <string>
#include <vector>

#include "package/layout.h"
#include "stream/stream.h"

namespace zoq {

using NameKey = std::array<uint8_t, 16>;

// The names of one entry: key -> path. Keys are usually stored in
// ascending order, so the names are kept in a sorted vector.
class NameMap {
 public:
  NameMap() = default;
  NameMap(std::initializer_list<std::pair<NameKey, std::u16string>> names);

  // Adds a name; call Seal() after the last one. When a key repeats, the
  // first name stays.
  void Add(const NameKey& key, std::u16string path);
  void Seal();
  // The path of a key, or null.
  const std::u16string* Lookup(const NameKey& key) const;
  size_t size() const { return names_.size(); }

 private:
  friend int ParseItemList(const uint8_t*, size_t, int, NameMap&, std::vector<RecordFacts>*);
  int Find(const NameKey& key) const;  // index or -1

  std::vector<std::pair<NameKey, std::u16string>> names_;  // sorted by key once sealed
};

// Inflated tables may not grow beyond this, whatever their counts say.
constexpr int64_t kMaxTableSize = int64_t{1} << 30;

// Plain Name Table -> key to path. Paths that are not valid UTF-8 or not in
// normalized form are skipped; a table that cannot be read gives 5023.
int ParseNameTable(const uint8_t* data, size_t size, NameMap* out);

// Plain Item List -> records, up to the end record or the last whole
// record. A bad type, negative offset or unknown key gives 5024. The paths
// are taken out of `names` (which is left unspecified).
int ParseItemList(const uint8_t* data, size_t size, int width, NameMap& names,
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
