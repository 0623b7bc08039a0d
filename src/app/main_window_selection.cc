// What the window shows for a selection: the InfoPanel pairs and the item
// list of a tree item, list selection and double-click, column clicks and
// the item context menus.
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMenu>
#include <QTreeView>

#include "app/app_text.h"
#include "app/info_panel.h"
#include "app/item_list_model.h"
#include "app/item_sort_proxy.h"
#include "app/part_codes.h"
#include "app/message_box.h"
#include "app/package_tree_model.h"
#include "app/stats_table.h"
#include "app/type_table.h"
#include "app/main_window.h"

namespace zoqe {

void CZOQEDlg::ShowSelection(bool read_only) {
  TreeItem* item = CurrentTreeItem();
  if (!document_->is_open() || !item || keeping_edit_) return;
  if (!SettleXmlEdit()) {
    // The edited XML could not be stored: go back to it, text unchanged.
    keeping_edit_ = true;
    if (edit_item_) SelectTreeItem(edit_item_);
    keeping_edit_ = false;
    ShowView(View::kText);
    return;
  }
  ResetInfoPanel();
  ShowItem(item, read_only);
}

void CZOQEDlg::ShowItem(TreeItem* item, bool read_only) {
  list_guard_ = false;
  list_model_->Clear();
  list_guard_ = true;
  const TreeKind kind = PackageTreeModel::KindOf(item);
  if (kind == kKindHistory) {
    ShowHistorySelection(item);
    return;
  }
  const QString path = PackageTreeModel::PackagePath(item);
  const int version = PackageTreeModel::VersionOf(item);
  zoq::PathNode* node = NodeAt(path, version);
  if (!node) {
    SetItemCommands(kind, Selection::kNothing);
    ShowNotice(tr("包内没有此项目: %1").arg(path.isEmpty() ? item->name : path));
    return;
  }
  if (item->data == 1) {
    ShowPartSelection(item, node, path, version, kind, read_only);
  } else {
    ShowFolderSelection(item, item, node, version, kind);
  }
}

void CZOQEDlg::ShowHistorySelection(TreeItem* item) {
  SetItemCommands(kKindHistory, Selection::kNothing);
  if (!item->parent) {
    // "History" itself: its versions, as folders to open.
    std::vector<ListRow> rows;
    rows.reserve(item->children.size());
    for (const auto& child : item->children) {
      ListRow row;
      row.name = child->name;
      row.type_name = tr("文件夹");
      row.image = TypeTable::kFolderImage;
      row.is_folder = true;
      rows.push_back(std::move(row));
    }
    list_guard_ = false;
    list_model_->SetRows(std::move(rows));
    list_guard_ = true;
    AddInfoPair(QString::number(document_->package()->GetRevisionCount()), tr("版本数"));
    info_panel_->SetIcon(types_->Icon(TypeTable::kFolderImage));
    return;
  }
  // A version item: the package's "/" as it stood at that version.
  TreeItem* listed = PackageTreeModel::ListedItem(item);
  const int version = item->name.toInt();
  zoq::PathNode* root = NodeAt(QStringLiteral("/"), version);
  if (listed && root) {
    ShowFolderSelection(item, listed, root, version, kKindHistory);
  } else {
    AddInfoPair(item->name, tr("版本号"));
    ShowNotice(tr("版本%1没有文件记录").arg(item->name));
  }
}

void CZOQEDlg::ShowPartSelection(TreeItem* item, zoq::PathNode* node, const QString& path,
                                 int version, TreeKind kind, bool read_only) {
  SetItemCommands(kind, Selection::kPart);
  zoq::PartInfo info;
  const int code = document_->package()->GetPartInfo(&info, node, version);
  const TypeInfo type = types_->Lookup(item->name, false, info.deleted);
  AddInfoPair(item->name, tr("名称"));
  AddInfoPair(type.type_name, tr("类型"));
  AddInfoPair(PackageTreeModel::FolderPath(item), tr("包内路径"));
  const int shown = version != 0 ? version
                    : info.revisions.empty() ? 0
                                             : info.revisions.front() + 1;
  AddInfoPair(QString::number(shown), tr("版本号"));
  if (info.revisions.size() >= 2) {
    QStringList others;
    for (int revision : info.revisions) {
      if (revision + 1 != shown) others << QString::number(revision + 1);
    }
    AddInfoPair(others.join(QLatin1Char(',')), tr("其他版本号"));
  }
  if (info.deleted) {
    AddInfoPair(tr("已删除"), tr("状态"));
  } else if (info.skippable) {
    AddInfoPair(tr("可跳过数据"), tr("状态"));
  } else if (node != nullptr && node->OtherOfSameName() != nullptr) {
    AddInfoPair(tr("与同名文件夹并存"), tr("状态"));
  }
  AddInfoPair(LongSizeText(info.size), tr("包内大小"));
  info_panel_->SetIcon(types_->Icon(type.image));
  if (code != 0) {
    ShowNotice(tr("无法读取该文件的记录(%1)").arg(code));
    return;
  }
  if (info.deleted) {
    ShowDeletedPart(item, info, shown);
    return;
  }
  if (part_viewer_) part_viewer_(path, version, read_only, false, kViewByExtension);
}

void CZOQEDlg::ShowDeletedPart(const TreeItem* item, const zoq::PartInfo& info, int shown) {
  // Offers the newest earlier version where the part has records, when the
  // history subtree holds it.
  std::vector<NoticeOffer> offers;
  const QString path = PackageTreeModel::PackagePath(item);
  for (int revision : info.revisions) {
    if (revision + 1 >= shown) continue;
    const TreeItem* older =
        PackageTreeModel::FindHistoryItem(tree_model_->history(), revision + 1, path);
    if (older) {
      offers.push_back({tr("查看版本%1").arg(revision + 1),
                        [this, older] { SelectTreeItem(older); }});
    }
    break;
  }
  ShowNotice(tr("该文件在版本%1中已删除").arg(shown), std::move(offers));
}

void CZOQEDlg::ShowFolderSelection(TreeItem* item, TreeItem* listed, zoq::PathNode* node,
                                   int version, TreeKind kind) {
  SetItemCommands(kind, Selection::kFolder);
  if (expand_on_select_) {
    expand_on_select_ = false;
    tree_view_->expand(ProxyIndexOf(item));
  }
  tree_model_->Populate(listed);
  std::vector<ListRow> rows;
  rows.reserve(listed->children.size() + 1);
  if (item->name != QLatin1String("/") &&
      (kind == kKindVersionTree || kind == kKindMainTree)) {
    ListRow up;
    up.name = QStringLiteral("..");
    up.image = TypeTable::kFolderOpenImage;
    up.is_folder = true;
    rows.push_back(up);
  }
  int parts = 0, deleted = 0, folders = 0;
  for (const auto& child : listed->children) {
    zoq::PathNode* child_node = node->FindChild(child->name.toStdU16String());
    // A name may stand for a part and a folder at once: take the item's own.
    if (child_node && child_node->IsFolder() != (child->data == 0)) {
      child_node = child_node->OtherOfSameName();
    }
    if (!child_node) continue;
    zoq::PartInfo info;
    if (document_->package()->GetPartInfo(&info, child_node, version) != zoq::kOk) {
      info = zoq::PartInfo();
    }
    const bool is_folder = child_node->IsFolder();
    const TypeInfo type = types_->Lookup(child->name, is_folder, info.deleted);
    ListRow row;
    row.name = child->name;
    row.type_name = type.type_name;
    row.image = type.image;
    row.is_folder = is_folder;
    if (is_folder) {
      ++folders;
    } else {
      row.filters = FilterText(PartCodes(info));
      row.size = SizeText(info.size, 1, true) + QLatin1Char('B');
      row.size_bytes = info.size;
      row.version_count = static_cast<int64_t>(info.revisions.size());
      row.newest_number = info.revisions.empty() ? 0 : info.revisions.front() + 1;
      row.versions = QString::number(row.version_count);
      row.newest = QString::number(row.newest_number);
      ++parts;
      row.deleted = info.deleted;
      row.beside_folder = child->beside_folder;
      if (info.deleted) ++deleted;
    }
    rows.push_back(std::move(row));
  }
  list_guard_ = false;
  list_model_->SetRows(std::move(rows));
  list_guard_ = true;

  if (kind == kKindHistory) {
    // A version item.
    AddInfoPair(item->name, tr("版本号"));
  } else if (item->name != QLatin1String("/")) {
    AddInfoPair(item->name, tr("名称"));
    AddInfoPair(tr("文件夹"), tr("类型"));
    AddInfoPair(PackageTreeModel::FolderPath(item), tr("包内路径"));
  }
  if (kind == kKindHistory || item->name != QLatin1String("/")) {
    if (folders != 0) AddInfoPair(tr("共%1个").arg(folders), tr("文件夹数"));
    AddInfoPair(tr("共%1个").arg(parts), tr("文件数"));
    if (deleted != 0) AddInfoPair(tr("共%1个").arg(deleted), tr("已删除"));
  } else {
    AddInfoPair(document_->file_name(), tr("文件名"));
    AddInfoPair(QString::number(document_->saved_revisions()), tr("版本数"));
    // The number of parts and the number of folders of the package, the
    // root itself not counted as a folder.
    AddInfoPair(tr("共%1个").arg(part_total_), tr("文件数"));
    AddInfoPair(tr("共%1个").arg(folder_total_), tr("文件夹数"));
    if (document_->read_only()) AddInfoPair(tr("只读"), tr("打开方式"));
    if (document_->pending_count() > 0) {
      AddInfoPair(tr("共%1个").arg(document_->pending_count()), tr("未保存的更改"));
    }
  }
  info_panel_->SetIcon(types_->Icon(TypeTable::kFolderImage));
  expand_on_select_ = false;
}

void CZOQEDlg::OnListSelectionChanged() {
  if (!list_guard_) return;
  QItemSelectionModel* selection = list_view_->selectionModel();
  QModelIndex current = selection->currentIndex();
  if (!current.isValid() || !selection->isRowSelected(current.row(), QModelIndex())) {
    const QModelIndexList rows = selection->selectedRows();
    current = rows.isEmpty() ? QModelIndex() : rows.first();
  }
  TreeItem* tree_item = CurrentTreeItem();
  const TreeKind kind = PackageTreeModel::KindOf(tree_item);
  if (!current.isValid()) {
    SetItemCommands(kind, Selection::kNothing);
    return;
  }
  const ListRow& row = list_model_->row(list_proxy_->mapToSource(current).row());
  ResetInfoPanel();
  if (row.is_parent_row()) {
    SetItemCommands(kind, Selection::kNothing);
    return;
  }
  TreeItem* listed = tree_item ? PackageTreeModel::ListedItem(tree_item) : nullptr;
  const QString folder = listed ? PackageTreeModel::PackagePath(listed) : QString();
  AddInfoPair(row.name, tr("名称"));
  AddInfoPair(row.type_name, tr("类型"));
  AddInfoPair(folder, tr("包内路径"));
  if (row.is_folder) {
    SetItemCommands(kind, Selection::kFolder);
  } else {
    SetItemCommands(kind, Selection::kPart);
    AddInfoPair(row.size, tr("包内大小"));
    AddInfoPair(row.versions, tr("版本数"));
    AddInfoPair(row.newest, tr("版本号"));
  }
  info_panel_->SetIcon(types_->Icon(row.image));
}

void CZOQEDlg::ClickListColumn(int column) {
  list_guard_ = false;
  list_proxy_->ClickColumn(column);
  list_guard_ = true;
  list_view_->header()->setSortIndicator(
      list_proxy_->sort_column(),
      list_proxy_->descending() ? Qt::DescendingOrder : Qt::AscendingOrder);
}

void CZOQEDlg::ActivateListRow(int proxy_row) {
  TreeItem* tree_item = CurrentTreeItem();
  if (!document_->is_open() || !tree_item || proxy_row < 0 || proxy_row >= list_proxy_->rowCount()) return;
  TreeItem* listed = PackageTreeModel::ListedItem(tree_item);
  if (!listed) return;
  const ListRow& row =
      list_model_->row(list_proxy_->mapToSource(list_proxy_->index(proxy_row, 0)).row());
  if (row.is_parent_row()) {
    if (tree_item->parent) SelectTreeItem(tree_item->parent);
  } else if (row.is_folder) {
    if (TreeItem* child = PackageTreeModel::FindFolderChild(listed, row.name)) {
      SelectTreeItem(child);
    }
  } else if (row.deleted) {
    // Nothing to show: its own item says so and offers an older version.
    const int version = PackageTreeModel::VersionOf(listed);
    const QString path = PackageTreeModel::PackagePath(listed) + row.name;
    if (version == 0) {
      ShowNotice(tr("该文件已删除"));
    } else if (TreeItem* part =
                   PackageTreeModel::FindHistoryItem(tree_model_->history(), version, path)) {
      SelectTreeItem(part);
    }
  } else if (part_viewer_) {
    part_viewer_(PackageTreeModel::PackagePath(listed) + row.name,
                 PackageTreeModel::VersionOf(listed), false, false, kViewByExtension);
  }
}

void CZOQEDlg::OnOpenPartAs(ViewMode view_mode) {
  if (!document_->is_open()) {
    ShowError(this, tr("文件未打开"));
    return;
  }
  TreeItem* item = CurrentTreeItem();
  if (!item || !part_viewer_) return;
  QString path = PackageTreeModel::PackagePath(item);
  if (item->data == 0) {
    const QModelIndexList rows = list_view_->selectionModel()->selectedRows();
    if (rows.size() != 1) {
      ShowMessage(this, tr("请选择一个文件"), tr("提示"),
                  QMessageBox::Information);
      return;
    }
    path += list_model_->row(list_proxy_->mapToSource(rows.first()).row()).name;
  }
  part_viewer_(path, PackageTreeModel::VersionOf(item), true, true, view_mode);
}

void CZOQEDlg::ShowTreeContextMenu(const QPoint& pos) {
  if (!document_->is_open()) return;
  QModelIndex index = tree_view_->indexAt(pos);
  if (!index.isValid()) index = tree_view_->currentIndex();
  if (!index.isValid()) return;
  if (index != tree_view_->currentIndex()) tree_view_->setCurrentIndex(index);
  const TreeItem* item = CurrentTreeItem();
  if (!item) return;
  SetItemCommands(PackageTreeModel::KindOf(item),
                  item->data == 1 ? Selection::kPart : Selection::kFolder);
  commands_.context_menu->popup(tree_view_->viewport()->mapToGlobal(pos));
}

void CZOQEDlg::ShowListContextMenu(const QPoint& pos) {
  if (!document_->is_open()) return;
  const QModelIndex index = list_view_->indexAt(pos);
  const TreeKind kind = PackageTreeModel::KindOf(CurrentTreeItem());
  if (!index.isValid()) {
    SetItemCommands(kind, Selection::kFolder);
  } else {
    const ListRow& row = list_model_->row(list_proxy_->mapToSource(index).row());
    if (row.is_parent_row()) return;
    SetItemCommands(kind, row.is_folder ? Selection::kFolder : Selection::kPart);
  }
  commands_.context_menu->popup(list_view_->viewport()->mapToGlobal(pos));
}

}  // namespace zoqe
