// The re-indented form of an XML part: one tag per line, four spaces per
// level of nesting. Only white space between tags (and between the
// attributes of a tag) is laid out anew; every other byte of the document
// is shown as it is, comments, CDATA sections, processing instructions, the
// DOCTYPE with its internal subset, attribute values and text after the
// root element included.
#pragma once

#include <QByteArrayView>

#include <cstdint>
#include <optional>

#include "app/view/shown_text.h"

namespace zoqe {

constexpr int kIndentWidth = 4;
// Deeper nesting is indented like this level, so that a hostile document
// cannot make the layout grow with the square of its depth.
constexpr int kMaxIndentLevels = 32;

// Lays out UTF-8 XML text. Fails (nullopt) on a comment that does not end
// with "-->"; *unclosed_comment is then where the comment starts.
std::optional<ShownText> LayoutXml(QByteArrayView xml, bool keep_junctions,
                                   int64_t* unclosed_comment = nullptr);

}  // namespace zoqe
