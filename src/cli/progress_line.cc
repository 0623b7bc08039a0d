#include "cli/progress_line.h"

#include <unistd.h>

#include <cstdio>

namespace zoqcli {

ProgressLine::ProgressLine(std::string action, int64_t total_items)
    : action_(std::move(action)),
      total_items_(total_items),
      enabled_(::isatty(STDERR_FILENO) == 1),
      start_(std::chrono::steady_clock::now()),
      last_draw_(start_) {}

ProgressLine::~ProgressLine() {
  if (shown_) std::fprintf(stderr, "\r\033[K");
}

void ProgressLine::Advance(int64_t items, int64_t bytes) {
  items_ += items;
  bytes_ += bytes;
  if (!enabled_) return;
  auto now = std::chrono::steady_clock::now();
  if (now - start_ < std::chrono::seconds(1)) return;
  if (shown_ && now - last_draw_ < std::chrono::milliseconds(250)) return;
  last_draw_ = now;
  Draw();
}

void ProgressLine::Draw() {
  std::fprintf(stderr, "\r\033[Kzoq: %s %lld of %lld parts, %.1f MiB", action_.c_str(),
               static_cast<long long>(items_), static_cast<long long>(total_items_),
               static_cast<double>(bytes_) / (1024.0 * 1024.0));
  std::fflush(stderr);
  shown_ = true;
}

}  // namespace zoqcli
