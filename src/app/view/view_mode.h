// How a part is shown, and the view mode its extension selects.
#pragma once

#include <QString>

namespace zoqe {

enum ViewMode : int {
  kViewByExtension = 0,
  kViewXml = 1,       // re-indented, editable when asked
  kViewImage = 2,
  kViewText = 3,
  kViewRichText = 4,  // shown as plain text
  kViewHex = 5,
  kViewDefaultProgram = 6,
};

// The view mode for an upper-case extension; kViewByExtension (0) when the
// extension has none.
int ViewModeForExtension(const QString& upper_extension);

// The text after the last dot of a package path (empty without a dot).
QString PathExtension(const QString& path);

}  // namespace zoqe
