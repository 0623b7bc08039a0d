#include "cli/parallel_option.h"

#include <algorithm>
#include <thread>

namespace zoqcli {

const OptionSpec kJobsOption{"-j", true};

int WorkerCount(const ParsedArgs& args) {
  const std::string* text = args.Value(kJobsOption.name);
  if (text == nullptr) return 1;
  int count = static_cast<int>(ParseInteger(*text, kJobsOption.name, 0, 256));
  if (count == 0) {
    unsigned cores = std::thread::hardware_concurrency();
    count = cores == 0 ? 1 : static_cast<int>(cores);
  }
  // Each worker holds buffers of its own: past the cap more workers only
  // add memory and contention.
  return std::min(count, kMaxWorkers);
}

}  // namespace zoqcli
