// The per-run work folder under the temporary directory, where packages keep
// their temporary directories and viewers their extracted parts.
#pragma once

#include <QString>

namespace zoqe {

// Creates "<temp>/~ZOQEXPLORER<n>/" for the first n from 0 whose name is
// free. The folder is made exclusively (an existing file or folder of that
// name is never reused, so no other user can prepare it) and readable by its
// owner only. `temp_dir` empty means $TMPDIR, else /tmp. Returns the path
// with a trailing "/", or an empty string when no folder could be made.
QString CreateWorkFolder(const QString& temp_dir = QString());

}  // namespace zoqe
