#include "zoq/line_search.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "zoq/result.h"

namespace zoq {

struct LinePattern::Code {
  pcre2_code* code = nullptr;
};

struct LineSearch::MatchData {
  pcre2_match_data* data = nullptr;
};

namespace {

std::string PcreMessage(int error) {
  PCRE2_UCHAR message[256];
  pcre2_get_error_message(error, message, sizeof message);
  return reinterpret_cast<const char*>(message);
}

}  // namespace

std::unique_ptr<LinePattern> LinePattern::Compile(const std::string& text, bool ignore_case,
                                                  std::string* error) {
  // Lines are searched many at a time: ^ and $ stand at every line end.
  uint32_t options = PCRE2_UTF | PCRE2_MATCH_INVALID_UTF | PCRE2_MULTILINE;
  if (ignore_case) options |= PCRE2_CASELESS;
  int failure = 0;
  PCRE2_SIZE at = 0;
  pcre2_code* code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(text.data()), text.size(),
                                   options, &failure, &at, nullptr);
  if (code == nullptr) {
    if (error != nullptr) {
      *error = "bad pattern at offset " + std::to_string(at) + ": " + PcreMessage(failure);
    }
    return nullptr;
  }
  // Without JIT (an unusual build of PCRE2) matching is slower but the same.
  pcre2_jit_compile(code, PCRE2_JIT_COMPLETE);
  return std::unique_ptr<LinePattern>(new LinePattern(new Code{code}));
}

LinePattern::~LinePattern() {
  pcre2_code_free(code_->code);
  delete code_;
}

LineSearch::LineSearch(const LinePattern& pattern, bool first_only)
    : pattern_(pattern), first_only_(first_only) {
  pcre2_match_data* data = pcre2_match_data_create_from_pattern(pattern.code_->code, nullptr);
  if (data == nullptr) throw std::bad_alloc();
  match_ = new MatchData{data};
}

LineSearch::~LineSearch() {
  pcre2_match_data_free(match_->data);
  delete match_;
}

Status LineSearch::Fail(std::string reason) {
  error_ = std::move(reason);
  stopped_ = true;
  return kInvalidArgument;
}

int LineSearch::Matches(const char* subject, size_t size, size_t offset) {
  int rc = pcre2_match(pattern_.code_->code, reinterpret_cast<PCRE2_SPTR>(subject), size, offset,
                       0, match_->data, nullptr);
  if (rc == PCRE2_ERROR_NOMATCH) return 0;
  if (rc < 0) {
    // The caller answers the failure from the -1.
    Fail("matching failed: " + PcreMessage(rc)).IgnoreError();
    return -1;
  }
  return 1;
}

Status LineSearch::SearchLines(const char* lines, size_t size, int64_t first, const LineHit& hit) {
  int64_t number = first;
  size_t counted = 0;  // lines before this offset are counted in `number`
  size_t offset = 0;
  while (offset < size && !stopped_) {
    const int found_one = Matches(lines, size, offset);
    if (found_one < 0) return kInvalidArgument;
    if (found_one == 0) break;
    const PCRE2_SIZE* found = pcre2_get_ovector_pointer(match_->data);
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
    if (found[1] > line_end) {
      const int alone = Matches(lines + line_start, line_end - line_start, 0);
      if (alone < 0) return kInvalidArgument;
      if (alone == 0) {
        offset = line_end + 1;
        continue;
      }
    }
    number += std::count(lines + counted, lines + line_start, '\n');
    counted = line_start;
    matched_ = true;
    hit(number, std::string_view(lines + line_start, line_end - line_start));
    if (first_only_) stopped_ = true;
    offset = line_end + 1;
  }
  return kOk;
}

Status LineSearch::Feed(const char* text, size_t size, const LineHit& hit) {
  if (!error_.empty()) return kInvalidArgument;
  if (stopped_ || size == 0) return kOk;
  const char* end = text + size;
  const char* rest = text;
  if (!carry_.empty()) {
    // The line begun in an earlier piece ends here, or grows.
    const char* line_end = static_cast<const char*>(std::memchr(text, '\n', size));
    if (line_end == nullptr) {
      if (carry_.size() + size > kMaxLine) return Fail("a line is longer than 64 MiB");
      carry_.append(text, size);
      return kOk;
    }
    carry_.append(text, line_end + 1);
    if (Status code = SearchLines(carry_.data(), carry_.size(), next_line_, hit); !code.ok()) {
      return code;
    }
    ++next_line_;
    carry_.clear();
    rest = line_end + 1;
  }
  const void* last = rest < end ? memrchr(rest, '\n', static_cast<size_t>(end - rest)) : nullptr;
  if (last != nullptr) {
    const char* last_end = static_cast<const char*>(last);
    const size_t length = static_cast<size_t>(last_end - rest) + 1;
    if (Status code = SearchLines(rest, length, next_line_, hit); !code.ok()) return code;
    next_line_ += std::count(rest, last_end, '\n') + 1;
    rest = last_end + 1;
  }
  if (end - rest > static_cast<ptrdiff_t>(kMaxLine)) return Fail("a line is longer than 64 MiB");
  carry_.assign(rest, end);
  return kOk;
}

Status LineSearch::Finish(const LineHit& hit) {
  if (!error_.empty()) return kInvalidArgument;
  Status code = kOk;
  if (!carry_.empty() && !stopped_) code = SearchLines(carry_.data(), carry_.size(), next_line_, hit);
  carry_.clear();
  return code;
}

}  // namespace zoq
