#include "sxc/decode_budget.h"

#include <algorithm>

namespace zoq {

DecodeBudget SxcDecodeBudget(uint64_t stored, int64_t max_output) {
  DecodeBudget budget;
  const uint64_t most = SIZE_MAX / kTextPerInflatedByte;
  const uint64_t by_size = stored > most / kInflatePerStoredByte ? most : stored * kInflatePerStoredByte;
  budget.inflated = static_cast<size_t>(std::max<uint64_t>(kInflateFloor, by_size));
  budget.text = budget.inflated * kTextPerInflatedByte;
  if (max_output > 0) {
    budget.text = static_cast<size_t>(std::min<uint64_t>(static_cast<uint64_t>(max_output), SIZE_MAX));
    budget.inflated = std::max(budget.inflated, budget.text);
  }
  return budget;
}

}  // namespace zoq
