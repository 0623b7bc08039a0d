// Texts the browser derives from numbers and codes: size texts, the names of
// a part's stored transformations, InfoPanel truncation and the window title.
#pragma once

#include <QString>

#include <cstdint>
#include <vector>

namespace zoqe {

// Scaled ("4K"): divided by 1024 once per unit below start_unit, then scaled
// up while 1024 or more; a positive value that vanishes shows as 1.
// Grouped ("5,000"): the decimal value in groups of three digits.
// A start unit above 4 counts as 0.
QString SizeText(int64_t value, int start_unit, bool scaled);

// The long form "4KB(5,000字节)" of a stored or decoded size.
QString LongSizeText(int64_t value);

// "SXC压缩;ADM加密" for the ECS codes 1 and 128; 0 and 255 add nothing.
QString FilterText(const std::vector<int>& codes);

// InfoPanel texts: "label : " (long labels cut to 27 characters and "... : "),
// values of 41 characters or more cut to 37 and "...".
QString InfoLabelText(const QString& label);
QString InfoValueText(const QString& value);

// "a.zoq - ZOQ Explorer", or the initial title alone without a file name.
QString WindowTitle(const QString& file_name, const QString& initial_title);

// A stored name (or any text holding one) as shown: control characters
// become visible, C0 controls as their control pictures (U+2400 to U+241F),
// DEL as U+2421, C1 controls as "\x85"; so a name cannot break a line or
// hide what it is. The stored name is kept for every operation.
QString VisibleText(const QString& text);

// A part's name as the tree and list show it: visible, and marked when a
// folder of the same name stands beside it (packages made elsewhere).
QString ShownPartName(const QString& name, bool beside_folder);

// The upper-case text after the last dot of a name (the whole name without a
// dot).
QString UpperExtension(const QString& name);

}  // namespace zoqe
