#include "package/path_index.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

namespace zoq {

// --- RecordList -------------------------------------------------------------

RecordList::RecordList(RecordList&& other) noexcept : one_(other.one_) { other.one_ = nullptr; }

RecordList& RecordList::operator=(RecordList&& other) noexcept {
  if (this != &other) {
    Release();
    one_ = other.one_;
    other.one_ = nullptr;
  }
  return *this;
}

RecordList::~RecordList() { Release(); }

void RecordList::Release() {
  if (IsBlock() && block()->owned) ::operator delete(block());
  one_ = nullptr;
}

void RecordList::MoveToOwnBlock(size_t capacity) {
  const size_t size = this->size();
  auto* fresh = static_cast<Block*>(::operator new(sizeof(Block) + capacity * sizeof(ItemRecord*)));
  fresh->size = static_cast<uint32_t>(size);
  fresh->capacity = static_cast<uint32_t>(capacity);
  fresh->owned = 1;
  if (size != 0) std::memcpy(Items(fresh), begin(), size * sizeof(ItemRecord*));
  Release();
  SetBlock(fresh);
}

void RecordList::push_back(ItemRecord* record) {
  if (one_ == nullptr) {
    one_ = record;
    return;
  }
  // Beyond one record, or beyond its slice or storage: storage of its own,
  // twice as large, so that a list edited many times grows in amortised
  // steps.
  if (!IsBlock() || block()->size == block()->capacity) {
    MoveToOwnBlock(std::max<size_t>(4, 2 * size()));
  }
  Block* at = block();
  Items(at)[at->size++] = record;
}

void RecordList::pop_back() {
  if (IsBlock()) {
    --block()->size;
  } else {
    one_ = nullptr;
  }
}

void RecordList::clear() {
  if (IsBlock()) {
    block()->size = 0;
  } else {
    one_ = nullptr;
  }
}

// --- PathIndex --------------------------------------------------------------

uint64_t MixUnits(uint64_t seed, std::u16string_view text) {
  // Four code units a step; paths of one package share long prefixes, so
  // every word goes through a full multiply-and-shift mix.
  uint64_t h = seed ^ text.size();
  const char16_t* p = text.data();
  size_t left = text.size();
  for (; left >= 4; left -= 4, p += 4) {
    uint64_t word;
    std::memcpy(&word, p, 8);
    h = (h ^ word) * 0xBF58476D1CE4E5B9ull;
    h ^= h >> 31;
  }
  if (left != 0) {
    uint64_t word = p[0];
    if (left > 1) word |= uint64_t{p[1]} << 16;
    if (left > 2) word |= uint64_t{p[2]} << 32;
    h = (h ^ word) * 0xBF58476D1CE4E5B9ull;
    h ^= h >> 31;
  }
  return h;
}

uint64_t PathIndex::HashPath(std::u16string_view path) {
  const uint64_t h = MixUnits(0x9E3779B97F4A7C15ull, path) * 0x94D049BB133111EBull;
  return h ^ (h >> 32);
}

size_t PathIndex::FindCell(std::u16string_view path, uint64_t hash) const {
  const size_t mask = cells_.size() - 1;
  const uint32_t tag = Tag(hash);
  for (size_t i = hash & mask;; i = (i + 1) & mask) {
    const uint32_t cell = cells_[i];
    if (cell == 0) return i;
    if ((cell & ~static_cast<uint32_t>(mask)) != tag) continue;
    const std::u16string_view other = slots_[IdOfCell(cell)].path;
    if (other.size() == path.size() &&
        std::memcmp(other.data(), path.data(), path.size() * sizeof(char16_t)) == 0) {
      return i;
    }
  }
}

PathIndex::Slot* PathIndex::Find(std::u16string_view path) {
  return const_cast<Slot*>(std::as_const(*this).Find(path));
}

const PathIndex::Slot* PathIndex::Find(std::u16string_view path) const {
  if (cells_.empty()) return nullptr;
  const uint32_t cell = cells_[FindCell(path, hasher_(path))];
  return cell == 0 ? nullptr : &slots_[IdOfCell(cell)];
}

std::pair<PathIndex::Slot*, bool> PathIndex::Insert(std::u16string_view path,
                                                    std::u16string_view stored) {
  if (2 * (live_ + 1) > cells_.size()) Rehash(2 * (live_ + 1));
  const uint64_t hash = hasher_(path);
  const size_t at = FindCell(path, hash);
  if (cells_[at] != 0) return {&slots_[IdOfCell(cells_[at])], false};
  size_t id;
  if (!free_ids_.empty()) {
    id = free_ids_.back();
    free_ids_.pop_back();
  } else {
    id = slots_.size();
    slots_.emplace_back();
  }
  slots_[id].path = stored;
  // A new id is the number of live slots, below half the table's size.
  cells_[at] = Tag(hash) | static_cast<uint32_t>(id + 1);
  ++live_;
  return {&slots_[id], true};
}

void PathIndex::Erase(Slot* slot) {
  const size_t id = IdOf(slot);
  const size_t mask = cells_.size() - 1;
  size_t hole = FindCell(slot->path, hasher_(slot->path));
  // Backward shift: cells after the hole that may live nearer their home
  // move into it, so that no probe chain is cut and no marker is left.
  for (size_t i = (hole + 1) & mask; cells_[i] != 0; i = (i + 1) & mask) {
    const Slot& other = slots_[IdOfCell(cells_[i])];
    const size_t home = hasher_(other.path) & mask;
    // Move when the home lies cyclically outside (hole, i].
    const bool home_after_hole = hole <= i ? (home > hole && home <= i) : (home > hole || home <= i);
    if (!home_after_hole) {
      cells_[hole] = cells_[i];
      hole = i;
    }
  }
  cells_[hole] = 0;
  slot->path = {};
  slot->records.Release();
  free_ids_.push_back(id);
  --live_;
}

void PathIndex::Reserve(size_t paths) {
  slots_.reserve(paths);
  if (2 * paths > cells_.size()) Rehash(2 * paths);
}

void PathIndex::Rehash(size_t cells) {
  size_t size = 64;
  while (size < cells) size *= 2;
  if (size <= cells_.size()) return;
  cells_.assign(size, 0);
  const size_t mask = size - 1;
  for (size_t id = 0; id < slots_.size(); ++id) {
    if (slots_[id].path.empty()) continue;
    const uint64_t hash = hasher_(slots_[id].path);
    size_t i = hash & mask;
    while (cells_[i] != 0) i = (i + 1) & mask;
    cells_[i] = Tag(hash) | static_cast<uint32_t>(id + 1);
  }
}

void PathIndex::Clear() {
  slots_ = std::vector<Slot>();
  free_ids_ = std::vector<size_t>();
  cells_ = std::vector<uint32_t>();
  live_ = 0;
  counts_ = std::vector<uint32_t>();
  shared_.reset();
}

void PathIndex::Group() {
  // A list of one record keeps it in place; longer ones get a block each,
  // one after the other in a single array.
  using Block = RecordList::Block;
  size_t words = 0;
  const size_t slots = std::min(counts_.size(), slots_.size());
  for (size_t id = 0; id < slots; ++id) {
    if (counts_[id] > 1 && slots_[id].records.empty()) words += 1 + counts_[id];
  }
  shared_.reset(words == 0 ? nullptr : new std::byte[words * sizeof(ItemRecord*)]);
  std::byte* next = shared_.get();
  for (size_t id = 0; id < slots; ++id) {
    RecordList& list = slots_[id].records;
    if (counts_[id] <= 1 || !list.empty()) continue;
    auto* block = new (next) Block{0, counts_[id], 0};
    list.SetBlock(block);
    next += (1 + counts_[id]) * sizeof(ItemRecord*);
  }
  counts_ = std::vector<uint32_t>();
}

}  // namespace zoq
