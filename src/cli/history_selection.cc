#include "cli/history_selection.h"

#include <algorithm>

namespace zoqcli {

HistoryRange SelectHistories(const std::vector<zoq::PathHistory>& histories,
                             const std::u16string& path) {
  auto before = [](const zoq::PathHistory& history, const std::u16string& p) {
    return history.path < p;
  };
  HistoryRange range;
  auto it = std::lower_bound(histories.begin(), histories.end(), path, before);
  if (it != histories.end() && it->path == path && path.back() != u'/') {
    range.begin = static_cast<size_t>(it - histories.begin());
    range.end = range.begin + 1;
    range.part = true;
    return range;
  }
  std::u16string folder = path;
  if (folder.back() != u'/') folder.push_back(u'/');
  it = std::lower_bound(histories.begin(), histories.end(), folder, before);
  range.begin = static_cast<size_t>(it - histories.begin());
  while (it != histories.end() && it->path.compare(0, folder.size(), folder) == 0) ++it;
  range.end = static_cast<size_t>(it - histories.begin());
  return range;
}

}  // namespace zoqcli
