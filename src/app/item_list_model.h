// The item list on the right: the children of the selected folder, one row
// each, in six columns (name, size, type, filters, version count, version
// number). Row order is the sort proxy's business.
#pragma once

#include <QAbstractTableModel>
#include <QString>

#include <cstdint>
#include <vector>

namespace zoqe {

class TypeTable;

struct ListRow {
  QString name;
  QString size;        // "4KB"
  QString type_name;   // "文件夹" for folders
  QString filters;     // "ZIP压缩;ADM加密"
  QString versions;    // number of revisions with records
  QString newest;      // newest revision number + 1
  // What the number columns sort by.
  int64_t size_bytes = 0;
  int64_t version_count = 0;
  int64_t newest_number = 0;
  int image = 0;
  bool is_folder = false;
  bool deleted = false;  // a part whose record at the shown version is a deletion
  bool beside_folder = false;  // a part beside a folder of the same name

  bool is_parent_row() const { return name == QLatin1String(".."); }
  const QString& Column(int column) const;
  int64_t Number(int column) const;
};

class ItemListModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  enum Column : int { kName, kSize, kType, kFilters, kVersions, kNewest, kColumnCount };

  explicit ItemListModel(const TypeTable* types, QObject* parent = nullptr);

  // Replaces every row at once (views see one reset).
  void SetRows(std::vector<ListRow> rows);
  void Clear();

  const ListRow& row(int i) const { return rows_[static_cast<size_t>(i)]; }
  int size() const { return static_cast<int>(rows_.size()); }

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  static int ColumnWidth(int column);

 private:
  const TypeTable* types_;
  std::vector<ListRow> rows_;
};

}  // namespace zoqe
