#include "app/package_tree_model.h"

#include <QStringList>

#include "app/type_table.h"

namespace zoqe {

namespace {
const QString& SlashName() {
  static const QString name = QStringLiteral("/");
  return name;
}
}  // namespace

PackageTreeModel::PackageTreeModel(const TypeTable* types, QObject* parent)
    : QAbstractItemModel(parent), types_(types) {
  Reset();
}

PackageTreeModel::~PackageTreeModel() = default;

void PackageTreeModel::Reset() {
  const bool announce = filling_ == 0;
  if (announce) beginResetModel();
  top_.clear();
  history_ = nullptr;
  item_count_ = 0;
  ++filling_;
  root_ = AddItem(nullptr, SlashName(), 0);
  --filling_;
  if (announce) endResetModel();
}

void PackageTreeModel::BeginFill() {
  if (filling_++ == 0) beginResetModel();
}

void PackageTreeModel::EndFill() {
  if (--filling_ == 0) endResetModel();
}

TreeItem* PackageTreeModel::Insert(TreeItem* parent, std::unique_ptr<TreeItem> item) {
  auto& siblings = parent ? parent->children : top_;
  const int row = static_cast<int>(siblings.size());
  const bool announce = filling_ == 0;
  if (announce) beginInsertRows(IndexOf(parent), row, row);
  item->parent = parent;
  item->row = row;
  TreeItem* raw = item.get();
  siblings.push_back(std::move(item));
  if (parent && raw->data == 0) parent->folder_children.insert(raw->name, raw);
  ++item_count_;
  if (announce) endInsertRows();
  return raw;
}

TreeItem* PackageTreeModel::AddItem(TreeItem* parent, const QString& name, int data,
                                    int image) {
  auto item = std::make_unique<TreeItem>();
  item->name = name;
  item->data = data;
  item->image = image;
  return Insert(parent, std::move(item));
}

TreeItem* PackageTreeModel::FindFolderChild(TreeItem* parent, const QString& name) {
  return parent ? parent->folder_children.value(name, nullptr) : nullptr;
}

void PackageTreeModel::AddToHistory(const QString& path, const std::vector<int>& revisions,
                                    int revision_count, int image, int newest_image) {
  if (!history_) {
    history_ = AddItem(nullptr, QStringLiteral("History"), 0);
    for (int k = 1; k <= revision_count; ++k) AddItem(history_, QString::number(k), 0);
  }
  // "/", the folders, then the part.
  QStringList names = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
  if (names.isEmpty()) return;
  names.prepend(SlashName());
  for (size_t r = 0; r < revisions.size(); ++r) {
    TreeItem* current = history_;
    const QString version = QString::number(revisions[r] + 1);
    TreeItem* next = FindFolderChild(current, version);
    current = next ? next : AddItem(current, version, 0);
    for (qsizetype i = 0; i < names.size(); ++i) {
      const bool is_part = i == names.size() - 1;
      next = is_part ? nullptr : FindFolderChild(current, names[i]);
      const int part_image = r == 0 ? newest_image : image;
      current = next ? next
                     : AddItem(current, names[i], is_part ? 1 : 0,
                               is_part ? part_image : TypeTable::kFolderImage);
    }
  }
}

TreeItem* PackageTreeModel::ListedItem(TreeItem* item) {
  if (KindOf(item) == kKindHistory && item->parent) return FindFolderChild(item, SlashName());
  return item;
}

TreeItem* PackageTreeModel::FindHistoryItem(TreeItem* history, int version,
                                            const QString& path) {
  TreeItem* item = FindFolderChild(FindFolderChild(history, QString::number(version)),
                                   SlashName());
  for (const QString& name : path.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
    if (!item) break;
    TreeItem* next = FindFolderChild(item, name);
    if (!next) {
      for (const auto& child : item->children) {
        if (child->data == 1 && child->name == name) next = child.get();
      }
    }
    item = next;
  }
  return item;
}

TreeKind PackageTreeModel::KindOf(const TreeItem* item) {
  if (!item) return kKindNone;
  bool passed_slash = false;
  for (const TreeItem* it = item; it; it = it->parent) {
    if (!it->parent && it->name == SlashName()) return kKindMainTree;
    if (!it->parent && it->name == QLatin1String("History")) {
      return passed_slash ? kKindVersionTree : kKindHistory;
    }
    if (it->name == SlashName()) passed_slash = true;
  }
  return kKindNone;
}

QString PackageTreeModel::PackagePath(const TreeItem* item) {
  QStringList parts;
  const TreeItem* it = item;
  for (; it && it->name != SlashName(); it = it->parent) {
    parts.prepend(it->data == 0 ? it->name + QLatin1Char('/') : it->name);
  }
  if (!it) return QString();
  return SlashName() + parts.join(QString());
}

QString PackageTreeModel::FolderPath(const TreeItem* item) {
  const QString path = PackagePath(item);
  return path.left(path.lastIndexOf(QLatin1Char('/'), path.endsWith(QLatin1Char('/')) ? -2 : -1) +
                   1);
}

int PackageTreeModel::VersionOf(const TreeItem* item) {
  const TreeItem* it = item;
  while (it && it->name != SlashName()) it = it->parent;
  if (!it || !it->parent) return 0;
  const TreeItem* version = it->parent;
  if (!version->parent || version->parent->parent ||
      version->parent->name != QLatin1String("History")) {
    return 0;
  }
  return version->name.toInt();
}

TreeItem* PackageTreeModel::ItemAt(const QModelIndex& index) const {
  return index.isValid() ? static_cast<TreeItem*>(index.internalPointer()) : nullptr;
}

QModelIndex PackageTreeModel::IndexOf(const TreeItem* item) const {
  if (!item) return QModelIndex();
  return createIndex(item->row, 0, const_cast<TreeItem*>(item));
}

QModelIndex PackageTreeModel::index(int row, int column, const QModelIndex& parent) const {
  if (column != 0 || row < 0) return QModelIndex();
  const auto& siblings = parent.isValid() ? ItemAt(parent)->children : top_;
  if (row >= static_cast<int>(siblings.size())) return QModelIndex();
  return createIndex(row, 0, siblings[static_cast<size_t>(row)].get());
}

QModelIndex PackageTreeModel::parent(const QModelIndex& index) const {
  const TreeItem* item = ItemAt(index);
  return item ? IndexOf(item->parent) : QModelIndex();
}

int PackageTreeModel::rowCount(const QModelIndex& parent) const {
  if (parent.column() > 0) return 0;
  return static_cast<int>(parent.isValid() ? ItemAt(parent)->children.size() : top_.size());
}

int PackageTreeModel::columnCount(const QModelIndex&) const { return 1; }

bool PackageTreeModel::hasChildren(const QModelIndex& parent) const {
  return rowCount(parent) > 0;
}

QVariant PackageTreeModel::data(const QModelIndex& index, int role) const {
  const TreeItem* item = ItemAt(index);
  if (!item) return QVariant();
  switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
      return item->name;
    case Qt::DecorationRole:
      if (!types_) return QVariant();
      return item->data == 1 ? types_->Icon(item->image) : types_->FolderIcon();
    case Qt::UserRole:
      return item->data;
    default:
      return QVariant();
  }
}

}  // namespace zoqe
