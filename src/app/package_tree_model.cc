#include "app/package_tree_model.h"

#include <QFont>

#include <QStringList>
#include <QTextDocument>

#include "app/app_text.h"
#include "app/type_table.h"

namespace zoqe {

namespace {
const QString& SlashName() {
  static const QString name = QStringLiteral("/");
  return name;
}
}  // namespace

PackageTreeModel::PackageTreeModel(TypeTable* types, QObject* parent)
    : QAbstractItemModel(parent), types_(types) {
  Reset();
}

PackageTreeModel::~PackageTreeModel() = default;

void PackageTreeModel::Reset() {
  const bool announce = filling_ == 0;
  if (announce) beginResetModel();
  top_.clear();
  history_ = nullptr;
  package_ = nullptr;
  item_count_ = 0;
  ++filling_;
  root_ = AddItem(nullptr, SlashName(), 0);
  --filling_;
  if (announce) endResetModel();
}

void PackageTreeModel::SetPackage(zoq::Container* package, zoq::PathNode* root) {
  package_ = package;
  const bool announce = filling_ == 0;
  if (announce) beginResetModel();
  root_->children.clear();
  root_->folder_children.clear();
  root_->pending = root && root->HasChildren() ? root : nullptr;
  if (announce) endResetModel();
}

void PackageTreeModel::Populate(TreeItem* item) {
  if (!item || !item->pending) return;
  zoq::PathNode* node = item->pending;
  item->pending = nullptr;
  const std::vector<zoq::PathNode*> children = node->Children();
  if (children.empty()) return;
  const bool announce = filling_ == 0;
  if (announce) {
    beginInsertRows(IndexOf(item), 0, static_cast<int>(children.size()) - 1);
  }
  ++filling_;
  item->children.reserve(children.size());
  for (zoq::PathNode* child : children) {
    const std::u16string name16 = child->GetName();
    const QString name =
        QString::fromUtf16(name16.data(), static_cast<qsizetype>(name16.size()));
    if (child->IsFolder()) {
      TreeItem* folder = AddItem(item, name, 0);
      if (child->HasChildren()) folder->pending = child;
      continue;
    }
    zoq::PartInfo info;
    if (package_ && package_->GetPartInfo(&info, child, 0) != zoq::kOk) info = zoq::PartInfo();
    const int image = types_ ? types_->Lookup(name, false, info.deleted).image
                             : static_cast<int>(TypeTable::kFileImage);
    AddItem(item, name, 1, image)->beside_folder = child->OtherOfSameName() != nullptr;
  }
  --filling_;
  if (announce) endInsertRows();
}

const std::vector<std::unique_ptr<TreeItem>>& PackageTreeModel::ChildrenOf(TreeItem* item) {
  if (item->pending) {
    const TreeItem* top = item;
    while (top->parent) top = top->parent;
    if (top->model) top->model->Populate(item);
  }
  return item->children;
}

void PackageTreeModel::PopulateMatches(const QString& text) {
  if (text.isEmpty() || !root_) return;
  // Every folder still waiting for its children is searched below; the
  // items already made are the filter's to look at.
  std::vector<TreeItem*> made{root_};
  while (!made.empty()) {
    TreeItem* item = made.back();
    made.pop_back();
    if (item->pending) {
      PopulateMatchesBelow(item->pending, [item] { return item; }, text);
      continue;
    }
    for (const auto& child : item->children) made.push_back(child.get());
  }
}

bool PackageTreeModel::PopulateMatchesBelow(zoq::PathNode* node,
                                            const std::function<TreeItem*()>& item_of_node,
                                            const QString& text) {
  bool found = false;
  TreeItem* item = nullptr;
  // The node's item with its children made, on the first match below it.
  auto made_item = [&]() {
    if (!item) {
      item = item_of_node();
      Populate(item);
    }
    return item;
  };
  for (zoq::PathNode* child = node->FirstChild(); child; child = node->NextChild()) {
    const std::u16string name16 = child->GetName();
    const QString name =
        QString::fromUtf16(name16.data(), static_cast<qsizetype>(name16.size()));
    if (name.contains(text, Qt::CaseInsensitive)) {
      made_item();
      found = true;
    }
    if (child->IsFolder() && child->HasChildren()) {
      auto child_item = [&made_item, &name] { return FindFolderChild(made_item(), name); };
      if (PopulateMatchesBelow(child, child_item, text)) found = true;
    }
  }
  return found;
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
  if (!parent) item->model = this;
  return Insert(parent, std::move(item));
}

TreeItem* PackageTreeModel::FindFolderChild(TreeItem* parent, const QString& name) {
  if (!parent) return nullptr;
  ChildrenOf(parent);
  return parent->folder_children.value(name, nullptr);
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
  const TreeItem* item = ItemAt(parent);
  if (item && item->pending) return true;
  return rowCount(parent) > 0;
}

bool PackageTreeModel::canFetchMore(const QModelIndex& parent) const {
  const TreeItem* item = ItemAt(parent);
  return item && item->pending;
}

void PackageTreeModel::fetchMore(const QModelIndex& parent) { Populate(ItemAt(parent)); }

QVariant PackageTreeModel::data(const QModelIndex& index, int role) const {
  const TreeItem* item = ItemAt(index);
  if (!item) return QVariant();
  switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole: {
      const QString text = item->data == 1 ? ShownPartName(item->name, item->beside_folder)
                                           : VisibleText(item->name);
      // A tooltip that looks like markup would be read as markup: such a
      // name goes as markup that shows it literally.
      if (role == Qt::ToolTipRole && Qt::mightBeRichText(text)) {
        return Qt::convertFromPlainText(text, Qt::WhiteSpaceNoWrap);
      }
      return text;
    }
    case Qt::DecorationRole:
      if (!types_) return QVariant();
      return item->data == 1 ? types_->Icon(item->image) : types_->FolderIcon();
    case Qt::UserRole:
      return item->data;
    case Qt::FontRole: {
      if (!changed_ || KindOf(item) != kKindMainTree || !changed_(PackagePath(item))) {
        return QVariant();
      }
      QFont font;
      font.setItalic(true);
      return font;
    }
    default:
      return QVariant();
  }
}

}  // namespace zoqe
