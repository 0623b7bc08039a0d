// How OutputFolder makes its files, for tests of the way used where the
// file system cannot make unnamed files.
#pragma once

namespace zoq {

// Whether new files may be made unnamed (O_TMPFILE) and linked in; false
// makes every later file a hidden temporary renamed into place.
void AllowUnnamedFiles(bool allowed);

}  // namespace zoq
