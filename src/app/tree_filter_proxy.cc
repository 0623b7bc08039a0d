#include "app/tree_filter_proxy.h"

namespace zoqe {

TreeFilterProxy::TreeFilterProxy(QObject* parent) : QSortFilterProxyModel(parent) {
  setRecursiveFilteringEnabled(true);
  setDynamicSortFilter(false);
}

void TreeFilterProxy::SetNameFilter(const QString& text) {
  if (text == filter_) return;
  filter_ = text;
  invalidateRowsFilter();
}

bool TreeFilterProxy::filterAcceptsRow(int source_row, const QModelIndex& source_parent) const {
  if (filter_.isEmpty()) return true;
  const QModelIndex index = sourceModel()->index(source_row, 0, source_parent);
  return index.data(Qt::DisplayRole).toString().contains(filter_, Qt::CaseInsensitive);
}

}  // namespace zoqe
