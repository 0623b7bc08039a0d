// Why content could not be stored as SXC: the container reports only that
// encoding failed (6007), so the encoder is run once more on the source to
// give its reason (what went wrong, the element, line and column), as
// "zoq sxc encode" shows it.
#pragma once

#include <string>
#include <vector>

#include "cli/package_session.h"
#include "zoq/decode_options.h"

namespace zoqcli {

// Checks the result of storing content: throws CodeFailure with `context`
// unless `code` is 0. When SXC was the first of `codes` and encoding failed,
// the context is followed by the encoder's reason for `file` (a file path),
// or for `bytes` when `file` is empty (content read from standard input).
void CheckStored(int code, const std::string& context, const PackageSession& session,
                 const std::vector<zoq::EcsCodeArg>& codes, const std::string& file,
                 const std::string* bytes = nullptr);

}  // namespace zoqcli
