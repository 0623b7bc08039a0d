#include "cli/line_search.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "cli/arguments.h"

namespace zoqcli {

Pattern::Pattern(const std::string& text, bool ignore_case) {
  // Lines are searched many at a time: ^ and $ stand at every line end.
  uint32_t options = PCRE2_UTF | PCRE2_MATCH_INVALID_UTF | PCRE2_MULTILINE;
  if (ignore_case) options |= PCRE2_CASELESS;
  int error = 0;
  PCRE2_SIZE at = 0;
  code_ = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(text.data()), text.size(), options, &error,
                        &at, nullptr);
  if (code_ == nullptr) {
    PCRE2_UCHAR message[256];
    pcre2_get_error_message(error, message, sizeof message);
    throw UsageError("bad pattern at offset " + std::to_string(at) + ": " +
                     reinterpret_cast<const char*>(message));
  }
  // Without JIT (an unusual build of PCRE2) matching is slower but the same.
  pcre2_jit_compile(code_, PCRE2_JIT_COMPLETE);
}

Pattern::~Pattern() { pcre2_code_free(code_); }

LineSearch::LineSearch(const Pattern& pattern, bool first_only)
    : pattern_(pattern), first_only_(first_only) {
  match_ = pcre2_match_data_create_from_pattern(pattern.code(), nullptr);
  if (match_ == nullptr) throw std::bad_alloc();
}

LineSearch::~LineSearch() { pcre2_match_data_free(match_); }

bool LineSearch::Matches(const char* subject, size_t size, size_t offset) {
  int rc = pcre2_match(pattern_.code(), reinterpret_cast<PCRE2_SPTR>(subject), size, offset, 0,
                       match_, nullptr);
  if (rc == PCRE2_ERROR_NOMATCH) return false;
  if (rc < 0) {
    PCRE2_UCHAR message[256];
    pcre2_get_error_message(rc, message, sizeof message);
    throw std::runtime_error(std::string("matching failed: ") +
                             reinterpret_cast<const char*>(message));
  }
  return true;
}

void LineSearch::SearchLines(const char* lines, size_t size, int64_t first, const LineHit& hit) {
  int64_t number = first;
  size_t counted = 0;  // lines before this offset are counted in `number`
  size_t offset = 0;
  while (offset < size && !stopped_ && Matches(lines, size, offset)) {
    const PCRE2_SIZE* found = pcre2_get_ovector_pointer(match_);
    const size_t start = found[0];
    if (start >= size) break;  // at the very end, after the last line end
    const void* before = start > offset ? memrchr(lines + offset, '\n', start - offset) : nullptr;
    const size_t line_start =
        before != nullptr ? static_cast<size_t>(static_cast<const char*>(before) - lines) + 1 : offset;
    const void* after = std::memchr(lines + start, '\n', size - start);
    const size_t line_end =
        after != nullptr ? static_cast<size_t>(static_cast<const char*>(after) - lines) : size;
    // A match that takes in the line end says nothing about the line
    // itself: the line alone decides.
    if (found[1] > line_end && !Matches(lines + line_start, line_end - line_start, 0)) {
      offset = line_end + 1;
      continue;
    }
    number += std::count(lines + counted, lines + line_start, '\n');
    counted = line_start;
    matched_ = true;
    hit(number, std::string_view(lines + line_start, line_end - line_start));
    if (first_only_) stopped_ = true;
    offset = line_end + 1;
  }
}

bool LineSearch::Feed(const char* text, size_t size, const LineHit& hit) {
  if (stopped_ || size == 0) return !stopped_;
  const char* end = text + size;
  const char* rest = text;
  if (!carry_.empty()) {
    // The line begun in an earlier piece ends here, or grows.
    const char* line_end = static_cast<const char*>(std::memchr(text, '\n', size));
    if (line_end == nullptr) {
      if (carry_.size() + size > kMaxLine) throw std::runtime_error("a line is longer than 64 MiB");
      carry_.append(text, size);
      return true;
    }
    carry_.append(text, line_end + 1);
    SearchLines(carry_.data(), carry_.size(), next_line_, hit);
    ++next_line_;
    carry_.clear();
    rest = line_end + 1;
  }
  const void* last = rest < end ? memrchr(rest, '\n', static_cast<size_t>(end - rest)) : nullptr;
  if (last != nullptr) {
    const char* last_end = static_cast<const char*>(last);
    const size_t length = static_cast<size_t>(last_end - rest) + 1;
    SearchLines(rest, length, next_line_, hit);
    next_line_ += std::count(rest, last_end, '\n') + 1;
    rest = last_end + 1;
  }
  if (end - rest > static_cast<ptrdiff_t>(kMaxLine)) {
    throw std::runtime_error("a line is longer than 64 MiB");
  }
  carry_.assign(rest, end);
  return !stopped_;
}

void LineSearch::Finish(const LineHit& hit) {
  if (!carry_.empty() && !stopped_) SearchLines(carry_.data(), carry_.size(), next_line_, hit);
  carry_.clear();
}

}  // namespace zoqcli
