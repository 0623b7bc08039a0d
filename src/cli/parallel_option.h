// The -j N option of the commands that work on many parts at once: the
// number of worker threads (0: one per processor core).
#pragma once

#include "cli/arguments.h"

namespace zoqcli {

extern const OptionSpec kJobsOption;  // -j N

// The number of workers asked for with -j: 1 without the option, the number
// of cores for 0, else N (at most 256). A bad number is a UsageError.
int WorkerCount(const ParsedArgs& args);

}  // namespace zoqcli
