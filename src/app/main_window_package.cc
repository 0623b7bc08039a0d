// Opening and closing a package: the container, the tree fill with its
// statistics and history subtree, the questions asked at close, dropping
// files and the open, close and history commands.
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QTreeView>
#include <Qsci/qsciscintilla.h>

#include <cerrno>
#include <csignal>

#include "app/app_text.h"
#include "app/history/history_tools.h"
#include "app/history/recovery_offer.h"
#include "app/edit/add_plan.h"
#include "app/edit/edit_commands.h"
#include "app/info_panel.h"
#include "app/item_list_model.h"
#include "app/message_box.h"
#include "app/package_tree_model.h"
#include "app/recorded_tree.h"
#include "app/stats_table.h"
#include "app/type_table.h"
#include "app/view/item_viewer.h"
#include "app/main_window.h"
#include "zoq/utf.h"

namespace zoqe {

namespace {

QString ToQString(const std::u16string& text) {
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

// The message for a failed open.
QString OpenFailureText(int code) {
  QString text;
  switch (code) {
    case zoq::kBadHeaderMagic:
      text = CZOQEDlg::tr("无法识别的文件格式！");
      break;
    case zoq::kBadPackageVersion:
      text = CZOQEDlg::tr("无法打开高版本格式文档，请升级软件版本！");
      break;
    case zoq::kBadHeaderField:
      text = CZOQEDlg::tr("打开文件失败！文件头数据格式错误。");
      break;
    case zoq::kSourceOpenFailed:
      text = CZOQEDlg::tr("打开文件失败！目标文件无法访问。");
      break;
    default:
      text = CZOQEDlg::tr("打开文件失败！");
      break;
  }
  return text + QStringLiteral("(%1)").arg(code);
}

// True when the process has ended (or was never there).
bool ProcessEnded(qint64 pid) {
  if (pid <= 0) return true;
  return ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

}  // namespace

bool CZOQEDlg::OpenPackage(const QString& path, bool read_only, int revision_limit) {
  if (document_->is_open() && !ClosePackage()) return false;
  if (document_->work_folder().isEmpty()) return false;

  PackageDocument::OpenFailure failure;
  int code = document_->Open(path, read_only, &failure, revision_limit);
  // A damaged package may still be read up to its damage, read-only.
  if (code != 0 && revision_limit == 0 && failure == PackageDocument::OpenFailure::kFile &&
      (revision_limit = OfferReadableRevisions(this, path, code)) > 0) {
    code = document_->Open(path, true, &failure, revision_limit);
  }
  if (code != 0) {
    ShowError(this, failure == PackageDocument::OpenFailure::kContainer
                        ? tr("打开文件失败！(%1)").arg(code)
                        : OpenFailureText(code));
    return false;
  }
  ShowPackage();
  return true;
}

void CZOQEDlg::ShowTitle() {
  const int revision_limit = document_->revision_limit();
  SetTitle(revision_limit > 0
               ? tr("%1 [版本%2，只读]").arg(document_->file_name()).arg(revision_limit)
               : document_->file_name());
}

void CZOQEDlg::ShowPackage() {
  zoq::Container* package = document_->package();
  ShowTitle();
  expand_on_select_ = true;
  list_model_->Clear();
  stats_->Clear();
  stats_counted_ = false;
  // The tree makes its items as folders are opened; only the counts the
  // root shows are taken now.
  zoq::PathNode* root = package->GetNode(u"/");
  CountTree(root);
  tree_model_->BeginFill();
  tree_model_->Reset();
  tree_model_->SetPackage(package, root);
  if (history_mode_) FillHistory();
  tree_model_->EndFill();
  tree_view_->setCurrentIndex(QModelIndex());
  tree_model_->Populate(tree_model_->root());
  SelectTreeItem(tree_model_->root());
  tree_view_->expand(ProxyIndexOf(tree_model_->root()));
  if (tree_model_->history()) tree_view_->expand(ProxyIndexOf(tree_model_->history()));
  UpdateCommands();
}

void CZOQEDlg::RefreshPackage() {
  if (!document_->is_open()) return;
  const TreeItem* current = CurrentTreeItem();
  const bool in_main = current && PackageTreeModel::KindOf(current) == kKindMainTree;
  const QString path = in_main ? PackageTreeModel::PackagePath(current) : QString();
  ShowPackage();
  // Down the tree by names to the item that was selected, or the nearest
  // folder above it that is still there.
  TreeItem* item = tree_model_->root();
  const QStringList names = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
  for (const QString& name : names) {
    TreeItem* next = nullptr;
    for (const auto& child : PackageTreeModel::ChildrenOf(item)) {
      if (child->name == name) next = child.get();
    }
    if (!next) break;
    item = next;
  }
  if (item != tree_model_->root()) {
    expand_on_select_ = true;
    SelectTreeItem(item);
  }
}

void CZOQEDlg::CountTree(zoq::PathNode* root) {
  part_total_ = 0;
  folder_total_ = 0;
  std::vector<zoq::PathNode*> pending;
  if (root) pending.push_back(root);
  while (!pending.empty()) {
    zoq::PathNode* node = pending.back();
    pending.pop_back();
    for (zoq::PathNode* child = node->FirstChild(); child; child = node->NextChild()) {
      if (child->IsFolder()) {
        ++folder_total_;
        pending.push_back(child);
      } else {
        ++part_total_;
      }
    }
  }
}

void CZOQEDlg::CountStatistics() {
  if (stats_counted_ || !document_->is_open()) return;
  stats_counted_ = true;
  zoq::Container* package = document_->package();
  std::vector<zoq::PathNode*> pending;
  if (zoq::PathNode* root = package->GetNode(u"/")) pending.push_back(root);
  while (!pending.empty()) {
    zoq::PathNode* node = pending.back();
    pending.pop_back();
    if (node->IsFolder()) {
      stats_->CountFolder();
      const std::vector<zoq::PathNode*> children = node->Children();
      pending.insert(pending.end(), children.rbegin(), children.rend());
      continue;
    }
    zoq::PartInfo info;
    if (package->GetPartInfo(&info, node, 0) != zoq::kOk) info = zoq::PartInfo();
    stats_->CountPart(ToQString(node->GetName()), info.total_size);
  }
}

void CZOQEDlg::FillHistory() {
  // Every part the package has recorded goes under the versions where it
  // has records, those deleted since included; they show as deleted under
  // their newest version.
  zoq::Container* package = document_->package();
  recorded_ = RecordedTree::Build(package);
  const int revision_count = package->GetRevisionCount();
  std::vector<zoq::PathNode*> pending{recorded_->root()};
  while (!pending.empty()) {
    zoq::PathNode* node = pending.back();
    pending.pop_back();
    if (node->IsFolder()) {
      const std::vector<zoq::PathNode*> children = node->Children();
      pending.insert(pending.end(), children.rbegin(), children.rend());
      continue;
    }
    zoq::PartInfo info;
    if (package->GetPartInfo(&info, node, 0) != 0 || info.revisions.empty()) continue;
    const QString name = ToQString(node->GetName());
    const int image = types_->Lookup(name, false, false).image;
    const int newest = info.deleted ? types_->Lookup(name, false, true).image : image;
    tree_model_->AddToHistory(ToQString(node->GetPath()), info.revisions, revision_count, image,
                              newest);
  }
}

bool CZOQEDlg::AskXmlEditSave() {
  if (!xml_editable_ || !text_view_->isModified()) return true;
  const auto answer = ShowMessage(this, tr("是否保存XML编辑结果?"),
                                  tr("提示"), QMessageBox::Question,
                                  QMessageBox::Yes | QMessageBox::No);
  if (answer != QMessageBox::Yes) return true;
  return item_viewer_->StoreXmlEdit(current_part_path_);
}

bool CZOQEDlg::SettleXmlEdit() {
  if (!AskXmlEditSave()) return false;
  xml_editable_ = false;
  current_part_path_.clear();
  edit_item_ = nullptr;
  return true;
}

bool CZOQEDlg::ClosePackage() {
  if (document_->is_open()) {
    // Edited XML that could not be stored keeps the package open.
    if (!AskXmlEditSave()) return false;
    for (qsizetype i = processes_.size() - 1; i >= 0; --i) {
      if (ProcessEnded(processes_[i])) processes_.removeAt(i);
    }
    if (!processes_.isEmpty()) {
      const auto answer = ShowMessage(
          this, tr("存在临时文件正在被外部程序打开, 是否继续（可能遗留垃圾文件）?"),
          tr("提示"), QMessageBox::Question, QMessageBox::Yes | QMessageBox::No);
      if (answer != QMessageBox::Yes) return false;
    }
    processes_.clear();
    xml_editable_ = false;
    current_part_path_.clear();
    edit_item_ = nullptr;
    if (document_->IsModified() && !SaveModified()) return false;
  }

  item_viewer_->StopShowing();
  history_tools_->Stop();
  ShowView(View::kList);
  for (const QString& file : std::as_const(temp_files_)) {
    if (!file.isEmpty()) QFile::remove(file);
  }
  temp_files_.clear();
  // The items point into the package's tree: they go first.
  list_model_->Clear();
  tree_model_->Reset();
  recorded_.reset();
  document_->Close();
  stats_->Clear();
  stats_counted_ = false;
  part_total_ = 0;
  folder_total_ = 0;
  SetTitle(QString());
  SelectTreeItem(tree_model_->root());
  ResetInfoPanel();
  SetItemCommands(kKindNone, Selection::kNothing);
  return true;
}

bool CZOQEDlg::SaveModified() {
  const auto answer = ShowMessage(this, tr("是否保存当前PLIV文件?"),
                                  tr("提示"), QMessageBox::Question,
                                  QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
  if (answer == QMessageBox::Cancel) return false;
  if (answer != QMessageBox::Yes) return true;
  const int code = document_->Save();
  if (code == 0) return true;
  // Why, from the library; then No keeps the package open with its
  // changes and Yes drops them.
  ShowError(this, CodeText(code));
  return ShowMessage(this, tr("文件保存失败, 是否关闭文件?"), InitialTitle(),
                     QMessageBox::Question, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void CZOQEDlg::AddProcess(qint64 pid) { processes_.append(pid); }

void CZOQEDlg::AddTempFile(const QString& path) { temp_files_.append(path); }

void CZOQEDlg::DropFiles(const QStringList& paths, const QString& target) {
  for (const QString& path : paths) {
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    if (slash < 0) continue;
    // A name that is only an extension (".zoq") is no package file.
    if (path.lastIndexOf(QLatin1Char('.')) <= slash + 1 || !IsPackageFileName(path)) continue;
    OpenPackage(path, false);
    return;
  }
  if (paths.isEmpty()) return;
  if (!document_->is_open()) {
    const auto answer = ShowMessage(this, tr("是否用拖入的文件新建一个包?"), tr("提示"),
                                    QMessageBox::Question, QMessageBox::Yes | QMessageBox::No);
    if (answer == QMessageBox::Yes) editor_->NewPackage(paths);
    return;
  }
  if (document_->read_only()) {
    ShowError(this, tr("以只读方式打开的文件不能添加文件"));
    return;
  }
  editor_->AddPaths(paths, target.isEmpty() ? editor_->SelectedFolder() : target, true);
}

bool CZOQEDlg::OpenWithDialog(bool* read_only, QString* path) {
  QFileDialog dialog(this, QString(), document_->folder());
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilters({tr("ZOQ文件 (*.zoq *.pliv)"), tr("所有文件 (*)")});
  auto* box = new QCheckBox(tr("以只读方式打开(&R)"), &dialog);
  box->setObjectName(QStringLiteral("readOnlyBox"));
  if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout())) {
    grid->addWidget(box, grid->rowCount(), 0, 1, -1);
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
  *path = dialog.selectedFiles().first();
  *read_only = box->isChecked();
  return true;
}

void CZOQEDlg::OnOpen() {
  bool read_only = false;
  QString path;
  if (OpenWithDialog(&read_only, &path)) OpenPackage(path, read_only);
}

void CZOQEDlg::OnClose() {
  if (!document_->is_open()) {
    ShowError(this, tr("文件未打开"));
  } else {
    ClosePackage();
  }
  history_mode_ = false;
  UpdateCommands();
}

void CZOQEDlg::OnToggleHistory() {
  history_mode_ = !history_mode_;
  // The package is opened again as it was opened (read-only, or up to the
  // revision a damaged package reads to); closing it first asks about
  // unsaved changes, and a close the user cancelled keeps the package as it
  // was shown.
  if (document_->is_open() &&
      !OpenPackage(document_->file_path(), document_->read_only(), document_->revision_limit()) &&
      document_->is_open()) {
    history_mode_ = !history_mode_;
  }
  UpdateCommands();
}

}  // namespace zoqe
