// Reading one entry (revision) of a package: the entry header, the digest
// over the stored tables, the Name Table and the Item List.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <limits>
#include <utility>
#include <string>
#include <string_view>
#include <vector>

#include "zoq/package_layout.h"
#include "package/path_pool.h"
#include "zoq/stream.h"

namespace zoq {

// One Item List record with its path as stored in a name map's pool.
struct ItemRef {
  int type = kRecordNone;
  bool skippable = false;
  int64_t data_offset = 0;  // relative to the entry's BitStream
  std::u16string_view path;
};

using NameKey = std::array<uint8_t, 16>;

// The names of one entry: key -> path. The paths live in a PathPool (the
// map's own, or one given by the caller so that they outlive the map).
// Writers number the keys 1, 2, 3 ... in record order; such names are found
// by their number, any others by a search in a vector sorted by key.
class NameMap {
 public:
  NameMap() : pool_(&own_pool_) {}
  explicit NameMap(PathPool* pool) : pool_(pool) {}
  NameMap(std::initializer_list<std::pair<NameKey, std::u16string>> names);
  NameMap(const NameMap&) = delete;
  NameMap& operator=(const NameMap&) = delete;

  // Adds a name; call Seal() after the last one. When a key repeats, the
  // first name stays.
  void Add(const NameKey& key, std::u16string_view path);
  void AddStored(const NameKey& key, std::u16string_view stored) {
    names_.emplace_back(key, stored);
  }
  void Seal();
  void Clear() {
    names_.clear();
    numbered_ = false;
  }
  // The path of a key, or null.
  const std::u16string_view* Lookup(const NameKey& key) const;
  size_t size() const { return names_.size(); }
  PathPool* pool() const { return pool_; }

 private:
  friend Status ParseItemRefs(const uint8_t*, size_t, int, const NameMap&, std::vector<ItemRef>*,
                           int64_t);
  int Find(const NameKey& key) const;  // index or -1

  PathPool own_pool_;
  PathPool* pool_;
  // Sorted by key once sealed, unless numbered_: then the k-th name has the
  // key k (as a writer numbers them) and keeps its place.
  std::vector<std::pair<NameKey, std::u16string_view>> names_;
  bool numbered_ = false;
};

// Inflated tables may not grow beyond this, whatever their counts say.
constexpr int64_t kMaxTableSize = int64_t{1} << 30;

// A compressed table may inflate to at most this many times its stored
// size. Deflate reaches about 1032:1, but only on long runs of one byte;
// the tables a writer makes carry a distinct key and path per record and
// inflate 3 to 7 times, and even a table of 100,000 paths of 200 characters
// that differ only in their last six inflates 57 times. 256 keeps every such
// table readable while tying what a table may cost to its stored size.
constexpr int64_t kMaxTableInflation = 256;
// A stored table smaller than this may still inflate to this many bytes.
constexpr int64_t kMinTableAllowance = 64 * 1024;

// The most bytes a table of `stored` bytes may inflate to.
int64_t TableInflateLimit(size_t stored);

// Each record a table holds costs the model memory (an Item List record
// about 150 bytes). A writer's records take several stored bytes each even
// compressed (at least 2 for an Item List record, about 6 with its name), so
// an entry may hold at most one record of each table per byte of its stored
// tables, and a whole package at most one per byte of its file.
struct TableBudget {
  int64_t records = 0;  // Item List records left for the package
  int64_t names = 0;    // name records left
};

constexpr int64_t kNoLimit = std::numeric_limits<int64_t>::max();

// The name keys an entry's Item List uses: only their names are kept when
// the Name Table is read, so a table of millions of names of which the list
// uses a few costs the memory of those few.
class UsedKeys {
 public:
  // The keys of the records of a plain Item List up to its end record.
  UsedKeys(const uint8_t* items, size_t size, int width);
  bool Contains(const NameKey& key) const;

 private:
  // When the records use the keys 1, 2, 3 ... in order (as writers number
  // them): how many; otherwise -1 and the keys sorted.
  int64_t numbered_ = 0;
  std::vector<NameKey> sorted_;
};

// Stored Name Table (compressed when `compressed`) -> key to path, the paths
// stored in the map's pool; a compressed table is inflated in pieces and
// read as it comes, up to its last record. Only the names of `used` keys
// are kept (null: all). Paths that are not valid UTF-8 or not in normalized
// form are skipped; a table that cannot be read or inflated, that counts
// more than `max_names` records, or that inflates beyond TableInflateLimit
// before its last record gives 5023.
Status ReadNameTable(const uint8_t* data, size_t size, bool compressed, const UsedKeys* used,
                  NameMap* out, int64_t max_names = kNoLimit);

// Plain Name Table -> every name (ReadNameTable of a plain table).
Status ParseNameTable(const uint8_t* data, size_t size, NameMap* out, int64_t max_names = kNoLimit);

// Plain Item List -> records, up to the end record or the last whole
// record. A bad type, negative offset or unknown key, or more than
// `max_records` records, gives 5024. The paths view the name map's pool.
Status ParseItemRefs(const uint8_t* data, size_t size, int width, const NameMap& names,
                  std::vector<ItemRef>* out, int64_t max_records = kNoLimit);
// The same with each path copied into its record.
Status ParseItemList(const uint8_t* data, size_t size, int width, const NameMap& names,
                  std::vector<RecordFacts>* out);

// Inflates a stored Item List; what follows its end record is not kept.
// Fails with 5024 when the data does not inflate, exceeds TableInflateLimit,
// or holds more than `max_records` records before its end record.
Status InflateItemList(const uint8_t* data, size_t size, int width, std::vector<uint8_t>* out,
                    int64_t max_records = kNoLimit);

// Reads the entry at `offset` with every check; `file_length` bounds what
// its lengths may claim. Fills everything in `out` but the revision and the
// records, which go to `items` (paths in the pool of `names`). The records
// and names taken are counted off `budget` (null: this entry's own limits
// only); an entry that would overdraw it fails with 5024 or 5023.
Status ReadEntryRefs(Stream* stream, int64_t offset, int width, int version, int64_t file_length,
                  EntryFacts* out, NameMap* names, std::vector<ItemRef>* items,
                  TableBudget* budget = nullptr);

// The same with the records, paths copied, in out->records.
Status ReadEntry(Stream* stream, int64_t offset, int width, int version, int64_t file_length,
              EntryFacts* out);

}  // namespace zoq
