// The events through which the SXC decoder reports a document. Names and
// text are UTF-16; a length of -1 means "up to the terminating zero".
#pragma once

#include <cstddef>
#include <cstdint>

namespace zoq {

class XmlEventSink {
 public:
  virtual ~XmlEventSink() = default;
  // A guess of the text's size, given before StartDocument (optional).
  virtual void ExpectTextSize(size_t /*bytes*/) {}
  // Bytes of text produced since StartDocument (0 for a sink that does not
  // count them).
  virtual size_t BytesWritten() const { return 0; }
  virtual void StartDocument() = 0;
  virtual void EndDocument() = 0;
  virtual void StartElement(const char16_t* name) = 0;
  virtual void EndElement(const char16_t* name) = 0;
  virtual void StartAttribute(const char16_t* name) = 0;
  virtual void EndAttribute() = 0;
  virtual void WriteDouble(double value) = 0;
  virtual void WriteInt(int32_t value) = 0;
  virtual void WriteBool(bool value) = 0;
  // 8-bit text in the system code page (UTF-8 here).
  virtual void WriteAsciiText(const char* text, ptrdiff_t length) = 0;
  virtual void WriteText(const char16_t* text, ptrdiff_t length) = 0;

  // A sink that answers true receives text values as UTF-8 through
  // WriteUtf8Text instead of WriteText, which spares the decoder a
  // conversion. The bytes may hold invalid sequences; the sink treats them as
  // the UTF-16 conversion would (U+FFFD).
  virtual bool AcceptsUtf8Text() const { return false; }
  virtual void WriteUtf8Text(const char* /*text*/, size_t /*length*/) {}
};

}  // namespace zoq
