// The main part of a PLIV document, "/__main.xml": the document's subset and
// version, which readers of the package detect (pliv_detection.h) to choose
// the binary schema and to tell whether encrypted parts carry an initial
// counter block. A new document gets one so that its type travels with the
// package, whatever the file is called.
#pragma once

#include <string>

#include "zoq/export.h"
#include "zoq/result.h"

namespace zoq {

class Container;

inline constexpr char16_t kMainDocumentPath[] = u"/__main.xml";

// The text of a new document's main part for a subset kind (16 Full, 8 M,
// 2 P, 1 A) and document version code (256 1.0, 257 1.1, 258 1.2): UTF-8 XML
// whose root carries SubsetType and Version. Empty for any other code
// (subset 4, I, has no name that detection recognises).
ZOQ_EXPORT std::string MainDocumentText(int subset_kind, int version_code);

// Stores that text as the part "/__main.xml" (ZIP-coded, a new full version
// when the part exists) in the open package; saved with the next save.
// 5 (invalid argument) for codes MainDocumentText refuses; otherwise the
// result of adding the part.
ZOQ_EXPORT Status WriteMainDocument(Container* container, int subset_kind, int version_code);

}  // namespace zoq
