#include "app/item_sort_proxy.h"

#include "app/item_list_model.h"
#include "app/row_compare.h"

namespace zoqe {

ItemSortProxy::ItemSortProxy(ItemListModel* source, QObject* parent)
    : QSortFilterProxyModel(parent), source_(source) {
  setSourceModel(source);
  setDynamicSortFilter(true);
  sort(0, Qt::AscendingOrder);
}

void ItemSortProxy::SetSortState(int column, bool descending) {
  sort_column_ = column;
  descending_ = descending;
  invalidate();
}

void ItemSortProxy::ClickColumn(int column) {
  if (column == sort_column_) {
    SetSortState(column, !descending_);
  } else {
    SetSortState(column, true);
  }
}

bool ItemSortProxy::lessThan(const QModelIndex& left, const QModelIndex& right) const {
  const ListRow& a = source_->row(left.row());
  const ListRow& b = source_->row(right.row());
  const ListRowKey ka{&a.name, &a.Column(sort_column_), a.Number(sort_column_), a.is_folder};
  const ListRowKey kb{&b.name, &b.Column(sort_column_), b.Number(sort_column_), b.is_folder};
  return CompareListRows(ka, kb, sort_column_, descending_) < 0;
}

}  // namespace zoqe
