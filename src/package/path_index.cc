#include "package/path_index.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace zoq {

// --- RecordList -------------------------------------------------------------

RecordList::RecordList(RecordList&& other) noexcept { TakeFrom(other); }

RecordList& RecordList::operator=(RecordList&& other) noexcept {
  if (this != &other) {
    Release();
    TakeFrom(other);
  }
  return *this;
}

void RecordList::TakeFrom(RecordList& other) {
  data_ = other.data_;
  size_ = other.size_;
  capacity_ = other.capacity_;
  owned_ = other.owned_;
  other.data_ = nullptr;
  other.size_ = 0;
  other.capacity_ = 0;
  other.owned_ = 0;
}

RecordList::~RecordList() { Release(); }

void RecordList::Release() {
  if (owned_) delete[] data_;
  data_ = nullptr;
  size_ = 0;
  capacity_ = 0;
  owned_ = 0;
}

void RecordList::push_back(ItemRecord* record) {
  if (size_ == capacity_ || data_ == nullptr) {
    // Beyond its slice (or its own storage): storage of its own, twice as
    // large, so that a list edited many times grows in amortised steps.
    const uint32_t grown = std::max<uint32_t>(4, 2 * size_);
    auto* fresh = new ItemRecord*[grown];
    if (size_ != 0) std::memcpy(fresh, data_, size_ * sizeof(ItemRecord*));
    const uint32_t size = size_;
    Release();
    data_ = fresh;
    size_ = size;
    capacity_ = grown;
    owned_ = 1;
  }
  data_[size_++] = record;
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
  const uint64_t high = hash & ~uint64_t{0xFFFFFFFF};
  for (size_t i = hash & mask;; i = (i + 1) & mask) {
    const uint64_t cell = cells_[i];
    if (cell == 0) return i;
    if ((cell & ~uint64_t{0xFFFFFFFF}) == high) {
      const std::u16string_view other = slots_[(cell & 0xFFFFFFFF) - 1].path;
      if (other.size() == path.size() &&
          std::memcmp(other.data(), path.data(), path.size() * sizeof(char16_t)) == 0) {
        return i;
      }
    }
  }
}

PathIndex::Slot* PathIndex::Find(std::u16string_view path) {
  return const_cast<Slot*>(std::as_const(*this).Find(path));
}

const PathIndex::Slot* PathIndex::Find(std::u16string_view path) const {
  if (cells_.empty()) return nullptr;
  const uint64_t cell = cells_[FindCell(path, hasher_(path))];
  return cell == 0 ? nullptr : &slots_[(cell & 0xFFFFFFFF) - 1];
}

std::pair<PathIndex::Slot*, bool> PathIndex::Insert(std::u16string_view path,
                                                    std::u16string_view stored) {
  if (2 * (live_ + 1) > cells_.size()) Rehash(2 * (live_ + 1));
  const uint64_t hash = hasher_(path);
  const size_t at = FindCell(path, hash);
  if (cells_[at] != 0) return {&slots_[(cells_[at] & 0xFFFFFFFF) - 1], false};
  size_t id;
  if (!free_ids_.empty()) {
    id = free_ids_.back();
    free_ids_.pop_back();
  } else {
    id = slots_.size();
    slots_.emplace_back();
  }
  slots_[id].path = stored;
  cells_[at] = Cell(hash, id);
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
    const Slot& other = slots_[(cells_[i] & 0xFFFFFFFF) - 1];
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
    cells_[i] = Cell(hash, id);
  }
}

void PathIndex::Clear() {
  slots_ = std::vector<Slot>();
  free_ids_ = std::vector<size_t>();
  cells_ = std::vector<uint64_t>();
  live_ = 0;
  shared_.reset();
}

void PathIndex::Group() {
  size_t total = 0;
  for (const Slot& slot : slots_) {
    if (slot.records.data_ == nullptr) total += slot.records.capacity_;
  }
  shared_.reset(new ItemRecord*[total]);
  ItemRecord** next = shared_.get();
  for (Slot& slot : slots_) {
    RecordList& list = slot.records;
    if (list.data_ != nullptr || list.capacity_ == 0) continue;
    list.data_ = next;
    next += list.capacity_;
  }
}

}  // namespace zoq
