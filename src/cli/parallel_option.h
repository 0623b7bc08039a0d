// The -j N option of the commands that work on many parts at once: the
// number of worker threads (0: one per processor core).
#pragma once

#include "cli/arguments.h"
#include "zoq/extract_job.h"

namespace zoqcli {

extern const OptionSpec kJobsOption;  // -j N

// The most workers -j gives, whatever is asked for.
inline constexpr int kMaxWorkers = zoq::kMaxExtractWorkers;

// The number of workers asked for with -j: 1 without the option, the number
// of cores for 0, else N (0 to 256 are accepted), never more than
// kMaxWorkers. A bad number is a UsageError.
int WorkerCount(const ParsedArgs& args);

}  // namespace zoqcli
