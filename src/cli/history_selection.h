// Finding what a package path typed by the user names among a package's
// path histories (Container::ListPathHistories, in code-unit order).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "zoq/path_history.h"

namespace zoqcli {

struct HistoryRange {
  size_t begin = 0;
  size_t end = 0;     // empty when the path names nothing with records
  bool part = false;  // the path itself has records; else a folder's paths
};

// The history of the path itself when it has records, else those of every
// path below it taken as a folder ("/" names them all).
HistoryRange SelectHistories(const std::vector<zoq::PathHistory>& histories,
                             const std::u16string& path);

}  // namespace zoqcli
