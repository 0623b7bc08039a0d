// Storage for the text of package paths and names: large chunks filled one
// after the other, so that a model of 100,000 paths makes a few dozen
// allocations instead of one per path. What is stored never moves and lives
// until Clear() or the pool's end.
#pragma once

#include <cstddef>
#include <memory>
#include <string_view>
#include <vector>

namespace zoq {

class PathPool {
 public:
  PathPool() = default;
  PathPool(const PathPool&) = delete;
  PathPool& operator=(const PathPool&) = delete;
  PathPool(PathPool&&) = default;
  PathPool& operator=(PathPool&&) = default;

  // A stored copy of `text`.
  std::u16string_view Add(std::u16string_view text);

  // Room for up to `count` code units, to be filled by the caller and then
  // kept with Commit(used) (used <= count). Nothing else may be added in
  // between.
  char16_t* Reserve(size_t count);
  std::u16string_view Commit(size_t used);

  void Clear();

 private:
  static constexpr size_t kChunk = size_t{1} << 16;  // code units

  std::vector<std::unique_ptr<char16_t[]>> chunks_;
  char16_t* next_ = nullptr;
  size_t left_ = 0;
};

}  // namespace zoq
