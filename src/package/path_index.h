// The paths of an open package and the records of each, in revision order.
//
// One open-addressing table of path ids over a vector of slots; the records
// loaded from the package file sit in one shared array, each path's records
// a contiguous slice of it. Opening a package of 100,000 paths thus makes a
// handful of allocations instead of a hash node and a record list per path.
// A path's list gets storage of its own only when editing grows it beyond
// its slice.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <string_view>
#include <vector>

namespace zoq {

struct ItemRecord;

// Mixes the code units of `text` into `seed`, four at a time: the common
// part of the path hashes.
uint64_t MixUnits(uint64_t seed, std::u16string_view text);

// The records of one path, oldest first, in one word: null when empty,
// the record itself when there is one (as most paths of a package have),
// else a tagged pointer to a block holding the count, the room and the
// records (a slice of the index's shared array when loaded, or storage of
// its own once editing grows it).
class RecordList {
 public:
  using const_iterator = ItemRecord* const*;
  using const_reverse_iterator = std::reverse_iterator<const_iterator>;

  RecordList() = default;
  RecordList(RecordList&& other) noexcept;
  RecordList& operator=(RecordList&& other) noexcept;
  RecordList(const RecordList&) = delete;
  RecordList& operator=(const RecordList&) = delete;
  ~RecordList();

  bool empty() const { return size() == 0; }
  size_t size() const { return IsBlock() ? block()->size : (one_ != nullptr ? 1 : 0); }
  ItemRecord* front() const { return begin()[0]; }
  ItemRecord* back() const { return begin()[size() - 1]; }
  ItemRecord* operator[](size_t i) const { return begin()[i]; }
  const_iterator begin() const { return IsBlock() ? Items(block()) : &one_; }
  const_iterator end() const { return begin() + size(); }
  const_reverse_iterator rbegin() const { return const_reverse_iterator(end()); }
  const_reverse_iterator rend() const { return const_reverse_iterator(begin()); }

  void push_back(ItemRecord* record);
  void pop_back();
  void clear();

 private:
  friend class PathIndex;
  // Precedes the records of a list of more than one; as large as a record
  // pointer, so that the records that follow it are aligned.
  struct Block {
    uint32_t size;
    uint32_t capacity : 31;
    uint32_t owned : 1;  // allocated for this list; else a slice of the index's array
  };
  static_assert(sizeof(Block) == sizeof(ItemRecord*));
  static ItemRecord** Items(Block* block) { return reinterpret_cast<ItemRecord**>(block + 1); }
  bool IsBlock() const { return (reinterpret_cast<uintptr_t>(one_) & 1) != 0; }
  Block* block() const {
    return reinterpret_cast<Block*>(reinterpret_cast<uintptr_t>(one_) & ~uintptr_t{1});
  }
  void SetBlock(Block* block) {
    one_ = reinterpret_cast<ItemRecord*>(reinterpret_cast<uintptr_t>(block) | 1);
  }
  // A block of its own with room for `capacity` records, holding these.
  void MoveToOwnBlock(size_t capacity);
  void Release();

  ItemRecord* one_ = nullptr;
};

class PathIndex {
 public:
  struct Slot {
    std::u16string_view path;  // viewed, never copied; empty: a free slot
    RecordList records;
  };
  using Hasher = uint64_t (*)(std::u16string_view);

  // `hasher` is for tests that need paths whose hashes collide.
  explicit PathIndex(Hasher hasher = &HashPath) : hasher_(hasher) {}
  PathIndex(const PathIndex&) = delete;
  PathIndex& operator=(const PathIndex&) = delete;

  static uint64_t HashPath(std::u16string_view path);

  Slot* Find(std::u16string_view path);
  const Slot* Find(std::u16string_view path) const;
  // The slot of `path`, made when missing; a new slot views `stored`, whose
  // text is the path's and must outlive the slot. The bool tells whether it
  // was made. Slot pointers stay valid until the next slot is made.
  std::pair<Slot*, bool> Insert(std::u16string_view path, std::u16string_view stored);
  // The slot leaves the index; its id may be given to a later path.
  void Erase(Slot* slot);

  // Slots by id, for visiting every path: ids below slot_count(), free ones
  // with an empty path. Paths added to a new index get ids 0, 1, 2 ... in
  // the order they were added.
  size_t slot_count() const { return slots_.size(); }
  Slot& slot(size_t id) { return slots_[id]; }
  const Slot& slot(size_t id) const { return slots_[id]; }
  size_t IdOf(const Slot* slot) const { return static_cast<size_t>(slot - slots_.data()); }
  size_t size() const { return live_; }

  void Reserve(size_t paths);
  void Clear();

  // Loading many records at once: each Count(id) announces one record of a
  // slot, then Group() gives every slot of more than one a slice of one
  // shared array with room for what was counted, and the records are
  // push_back()ed in order. The slots' lists must be empty.
  void Count(size_t id) {
    if (id >= counts_.size()) counts_.resize(std::max(id + 1, 2 * counts_.size()));
    ++counts_[id];
  }
  void Group();

 private:
  // A table cell of four bytes: the slot id plus one (0 marks an empty
  // cell) in the bits below the table's size, which it never reaches (the
  // table is at least twice as large as the slots), and above them bits of
  // the path's hash, so that a probe compares a path only when they agree.
  uint32_t Tag(uint64_t hash) const {
    return static_cast<uint32_t>(hash >> 32) & ~static_cast<uint32_t>(cells_.size() - 1);
  }
  uint32_t IdOfCell(uint32_t cell) const {
    return (cell & static_cast<uint32_t>(cells_.size() - 1)) - 1;
  }
  size_t FindCell(std::u16string_view path, uint64_t hash) const;  // the cell, or an empty one
  void Rehash(size_t cells);

  Hasher hasher_;
  std::vector<Slot> slots_;
  std::vector<size_t> free_ids_;
  std::vector<uint32_t> cells_;  // a power of two in size, at most half full
  size_t live_ = 0;
  std::vector<uint32_t> counts_;  // by slot id, between Count() and Group()
  std::unique_ptr<std::byte[]> shared_;  // the slices made by Group()
};

}  // namespace zoq
