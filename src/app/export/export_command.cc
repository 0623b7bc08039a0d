#include "app/export/export_command.h"

#include <QFile>
#include <QItemSelectionModel>
#include <QTreeView>

#include <algorithm>

#include "app/export/drag_out.h"
#include "app/export/export_folder.h"
#include "app/export/export_job.h"
#include "app/export/export_progress.h"
#include "app/export/folder_dialog.h"
#include "app/item_list_model.h"
#include "app/item_sort_proxy.h"
#include "app/message_box.h"
#include "app/package_tree_model.h"
#include "app/main_window.h"

namespace zoqe {

QString ListFolderPath(const TreeItem* item) {
  if (item == nullptr) return QString();
  return item->data == 0 ? PackageTreeModel::PackagePath(item)
                         : PackageTreeModel::FolderPath(item);
}

std::vector<ExportEntry> SelectedListEntries(const CZOQEDlg& window, const TreeItem* item) {
  std::vector<ExportEntry> entries;
  QItemSelectionModel* selection = window.list_view()->selectionModel();
  if (selection == nullptr || item == nullptr || window.package() == nullptr) return entries;
  QModelIndexList rows = selection->selectedRows();
  std::sort(rows.begin(), rows.end(),
            [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
  const QString folder = ListFolderPath(item);
  for (const QModelIndex& index : rows) {
    const QModelIndex source = window.list_proxy()->mapToSource(index);
    if (!source.isValid()) continue;
    const ListRow& row = window.list_model()->row(source.row());
    ExportEntry entry{row.name, nullptr};
    // ".." would name the folder above, and a name with a separator another
    // place in the package: such rows are failures, never looked up.
    if (!folder.isEmpty() && IsSafeExportName(row.name.toStdString())) {
      entry.node = window.NodeAt(folder + row.name, PackageTreeModel::VersionOf(item));
    }
    entries.push_back(entry);
  }
  return entries;
}

void RunExport(CZOQEDlg* window, bool raw) {
  zoq::Container* package = window->package();
  if (package == nullptr) {
    ShowError(window, QStringLiteral("文件未打开"));
    return;
  }
  const TreeItem* item = window->CurrentTreeItem();
  if (item == nullptr) {
    const auto answer = ShowMessage(
        window, QStringLiteral("没有项目被选中,是否导出所有文件夹和文件?"), QStringLiteral("提示"),
        QMessageBox::Question, QMessageBox::Yes | QMessageBox::No);
    if (answer != QMessageBox::Yes) return;
    item = window->tree_model()->root();
  }
  const QString target = ChooseTargetFolder(window, window->package_folder(),
                                            DefaultFolderName(window->file_name()));
  if (target.isEmpty()) return;

  ExportSettings settings;
  settings.version = PackageTreeModel::VersionOf(item);
  settings.raw = raw;
  settings.key = window->key_info();
  ExportJob job(package, settings);

  const std::vector<ExportEntry> rows = SelectedListEntries(*window, item);
  std::vector<zoq::PathNode*> nodes;
  zoq::PathNode* item_node = nullptr;
  if (rows.empty()) {
    const QString path = PackageTreeModel::PackagePath(item);
    item_node = window->NodeAt(path, settings.version);
    nodes.push_back(item_node);
  } else {
    for (const ExportEntry& row : rows) nodes.push_back(row.node);
  }

  ExportFolder folder;
  if (ExportFolder::Open(QFile::encodeName(target).toStdString(), &folder) !=
      ExportFolder::Result::kOk) {
    ShowError(window, QStringLiteral("导出失败"));
    return;
  }
  const SelectionSize size = job.Measure(nodes);
  size_t failed_rows = 0;
  bool item_written = false;
  {
    ExportProgress progress(window, size, &job);
    if (rows.empty()) {
      // A node that vanished has written nothing: that is no success.
      item_written = item_node != nullptr && job.Export(item_node, folder, false);
    } else {
      for (const ExportEntry& row : rows) {
        if (job.cancelled()) break;
        if (row.node == nullptr || !job.Export(row.node, folder, true)) ++failed_rows;
      }
    }
  }

  if (job.cancelled()) {
    QString text = QStringLiteral("导出已取消, 已导出%1个文件").arg(job.parts_written());
    if (job.parts_failed() > 0) text += QStringLiteral(", %1个失败").arg(job.parts_failed());
    ShowMessage(window, text, QStringLiteral("提示"), QMessageBox::Information);
    return;
  }
  if (!rows.empty()) {
    if (failed_rows == rows.size()) {
      ShowError(window, QStringLiteral("导出失败"));
      return;
    }
    if (failed_rows > 0) {
      ShowError(window, QStringLiteral("部分导出失败"));
      return;
    }
  } else if (!item_written) {
    ShowError(window, QStringLiteral("导出失败"));
    return;
  }
  ShowMessage(window, QStringLiteral("导出成功"), QStringLiteral("提示"));
}

void InstallExport(CZOQEDlg* window) {
  window->SetExporter([window](bool raw) { RunExport(window, raw); });
  new DragOut(window);
  window->UpdateCommands();
}

}  // namespace zoqe
