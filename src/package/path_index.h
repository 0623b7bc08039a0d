// The paths of an open package and the records of each, in revision order.
//
// One open-addressing table of path ids over a vector of slots; the records
// loaded from the package file sit in one shared array, each path's records
// a contiguous slice of it. Opening a package of 100,000 paths thus makes a
// handful of allocations instead of a hash node and a record list per path.
// A path's list gets storage of its own only when editing grows it beyond
// its slice.
#pragma once

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

// The records of one path, oldest first.
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

  bool empty() const { return size_ == 0; }
  size_t size() const { return size_; }
  ItemRecord* front() const { return data_[0]; }
  ItemRecord* back() const { return data_[size_ - 1]; }
  ItemRecord* operator[](size_t i) const { return data_[i]; }
  const_iterator begin() const { return data_; }
  const_iterator end() const { return data_ + size_; }
  const_reverse_iterator rbegin() const { return const_reverse_iterator(end()); }
  const_reverse_iterator rend() const { return const_reverse_iterator(begin()); }

  void push_back(ItemRecord* record);
  void pop_back() { --size_; }
  void clear() { size_ = 0; }

 private:
  friend class PathIndex;
  void Release();

  void TakeFrom(RecordList& other);

  ItemRecord** data_ = nullptr;
  uint32_t size_ = 0;
  uint32_t capacity_ : 31 = 0;
  uint32_t owned_ : 1 = 0;  // data_ is this list's own; else a slice of the index's array
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
  // slot, then Group() makes every slot's list a slice of one array with
  // room for what was counted, and the records are push_back()ed in order.
  // The slots' lists must be empty.
  void Count(size_t id) { ++slots_[id].records.capacity_; }
  void Group();

 private:
  // A table cell: the slot id plus one (0 marks an empty cell) in the low
  // half, the upper half of the path's hash in the high half.
  static uint64_t Cell(uint64_t hash, size_t id) { return (hash & ~uint64_t{0xFFFFFFFF}) | (id + 1); }
  size_t FindCell(std::u16string_view path, uint64_t hash) const;  // the cell, or an empty one
  void Rehash(size_t cells);

  Hasher hasher_;
  std::vector<Slot> slots_;
  std::vector<size_t> free_ids_;
  std::vector<uint64_t> cells_;  // a power of two in size, at most half full
  size_t live_ = 0;
  std::unique_ptr<ItemRecord*[]> shared_;  // the slices made by Group()
};

}  // namespace zoq
