// Where a program finds the binary schema files (PLIV_Full_v1.1.bsg, ...)
// that decode SXC parts of packages that carry no schema of their own.
#pragma once

#include <string>

#include "zoq/export.h"

namespace zoq {

// The schema folder, ending with "/", for a program whose executable lies in
// `program_folder`, the first that exists of:
//  - "Resource/BinarySchema/" beside the program (a build tree, or a program
//    shipped with its resources beside it);
//  - the installation's schema folder reached from the program's folder
//    ("../share/zoq/BinarySchema/" from "bin/"), so that an installation
//    that was staged, unpacked or moved elsewhere finds its own schemas;
//  - the schema folder of the installation the library was built for (for
//    programs installed elsewhere that use the installed library).
// When none exists, the first, so that a failure names where the schemas
// were expected.
ZOQ_EXPORT std::string FindSchemaFolder(const std::string& program_folder);

}  // namespace zoq
