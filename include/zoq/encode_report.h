// What an encoding run tells besides success or failure.
#pragma once

#include <string>

namespace zoq {

struct EncodeReport {
  // The console message printed by the run (empty when none was printed).
  std::string message;
  // Why the run failed, for people: what went wrong, where (line), which
  // element or attribute.
  std::string reason;
  // Whether messages go to standard output (they always land in `message`).
  bool print_messages = true;
};

}  // namespace zoq
