// The per-run work folder under the temporary directory, where packages keep
// their temporary directories and viewers their extracted parts, and the
// tidying of what earlier runs left there.
#pragma once

#include <QString>

namespace zoqe {

// Creates "<temp>/~ZOQEXPLORER<n>/" for the first n from 0 whose name is
// free. The folder is made exclusively (an existing file or folder of that
// name is never reused, so no other user can prepare it) and readable by its
// owner only, and this process holds an exclusive lock on it for as long as
// it runs: the lock tells later runs that the folder is in use. `temp_dir`
// empty means $TMPDIR, else /tmp. Returns the path with a trailing "/", or
// an empty string when no folder could be made.
QString CreateWorkFolder(const QString& temp_dir = QString());

// Tidies the work folders of runs that have ended (no process holds their
// lock; folders of runs before the lock existed count as ended): removes the
// empty "~~ZOQ....tmp" placeholders and the packages' temporary directories
// ("~ZOQPAC...") in them. The folders themselves stay, and so do the parts
// extracted there for other programs. Folders of other users and anything
// that is not a plain folder are left alone. Returns how many entries were
// removed.
int TidyEarlierWorkFolders(const QString& temp_dir = QString());

}  // namespace zoqe
