// The failure for a package path that names nothing at the revision a
// command works on: 5054, saying when the path was a part once and which
// revision deleted it.
#pragma once

#include <string>

#include "cli/package_session.h"

namespace zoqcli {

// "no such part: PATH (deleted in revision N)" when the path's newest record
// up to the session's revision limit is a deletion, else "no such part or
// folder: PATH": the context of code 5054 for a path that names nothing.
std::string DescribeMissingPath(const PackageSession& session, const std::string& path_text);

// Throws CodeFailure 5054 with that context.
[[noreturn]] void ThrowNoSuchPath(const PackageSession& session, const std::string& path_text);

// The tree node of a package path typed by the user; ThrowNoSuchPath when
// there is none.
zoq::PathNode* RequireNode(const PackageSession& session, const std::string& path_text);

}  // namespace zoqcli
