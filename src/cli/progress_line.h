// A progress line on standard error for long runs: shown only when standard
// error is a terminal, first after one second, then redrawn a few times a
// second, and erased at the end.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace zoqcli {

class ProgressLine {
 public:
  explicit ProgressLine(std::string action, int64_t total_items);
  ~ProgressLine();

  void Advance(int64_t items, int64_t bytes);

 private:
  void Draw();

  std::string action_;
  int64_t total_items_;
  int64_t items_ = 0;
  int64_t bytes_ = 0;
  bool enabled_;
  bool shown_ = false;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point last_draw_;
};

}  // namespace zoqcli
