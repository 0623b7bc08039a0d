// Searching text line by line with a Perl-compatible regular expression
// (PCRE2, UTF-8, with invalid sequences matched as bytes that match
// nothing): the text comes in pieces, each matching line is handed out with
// its 1-based number. zoq grep and the browser's search in a package use it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "zoq/export.h"
#include "zoq/result.h"

namespace zoq {

class ZOQ_EXPORT LinePattern {
 public:
  // Null, with the reason in *error, when the pattern does not compile.
  static std::unique_ptr<LinePattern> Compile(const std::string& text, bool ignore_case,
                                              std::string* error);
  ~LinePattern();
  LinePattern(const LinePattern&) = delete;
  LinePattern& operator=(const LinePattern&) = delete;

 private:
  friend class LineSearch;
  struct Code;
  explicit LinePattern(Code* code) : code_(code) {}
  Code* code_;
};

// A line that matched: its number and its text without the line end.
using LineHit = std::function<void(int64_t number, std::string_view line)>;

// One text searched; not for use by several threads at once (each thread
// makes its own search; the pattern may be shared).
class ZOQ_EXPORT LineSearch {
 public:
  // Lines longer than this are refused (the search keeps a line whole).
  static constexpr size_t kMaxLine = size_t{64} << 20;

  // With `first_only`, the search stops at the first matching line.
  LineSearch(const LinePattern& pattern, bool first_only);
  ~LineSearch();
  LineSearch(const LineSearch&) = delete;
  LineSearch& operator=(const LineSearch&) = delete;

  // Searches the complete lines of the text so far. 0, or 5 for a line
  // over kMaxLine or a failing match (error() says which); once it failed
  // the search takes no more text.
  Status Feed(const char* text, size_t size, const LineHit& hit);
  // Searches the last line when the text does not end with a line end.
  Status Finish(const LineHit& hit);
  bool matched() const { return matched_; }
  // The first match was found with `first_only`: no more text is needed.
  bool stopped() const { return stopped_; }
  const std::string& error() const { return error_; }

 private:
  // Searches `size` bytes of whole lines, each with its line end (the
  // text's last line may lack it), whose first line has the number `first`.
  Status SearchLines(const char* lines, size_t size, int64_t first, const LineHit& hit);
  // 1 matched, 0 not, -1 failed (error_ set).
  int Matches(const char* subject, size_t size, size_t offset);
  Status Fail(std::string reason);

  const LinePattern& pattern_;
  bool first_only_;
  struct MatchData;
  MatchData* match_ = nullptr;
  std::string carry_;      // the start of a line that a later piece ends
  int64_t next_line_ = 1;  // the number of the line that starts next
  bool matched_ = false;
  bool stopped_ = false;
  std::string error_;
};

}  // namespace zoq
