// Recognises a PLIV document's subset and version from its main part
// "/__main.xml", so that the container can select the matching binary schema.
#pragma once

#include <cstdint>
#include <string>

#include "zoq/export.h"

namespace zoq {

class Container;
class Stream;

struct PlivDocumentType {
  int subset = 0;   // 16 Full, 8 M, 2 P, 1 A
  int version = 0;  // 0x100 (1.0), 0x101 (1.1), 0x102 (other), 0 (no attribute)
};

// Detection over the main part's bytes. Text starting with FF FE is searched
// as UTF-16LE, anything else as 8-bit text. Returns false (with both codes 0)
// when the subset cannot be recognised.
ZOQ_EXPORT bool DetectPlivType(const uint8_t* data, int64_t size, PlivDocumentType* out);

// The same over a readable stream, read from its start in pieces (memory
// stays small whatever the part's size; reading stops once both attributes
// are found); an empty or unreadable stream is a failure.
ZOQ_EXPORT bool DetectPlivStream(Stream* stream, PlivDocumentType* out);

// True when the file name ends in ".pliv" (any case).
ZOQ_EXPORT bool IsPlivFileName(const std::string& path);

// Opens "/__main.xml" of the open package (all revisions, fully decoded;
// with `keep` through a kept copy) and detects, without telling the
// container. False when the part is missing, unreadable or not recognised.
ZOQ_EXPORT bool ReadPlivDocumentType(Container* container, PlivDocumentType* out, bool keep);

// ReadPlivDocumentType with a kept copy, and on success hands both codes to
// SetDocumentType (whose result is ignored). Returns whether the detection
// succeeded.
ZOQ_EXPORT bool ApplyPlivDetection(Container* container, PlivDocumentType* out);

}  // namespace zoq
