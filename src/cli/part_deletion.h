// Deleting the parts that paths typed by the user name, for rm and commit.
#pragma once

#include <string>
#include <vector>

#include "cli/package_session.h"

namespace zoqcli {

// Records the deletion of the parts the paths name (with `recursive`, a
// folder names every part below it) in the session's package, to be saved
// by the caller. Every path is checked first: one that names nothing (or a
// folder with no part below it) fails with 5054, a folder without
// `recursive` with a ToolFailure, and then nothing is deleted.
void DeleteParts(const PackageSession& session, const std::vector<std::string>& paths,
                 bool recursive);

}  // namespace zoqcli
