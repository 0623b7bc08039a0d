#include <cstring>

#include "zoq/xml_lines.h"

namespace zoq {

void XmlLineBreaker::Feed(const char* text, size_t size, std::string* out) {
  if (size == 0) return;
  if (after_tag_end_ && text[0] == '<') out->push_back('\n');
  const char* end = text + size;
  const char* from = text;
  for (const char* at = text; at + 1 < end;) {
    const char* close = static_cast<const char*>(std::memchr(at, '>', static_cast<size_t>(end - at - 1)));
    if (close == nullptr) break;
    if (close[1] == '<') {
      out->append(from, close + 1);
      out->push_back('\n');
      from = close + 1;
    }
    at = close + 1;
  }
  out->append(from, end);
  after_tag_end_ = end[-1] == '>';
}

}  // namespace zoq
