// Narrows the package tree to the items whose names contain a text (any
// case), keeping the folders above them so that every match stays reachable.
#pragma once

#include <QSortFilterProxyModel>

namespace zoqe {

class TreeFilterProxy : public QSortFilterProxyModel {
  Q_OBJECT

 public:
  explicit TreeFilterProxy(QObject* parent = nullptr);

  void SetNameFilter(const QString& text);
  const QString& name_filter() const { return filter_; }

 protected:
  bool filterAcceptsRow(int source_row, const QModelIndex& source_parent) const override;

 private:
  QString filter_;
};

}  // namespace zoqe
