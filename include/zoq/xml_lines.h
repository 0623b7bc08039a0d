// XML text for people to read and compare line by line. Decoded SXC parts
// come out as one line holding the whole document; a line end between
// every two tags that meet ("><") gives one element per line and changes
// nothing else.
#pragma once

#include <cstddef>
#include <string>

#include "zoq/export.h"

namespace zoq {

class ZOQ_EXPORT XmlLineBreaker {
 public:
  // Appends `text` to `out` with the line ends put in; the text may come in
  // pieces cut anywhere.
  void Feed(const char* text, size_t size, std::string* out);

 private:
  bool after_tag_end_ = false;  // the last byte fed was ">"
};

}  // namespace zoq
