#include "app/row_compare.h"

namespace zoqe {

namespace {

bool IsDigit(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }

// Compares the digit runs starting at a[i] and b[j] as numbers, without
// converting them (runs of any length), and moves both indexes past them.
int CompareDigitRuns(const QString& a, qsizetype& i, const QString& b, qsizetype& j) {
  while (i < a.size() - 1 && a[i] == QLatin1Char('0') && IsDigit(a[i + 1])) ++i;
  while (j < b.size() - 1 && b[j] == QLatin1Char('0') && IsDigit(b[j + 1])) ++j;
  qsizetype ei = i, ej = j;
  while (ei < a.size() && IsDigit(a[ei])) ++ei;
  while (ej < b.size() && IsDigit(b[ej])) ++ej;
  int result = 0;
  if (ei - i != ej - j) {
    result = (ei - i) < (ej - j) ? -1 : 1;
  } else {
    for (qsizetype k = 0; k < ei - i && result == 0; ++k) {
      if (a[i + k] != b[j + k]) result = a[i + k] < b[j + k] ? -1 : 1;
    }
  }
  i = ei;
  j = ej;
  return result;
}

}  // namespace

int CompareNatural(const QString& a, const QString& b) {
  qsizetype i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (IsDigit(a[i]) && IsDigit(b[j])) {
      const int runs = CompareDigitRuns(a, i, b, j);
      if (runs != 0) return runs;
      continue;
    }
    if (a[i] != b[j]) return a[i] < b[j] ? -1 : 1;
    ++i;
    ++j;
  }
  return 0;
}

bool IsNumberColumn(int column) { return column == 1 || column == 4 || column == 5; }

int CompareListRows(const ListRowKey& a, const ListRowKey& b, int column, bool descending) {
  if (column < 0 || column > 5) column = 0;
  const bool a_up = *a.name == QLatin1String("..");
  const bool b_up = *b.name == QLatin1String("..");
  if (a_up || b_up) return a_up == b_up ? 0 : (a_up ? -1 : 1);
  int result;
  if (IsNumberColumn(column)) {
    result = a.number < b.number ? -1 : (a.number > b.number ? 1 : 0);
  } else {
    if (a.is_folder != b.is_folder) return a.is_folder ? -1 : 1;
    result = CompareNatural(*a.column, *b.column);
  }
  return descending ? -result : result;
}

}  // namespace zoqe
