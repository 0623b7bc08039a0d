// Recognises a PLIV document's subset and version from its main part
// "__main.xml", so that the container can select the matching binary schema.
#pragma once

#include <cstdint>
#include <string>

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
bool DetectPlivType(const uint8_t* data, int64_t size, PlivDocumentType* out);

// The same over a readable stream, read from its start; an empty or
// unreadable stream is a failure.
bool DetectPlivStream(Stream* stream, PlivDocumentType* out);

// True when the file name ends in ".pliv" (any case).
bool IsPlivFileName(const std::string& path);

// Opens "/__main.xml" of the open package (all revisions, fully decoded,
// kept copy), detects, and on success hands both codes to SetDocumentType
// (whose result is ignored). Returns whether the detection succeeded.
bool ApplyPlivDetection(Container* container, PlivDocumentType* out);

}  // namespace zoq
