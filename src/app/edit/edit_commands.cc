#include "app/edit/edit_commands.h"

#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QItemSelectionModel>
#include <QProgressDialog>
#include <QTimer>
#include <QTreeView>

#include "app/edit/add_codes_dialog.h"
#include "app/edit/add_plan.h"
#include "app/edit/new_package_dialog.h"
#include "app/export/export_progress.h"
#include "app/item_list_model.h"
#include "app/item_sort_proxy.h"
#include "app/main_window.h"
#include "app/message_box.h"
#include "app/package_document.h"
#include "app/package_tree_model.h"
#include "zoq/error_table.h"

namespace zoqe {

namespace {

// The context of this file's texts in the translations.
struct Text {
  Q_DECLARE_TR_FUNCTIONS(EditCommands)
};

// At most this many skipped files are named; the rest are counted.
constexpr int kSkippedShown = 20;

QString SkippedText(const QStringList& skipped) {
  QStringList lines = skipped.mid(0, kSkippedShown);
  if (skipped.size() > kSkippedShown) {
    lines << Text::tr("……另有%1个").arg(skipped.size() - kSkippedShown);
  }
  return Text::tr("以下%1项未添加（链接、特殊文件或无法读取）:\n%2")
      .arg(skipped.size())
      .arg(lines.join(QLatin1Char('\n')));
}

bool ValidPartName(const QString& name) {
  return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
         !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\')) &&
         !name.contains(QChar(0));
}

}  // namespace

QString CodeText(int code) {
  const char* text = zoq::PackageErrorText(code);
  return text ? QString::fromUtf8(text) + QStringLiteral("(%1)").arg(code)
              : QStringLiteral("(%1)").arg(code);
}

EditCommands::EditCommands(CZOQEDlg* window)
    : QObject(window), window_(window), document_(window->document()) {
  new_package_ = [this](NewPackageChoice* choice) {
    NewPackageDialog dialog(document_->folder(), window_);
    if (dialog.exec() != QDialog::Accepted) return false;
    choice->path = dialog.path();
    choice->subset = dialog.subset();
    choice->version = dialog.version();
    return true;
  };
  codes_ = [this](AddCodes* codes) {
    AddCodesDialog dialog(document_, window_);
    if (dialog.exec() != QDialog::Accepted) return false;
    *codes = dialog.codes();
    return true;
  };
  name_ = [this](const QString& old_name, QString* name) {
    bool ok = false;
    *name = QInputDialog::getText(window_, Text::tr("重命名"), Text::tr("新名称:"), QLineEdit::Normal,
                                  old_name, &ok);
    return ok;
  };
  save_as_ = [this](QString* path) {
    QFileDialog dialog(window_, Text::tr("另存为"), *path);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    // A name taken is asked about as the copy is written (SaveAs).
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setDefaultSuffix(document_->subset_code() != 0 ? QStringLiteral("pliv")
                                                          : QStringLiteral("zoq"));
    dialog.setNameFilters({Text::tr("ZOQ文件 (*.zoq *.pliv)"), Text::tr("所有文件 (*)")});
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
    *path = dialog.selectedFiles().first();
    return true;
  };
}

void EditCommands::Refuse(int code, const QString& what) {
  ShowError(window_, what.isEmpty() ? CodeText(code)
                                    : QStringLiteral("%1\n%2").arg(what, CodeText(code)));
}

bool EditCommands::NewPackage(const QStringList& paths) {
  NewPackageChoice choice;
  for (;;) {
    if (!new_package_(&choice)) return false;
    if (document_->is_open() && !window_->ClosePackage()) return false;
    const int code = document_->Create(choice.path, choice.subset, choice.version);
    if (code == 0) break;
    const QFileInfo taken(choice.path);
    if (code == zoq::kTargetFileFailed && (taken.exists() || taken.isSymLink())) {
      // Made meanwhile by someone else: that file stays, another name is
      // asked for.
      ShowError(window_, Text::tr("文件已存在: %1").arg(choice.path));
      continue;
    }
    Refuse(code, Text::tr("新建文件失败"));
    return false;
  }
  window_->ShowPackage();
  if (!paths.isEmpty()) AddPaths(paths, QStringLiteral("/"), false);
  return true;
}

bool EditCommands::Save() {
  if (!document_->is_open()) return false;
  const int code = document_->Save();
  if (code != 0) {
    // The file is as it was and the changes stay for another try.
    Refuse(code, Text::tr("文件保存失败, 更改仍保留在窗口中。"));
    return false;
  }
  return true;
}

bool EditCommands::SaveAs() {
  if (!document_->is_open()) return false;
  QString path = document_->file_path();
  bool reserved = false;
  for (;;) {
    if (!save_as_(&path)) return false;
    if (QFileInfo(path).absoluteFilePath() == QFileInfo(document_->file_path()).absoluteFilePath()) {
      return Save();
    }
    // The name is taken at once as an empty file of ours, which the save
    // replaces; a name already taken, even by a file that appeared after
    // the question, is written over only when the user says so now.
    QFile reserve(path);
    if (reserve.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
      reserved = true;
      break;
    }
    const QFileInfo taken(path);
    if (!taken.exists() && !taken.isSymLink()) break;  // cannot be made: the save says why
    const auto answer = ShowMessage(window_, Text::tr("%1 已存在。\n要替换它吗?").arg(path),
                                    Text::tr("另存为"), QMessageBox::Question,
                                    QMessageBox::Yes | QMessageBox::No);
    if (answer == QMessageBox::Yes) break;
  }
  const int code = document_->SaveAs(path);
  if (code != 0) {
    // Our empty file goes again; a file the save did not reach is not ours
    // to remove.
    if (reserved && QFileInfo(path).size() == 0) QFile::remove(path);
    Refuse(code, Text::tr("文件保存失败, 更改仍保留在窗口中。"));
    return false;
  }
  return true;
}

bool EditCommands::Compact() {
  if (!document_->is_open()) return false;
  const auto answer = ShowMessage(
      window_,
      Text::tr("压缩整理将重写整个文件: 每个文件只保留当前内容, 所有历史版本被删除, "
         "文件变小。未保存的更改一并写入。此操作无法撤销, 是否继续?"),
      Text::tr("压缩整理"), QMessageBox::Question, QMessageBox::Yes | QMessageBox::No);
  if (answer != QMessageBox::Yes) return false;
  const int code = document_->Compact();
  if (code != 0) {
    Refuse(code, Text::tr("压缩整理失败, 文件未改变。"));
    return false;
  }
  return true;
}

QString EditCommands::SelectedFolder() const {
  const TreeItem* item = window_->CurrentTreeItem();
  if (!item || PackageTreeModel::KindOf(item) != kKindMainTree) return QStringLiteral("/");
  return item->data == 1 ? PackageTreeModel::FolderPath(item) : PackageTreeModel::PackagePath(item);
}

void EditCommands::AddFiles() {
  if (!document_->is_open()) return;
  const QStringList files = QFileDialog::getOpenFileNames(
      window_, Text::tr("添加文件"), document_->folder(), QString(), nullptr,
      QFileDialog::DontUseNativeDialog);
  if (!files.isEmpty()) AddPaths(files, SelectedFolder(), false);
}

void EditCommands::AddFolder() {
  if (!document_->is_open()) return;
  const QString folder = QFileDialog::getExistingDirectory(
      window_, Text::tr("添加文件夹"), document_->folder(),
      QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
  if (!folder.isEmpty()) AddPaths({folder}, SelectedFolder(), false);
}

bool EditCommands::AddPaths(const QStringList& paths, const QString& target, bool from_drop) {
  if (!document_->is_open() || document_->read_only()) return false;
  AddPlan plan = PlanAdd(paths, target);
  if (plan.items.empty()) {
    ShowError(window_, plan.skipped.isEmpty() ? Text::tr("没有可添加的文件") : SkippedText(plan.skipped));
    return false;
  }
  if (from_drop && (plan.items.size() > static_cast<size_t>(kDropAskFiles) ||
                    plan.total_bytes > kDropAskBytes)) {
    const auto answer = ShowMessage(
        window_,
        Text::tr("确定要将%1个文件(%2)添加到%3吗?")
            .arg(plan.items.size())
            .arg(ProgressBytesText(plan.total_bytes), target),
        Text::tr("提示"), QMessageBox::Question, QMessageBox::Yes | QMessageBox::No);
    if (answer != QMessageBox::Yes) return false;
  }
  AddCodes codes;
  if (!codes_(&codes)) return false;
  const int count = static_cast<int>(plan.items.size());
  AddJob job(document_->package(), std::move(plan.items), std::move(codes),
             document_->key_info(), 0);
  RunAdd(&job);
  if (job.cancelled() || job.code() != 0) {
    // Parts that could not be put back keep the add's content: they are
    // marked as changes and named, instead of saying that nothing changed.
    const QStringList& kept = job.not_taken_back();
    for (const QString& part : kept) document_->NoteChange(part, PackageDocument::Change::kReplaced);
    if (!kept.isEmpty()) document_->AnnounceChanges();
    const QString kept_text =
        Text::tr("以下%1个文件未能恢复原状, 作为未保存的更改保留:\n%2")
            .arg(kept.size())
            .arg(kept.mid(0, kSkippedShown).join(QLatin1Char('\n')));
    if (job.cancelled()) {
      if (kept.isEmpty()) {
        ShowMessage(window_, Text::tr("添加已取消, 包未改变。"), Text::tr("提示"),
                    QMessageBox::Information);
      } else {
        ShowMessage(window_, Text::tr("添加已取消。") + QLatin1Char('\n') + kept_text,
                    Text::tr("提示"), QMessageBox::Warning);
      }
    } else {
      Refuse(job.code(), kept.isEmpty() ? Text::tr("无法添加 %1, 包未改变。").arg(job.failed_item())
                                        : Text::tr("无法添加 %1。").arg(job.failed_item()) +
                                              QLatin1Char('\n') + kept_text);
    }
    return false;
  }
  for (const AddJob::Filed& filed : job.filed()) {
    document_->NoteChange(filed.part, filed.replaced ? PackageDocument::Change::kReplaced
                                                     : PackageDocument::Change::kAdded);
  }
  document_->AnnounceChanges();
  if (!plan.skipped.isEmpty()) {
    ShowMessage(window_, Text::tr("已添加%1个文件。").arg(count) + QLatin1Char('\n') +
                             SkippedText(plan.skipped),
                Text::tr("提示"), QMessageBox::Warning);
  }
  return true;
}

void EditCommands::RunAdd(AddJob* job) {
  if (job->file_count() <= kProgressPartLimit && job->total_bytes() <= kProgressByteLimit) {
    job->Run();
    return;
  }
  // Encoded and filed off the window's thread; the window redraws and the
  // dialog updates ten times a second.
  QProgressDialog dialog(Text::tr("正在添加文件..."), Text::tr("取消"), 0, job->file_count(), window_);
  dialog.setObjectName(QStringLiteral("addProgress"));
  dialog.setWindowTitle(Text::tr("添加文件"));
  dialog.setWindowModality(Qt::WindowModal);
  dialog.setMinimumDuration(0);
  dialog.setAutoClose(false);
  dialog.setAutoReset(false);
  connect(&dialog, &QProgressDialog::canceled, &dialog, [job] { job->Cancel(); });
  dialog.setValue(0);
  // Up at once; a cancel before the add starts stops it before any file.
  dialog.show();
  QCoreApplication::processEvents();
  if (dialog.wasCanceled()) job->Cancel();
  QEventLoop loop;
  QTimer timer;
  timer.setInterval(100);
  connect(&timer, &QTimer::timeout, &loop, [&] {
    dialog.setValue(job->files_done());
    dialog.setLabelText(Text::tr("正在添加文件... %1/%2 (%3)")
                            .arg(job->files_done())
                            .arg(job->file_count())
                            .arg(ProgressBytesText(job->bytes_done())));
    if (job->finished()) loop.quit();
  });
  // The loop ends as soon as the add does.
  job->Start([&loop] { QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection); });
  timer.start();
  loop.exec();
  job->Wait();
}

QStringList EditCommands::SelectedPaths() const {
  QStringList paths;
  const TreeItem* item = window_->CurrentTreeItem();
  if (!item || PackageTreeModel::KindOf(item) != kKindMainTree) return paths;
  if (item->data == 0 && window_->current_view() == CZOQEDlg::View::kList) {
    const QString folder = PackageTreeModel::PackagePath(item);
    for (const QModelIndex& index : window_->list_view()->selectionModel()->selectedRows()) {
      const ListRow& row = window_->list_model()->row(window_->list_proxy()->mapToSource(index).row());
      if (row.is_parent_row() || row.deleted) continue;
      paths << folder + row.name + (row.is_folder ? QStringLiteral("/") : QString());
    }
    if (!paths.isEmpty()) return paths;
  }
  const QString path = PackageTreeModel::PackagePath(item);
  if (path != QLatin1String("/")) paths << path;
  return paths;
}

bool EditCommands::DeleteSelection() {
  if (!document_->is_open() || document_->read_only()) return false;
  const QStringList selected = SelectedPaths();
  zoq::Container* package = document_->package();
  std::vector<std::u16string> parts;
  for (const QString& path : selected) {
    if (path.endsWith(QLatin1Char('/'))) {
      // A folder that lists nothing adds no part to the question.
      if (package->ListParts(path.toStdU16String(), &parts) != zoq::kOk) continue;
    } else if (package->GetPathKind(path.toStdU16String()) == zoq::kPathPart) {
      parts.push_back(path.toStdU16String());
    }
  }
  if (parts.empty()) return false;
  const auto answer = ShowMessage(window_, Text::tr("确定要删除这%1个文件吗?").arg(parts.size()),
                                  Text::tr("删除"), QMessageBox::Question,
                                  QMessageBox::Yes | QMessageBox::No);
  if (answer != QMessageBox::Yes) return false;
  int deleted = 0;
  for (const std::u16string& part : parts) {
    const int code = package->DeletePart(part);
    if (code != 0) {
      Refuse(code, Text::tr("无法删除 %1").arg(QString::fromStdU16String(part)));
      break;
    }
    document_->NoteChange(QString::fromStdU16String(part), PackageDocument::Change::kDeleted);
    ++deleted;
  }
  document_->AnnounceChanges();
  return deleted == static_cast<int>(parts.size());
}

bool EditCommands::RenameSelection() {
  if (!document_->is_open() || document_->read_only()) return false;
  const QStringList selected = SelectedPaths();
  if (selected.size() != 1 || selected.first().endsWith(QLatin1Char('/'))) {
    ShowMessage(window_, Text::tr("请选择一个文件"), Text::tr("提示"), QMessageBox::Information);
    return false;
  }
  const QString old_path = selected.first();
  const qsizetype slash = old_path.lastIndexOf(QLatin1Char('/'));
  const QString folder = old_path.left(slash + 1);
  QString name;
  if (!name_(old_path.mid(slash + 1), &name) || name == old_path.mid(slash + 1)) return false;
  if (!ValidPartName(name)) {
    Refuse(zoq::kIllegalPath, Text::tr("无效的名称: %1").arg(name));
    return false;
  }
  const std::u16string from = old_path.toStdU16String();
  const std::u16string to = (folder + name).toStdU16String();
  zoq::Container* package = document_->package();
  if (package->GetPathKind(to) != zoq::kPathNotFound) {
    Refuse(zoq::kAddNodeFailed, Text::tr("已存在: %1").arg(folder + name));
    return false;
  }
  // The new part holds the content decoded and stored with the old part's
  // codes; then the old one goes, both in the next revision.
  zoq::PartInfo info;
  int code = package->GetPartInfoByPath(&info, from, 0);
  std::vector<zoq::EcsCodeArg> codes;
  for (int i = 0; code == 0 && i < info.code_count; ++i) {
    codes.push_back({info.codes[static_cast<size_t>(i)],
                     info.codes[static_cast<size_t>(i)] == zoq::kEcsAdm ? document_->key_info()
                                                                        : nullptr});
    if (info.codes[static_cast<size_t>(i)] == zoq::kEcsAdm && !document_->key_info()) {
      ShowError(window_, Text::tr("该文件已加密, 请先输入密钥。"));
      return false;
    }
  }
  zoq::Stream* content = nullptr;
  zoq::DecodeOptions decode;
  decode.key = document_->key_info();
  if (code == 0) code = package->OpenPart(from, &content, 0, &decode, true);
  if (code == 0) {
    code = package->AddPartFromStream(to, content, codes.empty() ? nullptr : codes.data(),
                                      static_cast<int>(codes.size()), info.skippable);
  }
  if (content) content->Release().IgnoreError();  // read to its end above
  if (code == 0) {
    code = package->DeletePart(from);
    // The copy goes again so that the package stays as it was; the refusal
    // below reports the failure.
    if (code != 0) package->DeletePart(to).IgnoreError();
  }
  if (code != 0) {
    Refuse(code, Text::tr("无法重命名 %1, 包未改变。").arg(old_path));
    return false;
  }
  document_->NoteChange(folder + name, PackageDocument::Change::kAdded);
  document_->NoteChange(old_path, PackageDocument::Change::kDeleted);
  document_->AnnounceChanges();
  return true;
}

}  // namespace zoqe
