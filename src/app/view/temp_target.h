// The file a part is extracted into for viewing: a unique "~~ZOQ....tmp"
// name in the work folder with "." and the part's extension, created empty
// and exclusively (nothing already there is ever written through).
#pragma once

#include <QString>

namespace zoqe {

struct TempTarget {
  QString target;  // "~~ZOQ....tmp." + extension
};

// False when no name could be made in the folder.
bool CreateTempTarget(const QString& folder, const QString& extension, TempTarget* out);

}  // namespace zoqe
