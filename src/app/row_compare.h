// Ordering of the item list's rows and of the statistics rows.
#pragma once

#include <QString>

#include <cstdint>

namespace zoqe {

// Character by character; where both texts hold a decimal digit the whole
// digit runs are compared as numbers (a9 < a10). The first difference
// decides; when one text ends first the texts count as equal.
int CompareNatural(const QString& a, const QString& b);

// What the list compares of one row.
struct ListRowKey {
  const QString* name;    // column 0
  const QString* column;  // the text of the sort column
  int64_t number;         // the number behind a number column's text
  bool is_folder;
};

// Item list columns: 0 name, 2 type, 3 filters sort as text; 1 size,
// 4 version count, 5 version number by the numbers behind them (bytes for
// the size, not the shown "4KB"). ".." comes first always; for text
// columns folders come before parts in either direction.
// Returns <0, 0 or >0.
int CompareListRows(const ListRowKey& a, const ListRowKey& b, int column, bool descending);

bool IsNumberColumn(int column);

}  // namespace zoqe
