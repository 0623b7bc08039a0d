// Which stretches of the text view's text are still exactly as they were
// when it was filled: every insertion and deletion the view reports splits,
// shortens or moves the untouched stretches.
#pragma once

#include <cstdint>
#include <vector>

namespace zoqe {

class EditTracker {
 public:
  // `length` bytes at `shown` in the filled text are now at `now`.
  struct Span {
    int64_t shown;
    int64_t now;
    int64_t length;
  };

  // The whole text of `length` bytes is untouched.
  void Reset(int64_t length);
  void Inserted(int64_t position, int64_t length);
  void Deleted(int64_t position, int64_t length);

  // In order, none empty.
  const std::vector<Span>& spans() const { return spans_; }

 private:
  std::vector<Span> spans_;
};

}  // namespace zoqe
