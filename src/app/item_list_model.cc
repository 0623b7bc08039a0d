#include "app/item_list_model.h"

#include "app/app_text.h"
#include "app/row_compare.h"
#include "app/type_table.h"

namespace zoqe {

namespace {
const char* const kHeadings[] = {
    QT_TRANSLATE_NOOP("zoqe::ItemListModel", "名称"),    QT_TRANSLATE_NOOP("zoqe::ItemListModel", "大小"),
    QT_TRANSLATE_NOOP("zoqe::ItemListModel", "类型"),    QT_TRANSLATE_NOOP("zoqe::ItemListModel", "压缩/加密"),
    QT_TRANSLATE_NOOP("zoqe::ItemListModel", "版本数"),  QT_TRANSLATE_NOOP("zoqe::ItemListModel", "版本号")};
const int kWidths[] = {140, 60, 100, 90, 60, 60};
}  // namespace

const QString& ListRow::Column(int column) const {
  switch (column) {
    case ItemListModel::kSize:
      return size;
    case ItemListModel::kType:
      return type_name;
    case ItemListModel::kFilters:
      return filters;
    case ItemListModel::kVersions:
      return versions;
    case ItemListModel::kNewest:
      return newest;
    default:
      return name;
  }
}

int64_t ListRow::Number(int column) const {
  switch (column) {
    case ItemListModel::kSize:
      return size_bytes;
    case ItemListModel::kVersions:
      return version_count;
    case ItemListModel::kNewest:
      return newest_number;
    default:
      return 0;
  }
}

ItemListModel::ItemListModel(const TypeTable* types, QObject* parent)
    : QAbstractTableModel(parent), types_(types) {}

void ItemListModel::SetRows(std::vector<ListRow> rows) {
  beginResetModel();
  rows_ = std::move(rows);
  endResetModel();
}

void ItemListModel::Clear() { SetRows({}); }

int ItemListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int ItemListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumnCount;
}

QVariant ItemListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= size()) return QVariant();
  const ListRow& r = row(index.row());
  switch (role) {
    case Qt::DisplayRole:
      if (index.column() != kName) return r.Column(index.column());
      return r.is_folder ? VisibleText(r.name) : ShownPartName(r.name, r.beside_folder);
    case Qt::DecorationRole:
      if (index.column() != kName || !types_) return QVariant();
      return types_->Icon(r.image);
    case Qt::TextAlignmentRole:
      return QVariant::fromValue(IsNumberColumn(index.column())
                                     ? Qt::AlignRight | Qt::AlignVCenter
                                     : Qt::AlignLeft | Qt::AlignVCenter);
    default:
      return QVariant();
  }
}

QVariant ItemListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= kColumnCount) {
    return QVariant();
  }
  if (role == Qt::DisplayRole) return tr(kHeadings[section]);
  if (role == Qt::TextAlignmentRole) {
    return QVariant::fromValue(IsNumberColumn(section) ? Qt::AlignRight | Qt::AlignVCenter
                                                       : Qt::AlignLeft | Qt::AlignVCenter);
  }
  return QVariant();
}

int ItemListModel::ColumnWidth(int column) { return kWidths[column]; }

}  // namespace zoqe
