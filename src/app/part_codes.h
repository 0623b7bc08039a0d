// The ECS codes a part's newest full record carries, in the order they were
// applied, read safely from the package's fixed-size code array.
#pragma once

#include <algorithm>
#include <vector>

#include "zoq/container.h"

namespace zoqe {

inline std::vector<int> PartCodes(const zoq::PartInfo& info) {
  const int count = std::clamp(info.code_count, 0, static_cast<int>(info.codes.size()));
  return std::vector<int>(info.codes.begin(), info.codes.begin() + count);
}

}  // namespace zoqe
