// Sorts the item list by the browser's own rules: ".." first, folders before
// parts by text columns in either direction, digit runs compared as numbers,
// number columns by their leading integers. The direction is part of the
// comparison (the proxy itself always sorts ascending), so that the ".." and
// folder rules hold when descending too.
#pragma once

#include <QSortFilterProxyModel>

namespace zoqe {

class ItemListModel;

class ItemSortProxy : public QSortFilterProxyModel {
  Q_OBJECT

 public:
  explicit ItemSortProxy(ItemListModel* source, QObject* parent = nullptr);

  void SetSortState(int column, bool descending);
  // A click on a column heading: flips the direction of the sort column,
  // makes another column the sort column, descending.
  void ClickColumn(int column);

  int sort_column() const { return sort_column_; }
  bool descending() const { return descending_; }

 protected:
  bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

 private:
  ItemListModel* source_;
  int sort_column_ = 0;
  bool descending_ = false;
};

}  // namespace zoqe
