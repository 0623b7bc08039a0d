// The -r values of the history commands (diff, restore, grep), which name
// revisions of a package opened with all its revisions rather than a limit
// to open it at.
#pragma once

#include <string>

#include "cli/arguments.h"
#include "cli/package_options.h"

namespace zoqcli {

// The package options of the arguments, -r left out.
PackageOptions ReadOptionsWithoutRevision(const ParsedArgs& args);

// A revision number given with -r, between `lowest` and `count` (the
// package's revisions). A number out of that range is a ToolFailure naming
// the range; text that is no number a UsageError.
int RevisionArgument(const std::string& text, int lowest, int count);

}  // namespace zoqcli
