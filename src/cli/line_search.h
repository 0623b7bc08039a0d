// Searching text line by line with a PCRE2 regular expression (UTF-8, with
// invalid sequences matched as bytes that match nothing): the text comes in
// pieces, each matching line is handed out with its 1-based number.
#pragma once

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace zoqcli {

class Pattern {
 public:
  // Throws UsageError naming the problem when the pattern does not compile.
  Pattern(const std::string& text, bool ignore_case);
  ~Pattern();
  Pattern(const Pattern&) = delete;
  Pattern& operator=(const Pattern&) = delete;
  const pcre2_code* code() const { return code_; }

 private:
  pcre2_code* code_ = nullptr;
};

// A line that matched: its number and its text without the line end.
using LineHit = std::function<void(int64_t number, std::string_view line)>;

// One text searched; not for use by several threads at once.
class LineSearch {
 public:
  // Lines longer than this are refused (the search keeps a line whole).
  static constexpr size_t kMaxLine = size_t{64} << 20;

  // With `first_only`, the search stops at the first matching line.
  LineSearch(const Pattern& pattern, bool first_only);
  ~LineSearch();
  LineSearch(const LineSearch&) = delete;
  LineSearch& operator=(const LineSearch&) = delete;

  // Searches the complete lines of the text so far; false once the search
  // has stopped (first match found with `first_only`). Throws
  // std::runtime_error for a line over kMaxLine or a failing match.
  bool Feed(const char* text, size_t size, const LineHit& hit);
  // Searches the last line when the text does not end with a line end.
  void Finish(const LineHit& hit);
  bool matched() const { return matched_; }

 private:
  // Searches `size` bytes of whole lines, each with its line end (the
  // text's last line may lack it), whose first line has the number `first`.
  void SearchLines(const char* lines, size_t size, int64_t first, const LineHit& hit);
  bool Matches(const char* subject, size_t size, size_t offset);

  const Pattern& pattern_;
  bool first_only_;
  pcre2_match_data* match_ = nullptr;
  std::string carry_;     // the start of a line that a later piece ends
  int64_t next_line_ = 1;  // the number of the line that starts next
  bool matched_ = false;
  bool stopped_ = false;
};

}  // namespace zoqcli
