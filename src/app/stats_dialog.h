// The statistics dialog: one row per type with its count, total stored size
// and share of all stored bytes, sortable by any column.
#pragma once

#include <QDialog>

class QTreeWidget;

namespace zoqe {

class StatsTable;

class CZOQEInfoDlg : public QDialog {
  Q_OBJECT

 public:
  CZOQEInfoDlg(const StatsTable& table, QWidget* parent = nullptr);

  QTreeWidget* list() const { return list_; }
  int sort_column() const { return sort_column_; }
  bool descending() const { return descending_; }

  // A click on a column heading: the sort column flips its direction,
  // another column becomes the sort column, descending.
  void ClickColumn(int column);

 private:
  void Sort();

  QTreeWidget* list_;
  int sort_column_ = 0;
  bool descending_ = false;
};

}  // namespace zoqe
