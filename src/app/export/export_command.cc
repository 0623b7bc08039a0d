#include "app/export/export_command.h"

#include <QCoreApplication>
#include <QFile>
#include <QItemSelectionModel>
#include <QTreeView>

#include <algorithm>

#include "app/export/drag_out.h"
#include "app/export/export_progress.h"
#include "app/export/folder_dialog.h"
#include "app/item_list_model.h"
#include "app/item_sort_proxy.h"
#include "app/message_box.h"
#include "app/package_tree_model.h"
#include "app/main_window.h"
#include "zoq/extract_job.h"

namespace zoqe {

namespace {

// The context of this file's texts in the translations.
struct Text {
  Q_DECLARE_TR_FUNCTIONS(ExportCommand)
};

}  // namespace

QString ListFolderPath(const TreeItem* item) {
  if (item == nullptr) return QString();
  return item->data == 0 ? PackageTreeModel::PackagePath(item)
                         : PackageTreeModel::FolderPath(item);
}

std::vector<ExportEntry> SelectedListEntries(const CZOQEDlg& window, const TreeItem* item) {
  std::vector<ExportEntry> entries;
  QItemSelectionModel* selection = window.list_view()->selectionModel();
  if (selection == nullptr || item == nullptr || window.document()->package() == nullptr) return entries;
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
    if (!folder.isEmpty() && zoq::IsSafeOutputName(row.name.toStdString())) {
      entry.node = window.NodeAt(folder + row.name, PackageTreeModel::VersionOf(item));
    }
    entries.push_back(entry);
  }
  return entries;
}

ExportOutcome ExportItems(CZOQEDlg* window, const std::vector<zoq::ExtractItem>& items,
                          zoq::OutputFolder& folder, int version, bool raw,
                          unsigned folder_mode) {
  folder.KeepFile(QFile::encodeName(window->document()->folder() + window->document()->file_name()).toStdString());
  zoq::ExtractSettings settings;
  settings.revision_limit = version;
  settings.raw = raw;
  settings.key = window->document()->key_info();
  settings.folder_mode = folder_mode;
  settings.off_calling_thread = true;
  zoq::ExtractJob job(window->document()->package(), settings);
  const zoq::ExtractTotals size = job.Measure(items, true);
  ExportOutcome outcome;
  job.SetProblems([&outcome](const zoq::ExtractProblem& problem) {
    if (problem.kind == zoq::ExtractProblem::kWarning) {
      outcome.damaged.append(QString::fromStdU16String(problem.path));
    }
  });
  {
    ExportProgress progress(window, size, &job);
    outcome.failed = job.Run(items, folder);
  }
  outcome.cancelled = job.cancelled();
  outcome.parts_written = job.progress().parts_written;
  outcome.parts_failed = job.progress().parts_failed;
  for (size_t i = 0; i < items.size(); ++i) outcome.item_failed.push_back(job.item_failed(i));
  return outcome;
}

void RunExport(CZOQEDlg* window, bool raw) {
  zoq::Container* package = window->document()->package();
  if (package == nullptr) {
    ShowError(window, Text::tr("文件未打开"));
    return;
  }
  const TreeItem* item = window->CurrentTreeItem();
  if (item == nullptr) {
    const auto answer = ShowMessage(
        window, Text::tr("没有项目被选中,是否导出所有文件夹和文件?"), Text::tr("提示"),
        QMessageBox::Question, QMessageBox::Yes | QMessageBox::No);
    if (answer != QMessageBox::Yes) return;
    item = window->tree_model()->root();
  }
  const QString target = ChooseTargetFolder(window, window->document()->folder(),
                                            DefaultFolderName(window->document()->file_name()));
  if (target.isEmpty()) return;

  const std::vector<ExportEntry> rows = SelectedListEntries(*window, item);
  // A selected tree item exports its children straight into the target; each
  // selected row exports as itself. A row or item whose node is missing has
  // nothing written, which is no success.
  std::vector<zoq::ExtractItem> items;
  size_t missing = 0;
  if (rows.empty()) {
    const QString path = PackageTreeModel::PackagePath(item);
    zoq::PathNode* node = window->NodeAt(path, PackageTreeModel::VersionOf(item));
    if (node == nullptr) {
      ++missing;
    } else {
      items.push_back({node, false});
    }
  } else {
    for (const ExportEntry& row : rows) {
      if (row.node == nullptr) {
        ++missing;
      } else {
        items.push_back({row.node, true});
      }
    }
  }

  zoq::OutputFolder folder;
  if (zoq::OutputFolder::Open(QFile::encodeName(target).toStdString(), &folder) != zoq::kOk) {
    ShowError(window, Text::tr("导出失败"));
    return;
  }
  const ExportOutcome outcome =
      ExportItems(window, items, folder, PackageTreeModel::VersionOf(item), raw, 0755);
  if (outcome.cancelled) {
    QString text = Text::tr("导出已取消, 已导出%1个文件").arg(outcome.parts_written);
    if (outcome.parts_failed > 0) text += Text::tr(", %1个失败").arg(outcome.parts_failed);
    ShowMessage(window, text, Text::tr("提示"), QMessageBox::Information);
    return;
  }
  const size_t failed = missing + outcome.failed;
  const size_t requested = rows.empty() ? 1 : rows.size();
  // Damaged parts were written as read: the outcome names them.
  QString damaged;
  if (!outcome.damaged.isEmpty()) {
    damaged = Text::tr("\n以下部件的存储数据与校验字节不符(已损坏), 按读取的内容导出:\n") +
              outcome.damaged.join(QLatin1Char('\n'));
  }
  if (failed > 0) {
    // A selected tree item is one request: it either worked or failed.
    const bool all = failed == requested;
    ShowError(window, (all ? Text::tr("导出失败") : Text::tr("部分导出失败")) + damaged);
    return;
  }
  if (!damaged.isEmpty()) {
    ShowMessage(window, Text::tr("导出完成") + damaged, Text::tr("警告"), QMessageBox::Warning);
    return;
  }
  ShowMessage(window, Text::tr("导出成功"), Text::tr("提示"));
}

void InstallExport(CZOQEDlg* window) {
  window->SetExporter([window](bool raw) { RunExport(window, raw); });
  new DragOut(window);
  window->UpdateCommands();
}

}  // namespace zoqe
