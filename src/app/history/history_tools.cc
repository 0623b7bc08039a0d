#include "app/history/history_tools.h"

#include <QAction>
#include <QBoxLayout>
#include <QInputDialog>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QMenu>
#include <QSplitter>
#include <QTextDocument>
#include <QTimer>
#include <QTreeView>
#include <Qsci/qsciscintilla.h>

#include <algorithm>
#include <climits>
#include <cstdlib>

#include "app/history/code_text.h"
#include "app/history/compare_job.h"
#include "app/history/compare_window.h"
#include "app/history/find_pane.h"
#include "app/item_list_model.h"
#include "app/item_sort_proxy.h"
#include "app/main_window.h"
#include "app/view/view_mode.h"
#include "app/package_document.h"
#include "app/message_box.h"
#include "app/package_tree_model.h"
#include "app/view/item_viewer.h"
#include "zoq/history.h"

namespace zoqe {

namespace {

constexpr int kMaxMatchesLooked = 100000;

}  // namespace

HistoryTools::HistoryTools(CZOQEDlg* window) : QObject(window), window_(window) {
  setObjectName(QStringLiteral("historyTools"));
  compare_newest_ = new QAction(window);
  compare_newest_->setObjectName(QStringLiteral("actionCompareNewest"));
  compare_version_ = new QAction(window);
  compare_version_->setObjectName(QStringLiteral("actionCompareVersion"));
  restore_ = new QAction(window);
  restore_->setObjectName(QStringLiteral("actionRestoreVersion"));
  find_ = new QAction(window);
  find_->setObjectName(QStringLiteral("actionFindInPackage"));
  Retranslate();
  find_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F));
  find_->setShortcutContext(Qt::WindowShortcut);
  window->addAction(find_);

  const CommandTable& commands = window->commands();
  commands.edit_menu->addAction(find_);
  commands.view_menu->addSeparator();
  for (QMenu* menu : {commands.view_menu, commands.context_menu}) {
    if (menu == commands.context_menu) menu->addSeparator();
    menu->addAction(compare_newest_);
    menu->addAction(compare_version_);
    menu->addAction(restore_);
    connect(menu, &QMenu::aboutToShow, this, &HistoryTools::UpdateActions);
  }
  connect(compare_newest_, &QAction::triggered, this, [this] {
    QString path;
    int version = 0;
    if (SelectedPart(&path, &version)) Compare(path, version, 0);
  });
  connect(compare_version_, &QAction::triggered, this, &HistoryTools::OnCompareVersion);
  connect(restore_, &QAction::triggered, this, &HistoryTools::OnRestore);
  connect(find_, &QAction::triggered, this, &HistoryTools::OpenFind);
  UpdateActions();
}

HistoryTools::~HistoryTools() = default;

void HistoryTools::Retranslate() {
  compare_newest_->setText(tr("与最新版本比较(&N)"));
  compare_version_->setText(tr("与其他版本比较(&V)..."));
  restore_->setText(tr("恢复此版本(&R)"));
  find_->setText(tr("在包中查找(&G)...\tCtrl+Shift+F"));
  // A comparison on screen is made again, its texts in the new language.
  if (compare_window_ && compare_window_->isVisible()) {
    Compare(compared_path_, compared_.first, compared_.second);
  }
}

CompareWindow* HistoryTools::compare_window() const { return compare_window_; }

void HistoryTools::Stop() {
  if (find_pane_) find_pane_->Clear();
  // The comparison reads the package: it ends before the package goes.
  if (compare_window_) compare_window_->StopReading();
}

bool HistoryTools::SelectedPart(QString* path, int* version) const {
  if (!window_->document()->package()) return false;
  const TreeItem* item = window_->CurrentTreeItem();
  const int kind = PackageTreeModel::KindOf(item);
  if (!item || (kind != kKindVersionTree && kind != kKindMainTree)) return false;
  *version = PackageTreeModel::VersionOf(item);
  if (item->data == 1) {
    *path = PackageTreeModel::PackagePath(item);
    return true;
  }
  const QModelIndexList rows = window_->list_view()->selectionModel()->selectedRows();
  if (rows.size() != 1) return false;
  const ListRow& row = window_->list_model()->row(window_->list_proxy()->mapToSource(rows.first()).row());
  if (row.is_folder || row.is_parent_row()) return false;
  *path = PackageTreeModel::PackagePath(PackageTreeModel::ListedItem(const_cast<TreeItem*>(item))) +
          row.name;
  return true;
}

void HistoryTools::UpdateActions() {
  QString path;
  int version = 0;
  const bool part = SelectedPart(&path, &version);
  compare_newest_->setEnabled(part && version > 0);
  compare_version_->setEnabled(part);
  restore_->setEnabled(part && version > 0 && !window_->document()->read_only());
}

CompareWindow* HistoryTools::Compare(const QString& path, int version, int other) {
  zoq::Container* package = window_->document()->package();
  if (!package) return nullptr;
  compared_path_ = path;
  compared_ = {version, other};
  // The older version goes on the left; 0 is the newest.
  auto order = [](int v) { return v == 0 ? INT_MAX : v; };
  int before = version, after = other;
  if (order(before) > order(after)) std::swap(before, after);
  auto label = [](int v) { return v == 0 ? tr("最新版本") : tr("版本%1").arg(v); };
  if (!compare_window_) {
    compare_window_ = new CompareWindow(window_);
    compare_window_->setAttribute(Qt::WA_DeleteOnClose);
  }
  // Both versions are read in full (binary content for its digest) on the
  // job's thread; the window shows how far it is.
  compare_window_->Start(path, label(before), label(after),
                         std::make_unique<CompareJob>(package, window_->document()->key_info(),
                                                      path, before, after,
                                                      window_->document()->work_folder(),
                                                      CompareWindow::kMaxText));
  compare_window_->show();
  compare_window_->raise();
  return compare_window_;
}

void HistoryTools::OnCompareVersion() {
  QString path;
  int version = 0;
  zoq::Container* package = window_->document()->package();
  if (!package || !SelectedPart(&path, &version)) return;
  zoq::PartInfo info;
  if (int code = package->GetPathInfo(&info, path.toStdU16String(), 0); code != 0) {
    ShowError(window_, tr("无法读取该文件的记录: %1").arg(HistoryCodeText(code)));
    return;
  }
  QStringList choices;
  QList<int> versions;
  if (version != 0) {
    choices << tr("最新版本");
    versions << 0;
  }
  for (int revision : info.revisions) {
    if (revision + 1 == version) continue;
    choices << tr("版本%1").arg(revision + 1);
    versions << revision + 1;
  }
  if (choices.isEmpty()) {
    ShowMessage(window_, tr("该文件只有一个版本"), tr("提示"), QMessageBox::Information);
    return;
  }
  bool ok = false;
  const QString chosen = QInputDialog::getItem(
      window_, tr("比较版本"),
      // The dialog's label takes markup: the path is shown literally.
      Qt::convertFromPlainText(
          tr("将 %1（%2）与以下版本比较:")
              .arg(path, version == 0 ? tr("最新版本") : tr("版本%1").arg(version)),
          Qt::WhiteSpaceNormal),
      choices, 0, false, &ok);
  if (!ok) return;
  Compare(path, version, versions.value(choices.indexOf(chosen)));
}

void HistoryTools::OnRestore() {
  QString path;
  int version = 0;
  if (SelectedPart(&path, &version) && version > 0) Restore(path, version);
}

bool HistoryTools::Restore(const QString& path, int version) {
  zoq::Container* package = window_->document()->package();
  if (!package) return false;
  if (window_->document()->read_only()) {
    ShowError(window_, tr("文件以只读方式打开，无法恢复版本"));
    return false;
  }
  // Whether the part is there now decides how the change is marked.
  zoq::PartInfo now;
  const int now_code = package->GetPathInfo(&now, path.toStdU16String(), 0);
  const bool brought_back = now_code != zoq::kOk || now.deleted;
  std::vector<zoq::RestoredPart> restored;
  std::u16string failed;
  const int code = zoq::RestoreParts(package, version, {path.toStdU16String()},
                                     window_->document()->key_info(), &restored, &failed);
  if (code == zoq::kNoSuchNode) {
    ShowError(window_, tr("版本%1中没有此文件: %2").arg(version).arg(path));
    return false;
  }
  if (code != 0) {
    ShowError(window_, tr("无法恢复 %1 的版本%2: %3").arg(path).arg(version).arg(HistoryCodeText(code)));
    return false;
  }
  if (restored.empty() || !restored.front().restored) {
    ShowMessage(window_, tr("%1 的最新内容与版本%2相同，无需恢复").arg(path).arg(version),
                tr("提示"), QMessageBox::Information);
    return true;
  }
  // The restored version is a change like any other: marked until saved,
  // and asked about again when the package is closed unsaved.
  PackageDocument* document = window_->document();
  document->NoteChange(path, brought_back ? PackageDocument::Change::kAdded
                                          : PackageDocument::Change::kReplaced);
  // The usual save question.
  const auto answer = ShowMessage(window_, tr("是否保存当前PLIV文件?"), tr("提示"),
                                  QMessageBox::Question, QMessageBox::Yes | QMessageBox::No);
  int saved = 0;
  if (answer == QMessageBox::Yes) saved = document->Save();
  if (answer != QMessageBox::Yes || saved != 0) document->AnnounceChanges();
  if (saved != 0) ShowError(window_, tr("文件保存失败: %1").arg(HistoryCodeText(saved)));
  // The tree and strip show the package as it is now (saved or not), with
  // the part selected at its newest version: the saved revision, or the one
  // the pending change makes.
  if (document->package()) {
    const TreeItem* item = PackageTreeModel::FindHistoryItem(
        window_->tree_model()->history(), document->package()->GetRevisionCount(), path);
    if (item) window_->SelectTreeItem(item);
  }
  return true;
}

void HistoryTools::OpenFind() {
  if (!find_pane_) {
    find_pane_ = new FindPane([this] { return window_->document()->package(); },
                              [this] { return window_->document()->key_info(); });
    connect(find_pane_, &FindPane::OpenLine, this, &HistoryTools::OpenLine);
    // The pane goes below the tree and the right pane, which share the
    // room with it in a splitter.
    QSplitter* main = window_->splitter();
    auto* layout = qobject_cast<QBoxLayout*>(window_->layout());
    auto* room = new QSplitter(Qt::Vertical);
    room->setObjectName(QStringLiteral("findSplitter"));
    room->setChildrenCollapsible(false);
    if (layout) delete layout->replaceWidget(main, room);
    room->addWidget(main);
    room->addWidget(find_pane_);
    room->setStretchFactor(0, 3);
    room->setStretchFactor(1, 1);
    const int height = std::max(room->height(), 300);
    room->setSizes({height * 3 / 5, height * 2 / 5});
  }
  find_pane_->show();
  find_pane_->pattern_edit()->setFocus();
  find_pane_->pattern_edit()->selectAll();
}

void HistoryTools::OpenLine(const QString& path, qint64 line, const QString& text) {
  ItemViewer* viewer = window_->item_viewer();
  if (!window_->document()->package() || !viewer) return;
  const int opening = ++opening_;
  // The part's item in the tree is selected, which shows the part with its
  // facts; a part the tree does not hold is shown alone.
  TreeItem* item = window_->tree_model()->root();
  for (const QString& name : path.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
    TreeItem* next = nullptr;
    for (const auto& child : PackageTreeModel::ChildrenOf(item)) {
      if (child->name == name) next = child.get();
    }
    item = next;
    if (!item) break;
  }
  if (item && item != window_->CurrentTreeItem()) {
    window_->SelectTreeItem(item);
  } else if (!item || window_->current_view() != CZOQEDlg::View::kText) {
    viewer->ShowPart(path, 0, true, true, kViewByExtension);
  }
  // The viewer reads and fills in the part on its own time; the line is
  // gone to once the text is all in.
  auto* wait = new QTimer(this);
  wait->setInterval(30);
  connect(wait, &QTimer::timeout, this, [this, wait, viewer, opening, line, text] {
    if (viewer->busy() && opening == opening_) return;
    wait->deleteLater();
    if (opening != opening_) return;
    if (window_->current_view() == CZOQEDlg::View::kText) {
      ShowLineInView(window_->text_view(), line, text);
    }
  });
  wait->start();
}

void ShowLineInView(QsciScintilla* view, qint64 line, const QString& text) {
  const long count = view->SendScintilla(QsciScintillaBase::SCI_GETLINECOUNT);
  long target = static_cast<long>(std::clamp<qint64>(line - 1, 0, std::max(count - 1, 0L)));
  const QByteArray needle = text.trimmed().left(200).toUtf8();
  if (!needle.isEmpty() && !view->text(static_cast<int>(target)).toUtf8().contains(needle)) {
    // The view lays the part out in other lines: the holder of the text
    // nearest to the line number.
    const long length = view->SendScintilla(QsciScintillaBase::SCI_GETLENGTH);
    view->SendScintilla(QsciScintillaBase::SCI_SETSEARCHFLAGS, QsciScintillaBase::SCFIND_MATCHCASE);
    long from = 0;
    long best = -1;
    for (int looked = 0; looked < kMaxMatchesLooked && from < length; ++looked) {
      view->SendScintilla(QsciScintillaBase::SCI_SETTARGETRANGE, from, length);
      const long at = view->SendScintilla(QsciScintillaBase::SCI_SEARCHINTARGET,
                                          static_cast<unsigned long>(needle.size()),
                                          needle.constData());
      if (at < 0) break;
      const long found = view->SendScintilla(QsciScintillaBase::SCI_LINEFROMPOSITION, at);
      if (best < 0 || std::labs(found - target) < std::labs(best - target)) best = found;
      if (found > target) break;  // later holders are farther away
      from = view->SendScintilla(QsciScintillaBase::SCI_POSITIONFROMLINE, found + 1);
      if (from <= at) break;
    }
    if (best >= 0) target = best;
  }
  const long start = view->SendScintilla(QsciScintillaBase::SCI_POSITIONFROMLINE, target);
  const long end = view->SendScintilla(QsciScintillaBase::SCI_GETLINEENDPOSITION, target);
  view->SendScintilla(QsciScintillaBase::SCI_ENSUREVISIBLE, target);
  view->SendScintilla(QsciScintillaBase::SCI_SETSEL, end, start);
  const long shown = view->SendScintilla(QsciScintillaBase::SCI_LINESONSCREEN);
  view->SendScintilla(QsciScintillaBase::SCI_SETFIRSTVISIBLELINE, std::max(0L, target - shown / 2));
}

}  // namespace zoqe
