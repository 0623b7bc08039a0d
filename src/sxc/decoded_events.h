// What the SXC decoder finds, node by node. The codec turns these into
// XmlEventSink calls; the encoder's self-check compares them with what it
// matched.
#pragma once

#include <cstddef>
#include <cstdint>

#include "sxc/schema.h"

namespace zoq {

class DecodedEvents {
 public:
  virtual ~DecodedEvents() = default;
  // Before StartDocument: how many bytes the inflated structure and values
  // take, from which the size of the document's text can be guessed, and
  // the most text the decode may produce.
  virtual void ExpectSize(size_t /*structure_bytes*/, size_t /*value_bytes*/,
                          size_t /*most_text*/) {}
  // How many bytes of output the events have produced so far (0 when the
  // receiver produces none); the decoder holds it to its budget.
  virtual size_t OutputSize() const { return 0; }
  virtual void StartDocument() {}
  virtual void EndDocument() {}
  virtual void StartElement(const SchemaNode& element) = 0;
  virtual void EndElement(const SchemaNode& element) = 0;
  virtual void StartAttribute(const SchemaNode& attribute) = 0;
  virtual void EndAttribute(const SchemaNode& attribute) = 0;
  // Before each value is read: its node and where it starts in the node's
  // value stream.
  virtual void Value(const SchemaNode& /*node*/, size_t /*offset*/) {}
  virtual void Bool(bool value) = 0;
  virtual void Int(int32_t value) = 0;
  virtual void Double(double value) = 0;
  // A non-empty text value, as stored (UTF-8, not checked).
  virtual void Text(const char* utf8, size_t length) = 0;
};

}  // namespace zoq
