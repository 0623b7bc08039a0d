#include "app/view/edit_tracker.h"

#include <algorithm>

namespace zoqe {

namespace {

// The first span that ends after `position` (in the current text).
std::vector<EditTracker::Span>::iterator FirstEndingAfter(std::vector<EditTracker::Span>& spans,
                                                          int64_t position) {
  return std::upper_bound(spans.begin(), spans.end(), position,
                          [](int64_t p, const EditTracker::Span& s) { return p < s.now + s.length; });
}

}  // namespace

void EditTracker::Reset(int64_t length) {
  spans_.clear();
  if (length > 0) spans_.push_back({0, 0, length});
}

void EditTracker::Inserted(int64_t position, int64_t length) {
  if (length <= 0) return;
  auto it = FirstEndingAfter(spans_, position);
  if (it != spans_.end() && it->now < position) {
    // Inserted inside an untouched stretch: it becomes two.
    const int64_t head = position - it->now;
    const Span tail{it->shown + head, position, it->length - head};
    it->length = head;
    it = spans_.insert(it + 1, tail);
  }
  for (; it != spans_.end(); ++it) it->now += length;
}

void EditTracker::Deleted(int64_t position, int64_t length) {
  if (length <= 0) return;
  const int64_t end = position + length;
  auto it = FirstEndingAfter(spans_, position);
  std::vector<Span> kept;
  auto first_removed = it;
  for (; it != spans_.end() && it->now < end; ++it) {
    if (it->now < position) kept.push_back({it->shown, it->now, position - it->now});
    const int64_t span_end = it->now + it->length;
    if (span_end > end) kept.push_back({it->shown + (end - it->now), end, span_end - end});
  }
  it = spans_.erase(first_removed, it);
  it = spans_.insert(it, kept.begin(), kept.end());
  for (; it != spans_.end(); ++it) {
    if (it->now >= end) it->now -= length;
  }
}

}  // namespace zoqe
