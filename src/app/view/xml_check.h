// Whether a text is well-formed XML, and if not, where and why not.
#pragma once

#include <QByteArrayView>
#include <QString>

#include <cstdint>
#include <optional>

namespace zoqe {

struct XmlProblem {
  int64_t offset = 0;  // byte offset of the problem in the checked text
  QString message;     // the parser's description
};

// nullopt when `text` (any encoding the parser recognises from its start)
// parses as a whole document.
std::optional<XmlProblem> CheckXml(QByteArrayView text);

}  // namespace zoqe
