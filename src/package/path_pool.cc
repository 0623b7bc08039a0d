#include "package/path_pool.h"

#include <algorithm>

namespace zoq {

std::u16string_view PathPool::Add(std::u16string_view text) {
  char16_t* at = Reserve(text.size());
  std::copy(text.begin(), text.end(), at);
  return Commit(text.size());
}

char16_t* PathPool::Reserve(size_t count) {
  if (count > left_) {
    // A text longer than a chunk gets a chunk of its own.
    const size_t size = std::max(count, kChunk);
    chunks_.emplace_back(new char16_t[size]);  // filled before it is read
    next_ = chunks_.back().get();
    left_ = size;
  }
  return next_;
}

std::u16string_view PathPool::Commit(size_t used) {
  std::u16string_view stored(next_, used);
  next_ += used;
  left_ -= used;
  return stored;
}

void PathPool::Clear() {
  chunks_.clear();
  next_ = nullptr;
  left_ = 0;
}

}  // namespace zoq
