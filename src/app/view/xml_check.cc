#include "app/view/xml_check.h"

#include <expat.h>

#include <algorithm>
#include <memory>

namespace zoqe {

std::optional<XmlProblem> CheckXml(QByteArrayView text) {
  std::unique_ptr<XML_ParserStruct, decltype(&XML_ParserFree)> parser(XML_ParserCreate(nullptr),
                                                                       &XML_ParserFree);
  if (!parser) return XmlProblem{0, QStringLiteral("out of memory")};
  // Fed in pieces: one call takes at most an int's worth of bytes.
  constexpr int64_t kPiece = 1 << 24;
  int64_t at = 0;
  XML_Status status = XML_STATUS_OK;
  do {
    const int64_t n = std::min<int64_t>(kPiece, text.size() - at);
    const bool last = at + n >= text.size();
    status = XML_Parse(parser.get(), text.data() + at, static_cast<int>(n), last);
    at += n;
    if (last) break;
  } while (status == XML_STATUS_OK);
  if (status == XML_STATUS_OK) return std::nullopt;
  XmlProblem problem;
  problem.offset = std::max<int64_t>(0, XML_GetCurrentByteIndex(parser.get()));
  problem.message = QString::fromUtf8(XML_ErrorString(XML_GetErrorCode(parser.get())));
  return problem;
}

}  // namespace zoqe
