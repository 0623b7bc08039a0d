// The file a part is extracted into for viewing: a unique "~~ZOQ....tmp"
// name in the work folder, created empty and exclusively, and beside it the
// target that is that name, "." and the part's extension (also created
// exclusively, so nothing already there is ever written through).
#pragma once

#include <QString>

namespace zoqe {

struct TempTarget {
  QString placeholder;  // the empty "~~ZOQ....tmp" file
  QString target;       // placeholder + "." + extension
};

// False when no name could be made in the folder.
bool CreateTempTarget(const QString& folder, const QString& extension, TempTarget* out);

}  // namespace zoqe
