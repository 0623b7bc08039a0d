// Main window construction, layout, commands and window events. Opening and
// closing are in main_window_package.cc, the selection flows in
// main_window_selection.cc.
#include "app/main_window.h"

#include <algorithm>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFrame>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QSplitter>
#include <QStackedWidget>
#include <QTimer>
#include <QTreeView>
#include <QUrl>
#include <QVBoxLayout>
#include <Qsci/qsciscintilla.h>

#include "app/about_dialog.h"
#include "app/history/history_tools.h"
#include "app/edit/add_plan.h"
#include "app/edit/edit_commands.h"
#include "app/app_text.h"
#include "app/info_panel.h"
#include "app/item_list_model.h"
#include "app/item_sort_proxy.h"
#include "app/message_box.h"
#include "app/package_tree_model.h"
#include "app/recorded_tree.h"
#include "app/stats_dialog.h"
#include "app/stats_table.h"
#include "app/tree_filter_proxy.h"
#include "app/type_table.h"
#include "app/view/item_viewer.h"
#include "app/view/picture_view.h"
#include "app/work_folder.h"

namespace zoqe {

namespace {
constexpr int kSplitterLimit = 20;  // neither side of the splitter gets narrower
constexpr int kUtf8CodePage = 65001;

// Return or Enter (the keypad's too) without other modifiers.
bool IsEnterKey(const QKeyEvent* event) {
  const auto modifiers = event->modifiers() & ~Qt::KeypadModifier;
  return (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
         modifiers == Qt::NoModifier;
}
}  // namespace

ItemCommandState ItemCommandRule(TreeKind tree_kind, Selection selection) {
  ItemCommandState state;
  const bool in_tree = tree_kind == kKindVersionTree || tree_kind == kKindMainTree;
  state.export_enabled =
      in_tree && (selection == Selection::kFolder || selection == Selection::kPart);
  state.open_enabled = in_tree && selection == Selection::kPart;
  return state;
}

const QString& CZOQEDlg::InitialTitle() {
  static const QString title = QStringLiteral("ZOQ Explorer");
  return title;
}

CZOQEDlg::CZOQEDlg(QWidget* parent, const QString& work_folder)
    : QDialog(parent),
      types_(std::make_unique<TypeTable>()),
      stats_(std::make_unique<StatsTable>()) {
  setObjectName(QStringLiteral("CZOQEDlg"));
  setWindowTitle(InitialTitle());
  setWindowFlags(windowFlags() | Qt::WindowMinMaxButtonsHint);
  setSizeGripEnabled(true);
  setAcceptDrops(true);
  QString folder = work_folder;
  if (folder.isEmpty()) {
    // What earlier runs that ended without closing left behind goes first.
    TidyEarlierWorkFolders();
    folder = CreateWorkFolder();
  }
  document_ = new PackageDocument(
      folder, QCoreApplication::applicationDirPath() + QLatin1Char('/'), this);
  BuildLayout();
  item_viewer_ = new ItemViewer(this);
  part_viewer_ = [this](const QString& path, int version, bool read_only, bool report, int mode) {
    return item_viewer_->ShowPart(path, version, read_only, report, mode);
  };
  finder_ = [this] { item_viewer_->OpenFind(); };
  editor_ = new EditCommands(this);
  tree_model_->SetChangedTest([this](const QString& path) { return document_->IsPending(path); });
  connect(document_, &PackageDocument::changed, this, &CZOQEDlg::RefreshPackage);
  ConnectCommands();
  history_tools_ = new HistoryTools(this);
  ResetInfoPanel();
  SelectTreeItem(tree_model_->root());
  UpdateCommands();
  resize(900, 600);
}

CZOQEDlg::~CZOQEDlg() {
  // A part being read for the viewers, or searched, needs the package.
  item_viewer_->StopShowing();
  history_tools_->Stop();
  // Views go before the models they show; the package goes last.
  tree_viewport_->removeEventFilter(this);
  tree_viewport_ = nullptr;
  delete tree_view_;
  delete list_view_;
  tree_view_ = nullptr;
  list_view_ = nullptr;
}

void CZOQEDlg::BuildLayout() {
  commands_ = CommandTable::Build(this);

  tree_model_ = new PackageTreeModel(types_.get(), this);
  tree_proxy_ = new TreeFilterProxy(this);
  tree_proxy_->setSourceModel(tree_model_);
  list_model_ = new ItemListModel(types_.get(), this);
  list_proxy_ = new ItemSortProxy(list_model_, this);

  // Left pane: the filter box above the tree.
  auto* left = new QWidget;
  left->setObjectName(QStringLiteral("leftPane"));
  filter_edit_ = new QLineEdit(left);
  filter_edit_->setObjectName(QStringLiteral("treeFilter"));
  filter_edit_->setPlaceholderText(tr("筛选名称"));
  filter_edit_->setClearButtonEnabled(true);
  filter_edit_->setMinimumWidth(kSplitterLimit);
  filter_timer_ = new QTimer(this);
  filter_timer_->setSingleShot(true);
  filter_timer_->setInterval(150);
  connect(filter_edit_, &QLineEdit::textChanged, filter_timer_, qOverload<>(&QTimer::start));
  connect(filter_timer_, &QTimer::timeout, this, &CZOQEDlg::ApplyTreeFilter);
  filter_edit_->installEventFilter(this);
  tree_view_ = new QTreeView(left);
  tree_view_->setObjectName(QStringLiteral("packageTree"));
  tree_view_->setModel(tree_proxy_);
  tree_view_->setHeaderHidden(true);
  // Long names widen the column and the tree scrolls sideways, instead of
  // cutting them.
  tree_view_->header()->setStretchLastSection(false);
  tree_view_->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
  tree_view_->setUniformRowHeights(true);
  tree_view_->setExpandsOnDoubleClick(false);
  tree_view_->setContextMenuPolicy(Qt::CustomContextMenu);
  tree_view_->setMinimumWidth(kSplitterLimit);
  tree_view_->installEventFilter(this);
  tree_viewport_ = tree_view_->viewport();
  tree_viewport_->installEventFilter(this);
  auto* left_layout = new QVBoxLayout(left);
  left_layout->setContentsMargins(0, 0, 0, 0);
  left_layout->setSpacing(2);
  left_layout->addWidget(filter_edit_);
  left_layout->addWidget(tree_view_);
  left->setMinimumWidth(kSplitterLimit);

  // Right pane: list, picture and text view in one place.
  right_pane_ = new QStackedWidget;
  right_pane_->setObjectName(QStringLiteral("rightPane"));
  right_pane_->setMinimumWidth(kSplitterLimit);
  list_view_ = new QTreeView(right_pane_);
  list_view_->setObjectName(QStringLiteral("itemList"));
  list_view_->setModel(list_proxy_);
  list_view_->setRootIsDecorated(false);
  list_view_->setItemsExpandable(false);
  list_view_->setUniformRowHeights(true);
  list_view_->setAllColumnsShowFocus(true);
  list_view_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  list_view_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_view_->setContextMenuPolicy(Qt::CustomContextMenu);
  list_view_->setMinimumWidth(kSplitterLimit);
  list_view_->installEventFilter(this);
  list_view_->header()->setSectionsClickable(true);
  list_view_->header()->setSortIndicatorShown(true);
  list_view_->header()->setSortIndicator(0, Qt::AscendingOrder);
  list_view_->header()->setStretchLastSection(false);
  for (int c = 0; c < ItemListModel::kColumnCount; ++c) {
    list_view_->setColumnWidth(c, ItemListModel::ColumnWidth(c));
  }
  picture_view_ = new QWidget(right_pane_);
  picture_view_->setObjectName(QStringLiteral("pictureView"));
  text_view_ = new QsciScintilla(right_pane_);
  text_view_->setObjectName(QStringLiteral("textView"));
  text_view_->SendScintilla(QsciScintillaBase::SCI_SETCODEPAGE, kUtf8CodePage);
  text_view_->setReadOnly(true);
  notice_ = new NoticePane(right_pane_);
  right_pane_->addWidget(list_view_);
  right_pane_->addWidget(picture_view_);
  right_pane_->addWidget(text_view_);
  right_pane_->addWidget(notice_);
  right_pane_->setCurrentWidget(list_view_);

  splitter_ = new QSplitter(Qt::Horizontal);
  splitter_->setObjectName(QStringLiteral("splitter"));
  splitter_->setChildrenCollapsible(false);
  splitter_->setHandleWidth(4);
  splitter_->addWidget(left);
  splitter_->addWidget(right_pane_);
  splitter_->setStretchFactor(0, 0);
  splitter_->setStretchFactor(1, 1);
  splitter_->setSizes({240, 660});

  auto* rule = new QFrame;
  rule->setFrameShape(QFrame::HLine);
  rule->setFrameShadow(QFrame::Sunken);
  info_panel_ = new InfoPanel;

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 0, 4, 2);
  layout->setSpacing(2);
  layout->setMenuBar(commands_.menu_bar);
  layout->addWidget(splitter_, 1);
  layout->addWidget(rule);
  layout->addWidget(info_panel_);

  connect(tree_view_->selectionModel(), &QItemSelectionModel::currentChanged, this, [this] {
    // The filter moves the current row as it hides and shows rows; what
    // the right pane shows changes only with a choice.
    if (applying_filter_) return;
    shown_item_ = tree_proxy_->mapToSource(tree_view_->currentIndex());
    ShowSelection(true);
  });
  connect(tree_view_, &QTreeView::doubleClicked, this, &CZOQEDlg::ActivateTreeItem);
  connect(tree_view_, &QTreeView::clicked, this, [this](const QModelIndex& index) {
    // A click on the folder already selected brings its list back, for
    // example after one of its parts was opened from the list.
    const TreeItem* item = CurrentTreeItem();
    if (index == tree_view_->currentIndex() && item && item->data == 0 &&
        current_view() != View::kList) {
      ShowSelection(true);
    }
  });
  connect(tree_view_, &QTreeView::collapsed, this, [this] { expand_on_select_ = false; });
  connect(tree_view_, &QWidget::customContextMenuRequested, this,
          &CZOQEDlg::ShowTreeContextMenu);
  connect(list_view_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          &CZOQEDlg::OnListSelectionChanged);
  connect(list_view_->selectionModel(), &QItemSelectionModel::currentChanged, this,
          &CZOQEDlg::OnListSelectionChanged);
  connect(list_view_, &QTreeView::doubleClicked, this,
          [this](const QModelIndex& index) { ActivateListRow(index.row()); });
  connect(list_view_->header(), &QHeaderView::sectionClicked, this,
          &CZOQEDlg::ClickListColumn);
  connect(list_view_, &QWidget::customContextMenuRequested, this,
          &CZOQEDlg::ShowListContextMenu);
}

void CZOQEDlg::ConnectCommands() {
  const CommandTable& c = commands_;
  connect(c.open, &QAction::triggered, this, &CZOQEDlg::OnOpen);
  connect(c.close, &QAction::triggered, this, &CZOQEDlg::OnClose);
  connect(c.exit, &QAction::triggered, this, &CZOQEDlg::OnExit);
  connect(c.select_all, &QAction::triggered, this, &CZOQEDlg::OnSelectAll);
  connect(c.copy, &QAction::triggered, this, &CZOQEDlg::OnCopy);
  connect(c.history, &QAction::triggered, this, &CZOQEDlg::OnToggleHistory);
  connect(c.statistics, &QAction::triggered, this, &CZOQEDlg::OnStatistics);
  connect(c.about, &QAction::triggered, this, &CZOQEDlg::OnAbout);
  connect(c.open_text, &QAction::triggered, this, [this] { OnOpenPartAs(kViewText); });
  connect(c.open_binary, &QAction::triggered, this, [this] { OnOpenPartAs(kViewHex); });
  connect(c.open_default, &QAction::triggered, this,
          [this] { OnOpenPartAs(kViewDefaultProgram); });
  connect(c.export_files, &QAction::triggered, this, [this] {
    if (exporter_) exporter_(false);
  });
  connect(c.export_raw, &QAction::triggered, this, [this] {
    if (exporter_) exporter_(true);
  });
  connect(c.find, &QAction::triggered, this, [this] {
    if (finder_) finder_();
  });
  connect(c.enter_key, &QAction::triggered, this, [this] { item_viewer_->EnterKey(); });
  connect(c.new_package, &QAction::triggered, this, [this] { editor_->NewPackage(); });
  connect(c.save, &QAction::triggered, this, [this] { editor_->Save(); });
  connect(c.save_as, &QAction::triggered, this, [this] { editor_->SaveAs(); });
  connect(c.compact, &QAction::triggered, this, [this] { editor_->Compact(); });
  connect(c.add_files, &QAction::triggered, this, [this] { editor_->AddFiles(); });
  connect(c.add_folder, &QAction::triggered, this, [this] { editor_->AddFolder(); });
  connect(c.delete_items, &QAction::triggered, this, [this] { editor_->DeleteSelection(); });
  connect(c.rename, &QAction::triggered, this, [this] { editor_->RenameSelection(); });
  for (QWidget* view : {static_cast<QWidget*>(tree_view_), static_cast<QWidget*>(list_view_)}) {
    view->addAction(c.delete_items);
    view->addAction(c.rename);
  }
  for (QMenu* menu : {c.file_menu, c.edit_menu, c.view_menu, c.help_menu}) {
    connect(menu, &QMenu::aboutToShow, this, &CZOQEDlg::UpdateCommands);
  }
}

void CZOQEDlg::UpdateCommands() {
  const CommandTable& c = commands_;
  const bool open = document_->is_open();
  const bool text_shown = open && current_view() == View::kText;
  c.close->setEnabled(open);
  // Edits need a writable package and an item of its own tree, not of a
  // version.
  const bool writable = open && !document_->read_only();
  const TreeKind kind = PackageTreeModel::KindOf(CurrentTreeItem());
  const bool main_tree = writable && kind == kKindMainTree;
  // With nothing selected an add goes below the root.
  const bool addable = main_tree || (writable && kind == kKindNone);
  c.save->setEnabled(writable && document_->IsModified());
  c.save_as->setEnabled(open);
  c.compact->setEnabled(writable && !document_->is_new());
  c.add_files->setEnabled(addable);
  c.add_folder->setEnabled(addable);
  c.delete_items->setEnabled(main_tree);
  c.rename->setEnabled(main_tree);
  c.select_all->setEnabled(text_shown);
  c.copy->setEnabled(text_shown);
  // Find, the three open commands and export are carried out by the part
  // viewers and the export; without those the entries stay greyed.
  c.find->setEnabled(text_shown && finder_);
  c.history->setChecked(history_mode_);
  c.statistics->setEnabled(open);
  const bool viewers = static_cast<bool>(part_viewer_);
  for (QAction* action : {c.open_text, c.open_binary, c.open_default}) {
    action->setEnabled(open && viewers && item_commands_.open_enabled);
  }
  const bool exports = open && exporter_ && item_commands_.export_enabled;
  c.export_files->setEnabled(exports);
  c.export_raw->setEnabled(exports);
  c.help->setEnabled(false);
}

void CZOQEDlg::SetItemCommands(TreeKind tree_kind, Selection selection) {
  item_commands_ = ItemCommandRule(tree_kind, selection);
  UpdateCommands();
}

void CZOQEDlg::SetPartViewer(PartViewer viewer) {
  part_viewer_ = std::move(viewer);
  UpdateCommands();
}

void CZOQEDlg::SetExporter(Exporter exporter) {
  exporter_ = std::move(exporter);
  UpdateCommands();
}

void CZOQEDlg::SetFinder(Finder finder) {
  finder_ = std::move(finder);
  UpdateCommands();
}

void CZOQEDlg::SetXmlEditable(bool editable, const QString& part_path) {
  xml_editable_ = editable;
  current_part_path_ = part_path;
  edit_item_ = editable ? CurrentTreeItem() : nullptr;
}

void CZOQEDlg::SetPictureView(QWidget* view) {
  const bool shown = right_pane_->currentWidget() == picture_view_;
  right_pane_->removeWidget(picture_view_);
  delete picture_view_;
  picture_view_ = view;
  right_pane_->insertWidget(1, picture_view_);
  if (shown) right_pane_->setCurrentWidget(picture_view_);
}

void CZOQEDlg::SetTitle(const QString& file_name) {
  setWindowTitle(WindowTitle(file_name, InitialTitle()));
}

void CZOQEDlg::AddInfoPair(const QString& value, const QString& label) {
  info_panel_->AddPair(value, label);
}

void CZOQEDlg::ResetInfoPanel() {
  info_panel_->Reset();
  ShowView(View::kList);
}

void CZOQEDlg::ShowView(View view) {
  if (view != View::kPicture) {
    if (auto* picture = qobject_cast<CPictureCtrl*>(picture_view_)) picture->Release();
  }
  switch (view) {
    case View::kList:
      right_pane_->setCurrentWidget(list_view_);
      break;
    case View::kPicture:
      right_pane_->setCurrentWidget(picture_view_);
      break;
    case View::kText:
      right_pane_->setCurrentWidget(text_view_);
      break;
    case View::kNotice:
      right_pane_->setCurrentWidget(notice_);
      break;
  }
  UpdateCommands();
}

void CZOQEDlg::ShowNotice(const QString& text, std::vector<NoticeOffer> offers) {
  notice_->Set(text, std::move(offers));
  ShowView(View::kNotice);
}

QString CZOQEDlg::notice_text() const {
  return current_view() == View::kNotice ? notice_->text() : QString();
}

CZOQEDlg::View CZOQEDlg::current_view() const {
  QWidget* current = right_pane_->currentWidget();
  if (current == text_view_) return View::kText;
  if (current == picture_view_) return View::kPicture;
  if (current == notice_) return View::kNotice;
  return View::kList;
}

void CZOQEDlg::OnSelectAll() {
  if (current_view() == View::kText) text_view_->selectAll(true);
}

void CZOQEDlg::OnCopy() {
  if (current_view() == View::kText) text_view_->copy();
}

void CZOQEDlg::OnStatistics() {
  CountStatistics();
  CZOQEInfoDlg dialog(*stats_, this);
  dialog.exec();
}

void CZOQEDlg::OnAbout() {
  AboutDialog dialog(this);
  dialog.exec();
}

void CZOQEDlg::OnExit() { EndDialog(); }

bool CZOQEDlg::EndDialog() {
  if (!ClosePackage()) return false;
  done(QDialog::Accepted);
  return true;
}

void CZOQEDlg::closeEvent(QCloseEvent* event) {
  if (ClosePackage()) {
    event->accept();
    QDialog::closeEvent(event);
  } else {
    event->ignore();
  }
}

void CZOQEDlg::keyPressEvent(QKeyEvent* event) {
  // Enter and Escape that no control took end the program like Exit.
  if (IsEnterKey(event)) {
    accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

bool CZOQEDlg::TakeControlKey(QObject* watched, QKeyEvent* event) {
  if (watched == filter_edit_) {
    if (IsEnterKey(event)) {  // filter at once
      filter_timer_->stop();
      ApplyTreeFilter();
      return true;
    }
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
      // Clears the filter; in an empty box Escape does nothing at all.
      if (!filter_edit_->text().isEmpty()) {
        filter_edit_->clear();
        filter_timer_->stop();
        ApplyTreeFilter();
      }
      return true;
    }
    return false;
  }
  if (!IsEnterKey(event)) return false;
  if (watched == tree_view_) {
    if (tree_view_->currentIndex().isValid()) ActivateTreeItem();
    return true;
  }
  if (watched == list_view_) {
    const QModelIndex current = list_view_->currentIndex();
    if (current.isValid()) ActivateListRow(current.row());
    return true;
  }
  return false;
}

void CZOQEDlg::ActivateTreeItem() {
  expand_on_select_ = true;
  ShowSelection(false);
}

void CZOQEDlg::reject() { EndDialog(); }

void CZOQEDlg::accept() { EndDialog(); }

void CZOQEDlg::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void CZOQEDlg::dropEvent(QDropEvent* event) {
  QStringList paths;
  for (const QUrl& url : event->mimeData()->urls()) {
    if (url.isLocalFile()) paths << url.toLocalFile();
  }
  event->acceptProposedAction();
  const QString target = DropTarget(event->position().toPoint());
  // The drop's own event loop ends before the add asks or shows progress.
  QTimer::singleShot(0, this, [this, paths, target] { DropFiles(paths, target); });
}

QString CZOQEDlg::DropTarget(const QPoint& pos) const {
  if (!document_->is_open()) return QString();
  const QPoint in_tree = tree_view_->viewport()->mapFrom(this, pos);
  if (tree_view_->viewport()->rect().contains(in_tree)) {
    const TreeItem* item =
        tree_model_->ItemAt(tree_proxy_->mapToSource(tree_view_->indexAt(in_tree)));
    if (!item || PackageTreeModel::KindOf(item) != kKindMainTree) return QString();
    return item->data == 1 ? PackageTreeModel::FolderPath(item) : PackageTreeModel::PackagePath(item);
  }
  const QPoint in_list = list_view_->viewport()->mapFrom(this, pos);
  const TreeItem* listed = CurrentTreeItem();
  if (current_view() == View::kList && list_view_->viewport()->rect().contains(in_list) && listed &&
      PackageTreeModel::KindOf(listed) == kKindMainTree && listed->data == 0) {
    const QString folder = PackageTreeModel::PackagePath(listed);
    const QModelIndex index = list_view_->indexAt(in_list);
    if (index.isValid()) {
      const ListRow& row = list_model_->row(list_proxy_->mapToSource(index).row());
      if (row.is_folder && !row.is_parent_row()) return folder + row.name + QLatin1Char('/');
    }
    return folder;
  }
  return QString();
}

bool CZOQEDlg::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress &&
      TakeControlKey(watched, static_cast<QKeyEvent*>(event))) {
    return true;
  }
  // A click into the tree lets the folder it selects open itself.
  if (watched == tree_viewport_ && event->type() == QEvent::MouseButtonPress) {
    expand_on_select_ = true;
  }
  return QDialog::eventFilter(watched, event);
}

void CZOQEDlg::ApplyTreeFilter() {
  const QString text = filter_edit_->text().trimmed();
  const bool was_filtered = !tree_proxy_->name_filter().isEmpty();
  const QPersistentModelIndex current = tree_proxy_->mapToSource(tree_view_->currentIndex());
  if (!was_filtered && !text.isEmpty()) {
    // The tree as it is without a filter, to come back to when the filter
    // is cleared: the rows a filter hides lose their expanded state.
    unfiltered_expanded_.clear();
    std::vector<QModelIndex> pending{tree_proxy_->index(0, 0)};
    while (!pending.empty()) {
      const QModelIndex index = pending.back();
      pending.pop_back();
      if (!index.isValid() || !tree_view_->isExpanded(index)) continue;
      unfiltered_expanded_.append(tree_proxy_->mapToSource(index));
      for (int row = tree_proxy_->rowCount(index) - 1; row >= 0; --row) {
        pending.push_back(tree_proxy_->index(row, 0, index));
      }
    }
    unfiltered_current_ = current;
  }
  applying_filter_ = true;
  const bool keep_expanding = expand_on_select_;
  // Folders that were never opened hold their matches too.
  tree_model_->PopulateMatches(text);
  tree_proxy_->SetNameFilter(text);
  if (!text.isEmpty()) {
    tree_view_->expandAll();
  } else if (was_filtered) {
    tree_view_->collapseAll();
    tree_view_->expand(ProxyIndexOf(tree_model_->root()));
    for (const QPersistentModelIndex& index : std::as_const(unfiltered_expanded_)) {
      if (index.isValid()) tree_view_->expand(tree_proxy_->mapFromSource(index));
    }
    unfiltered_expanded_.clear();
  }
  expand_on_select_ = keep_expanding;
  // The item chosen stays current while it is shown; with the filter
  // cleared, the one current before the filter comes back when nothing
  // else was chosen meanwhile. A hidden item leaves no row current.
  QPersistentModelIndex keep = current;
  if (text.isEmpty() && !tree_proxy_->mapFromSource(keep).isValid()) keep = unfiltered_current_;
  const QModelIndex shown = tree_proxy_->mapFromSource(keep);
  // Selecting the item the right pane shows already does not show it again.
  applying_filter_ = !shown.isValid() || keep == shown_item_;
  if (shown.isValid()) {
    if (shown != tree_view_->currentIndex()) tree_view_->setCurrentIndex(shown);
    tree_view_->scrollTo(shown);
  } else {
    tree_view_->selectionModel()->clearCurrentIndex();
    tree_view_->clearSelection();
  }
  applying_filter_ = false;
}

QModelIndex CZOQEDlg::ProxyIndexOf(const TreeItem* item) const {
  return tree_proxy_->mapFromSource(tree_model_->IndexOf(item));
}

zoq::PathNode* CZOQEDlg::NodeAt(const QString& path, int version) const {
  if (!document_->is_open() || path.isEmpty()) return nullptr;
  if (version != 0 && recorded_) return recorded_->Find(path.toStdU16String());
  return document_->package()->GetNode(path.toStdU16String());
}

TreeItem* CZOQEDlg::CurrentTreeItem() const {
  return tree_model_->ItemAt(tree_proxy_->mapToSource(tree_view_->currentIndex()));
}

void CZOQEDlg::SelectTreeItem(const TreeItem* item) {
  QModelIndex index = ProxyIndexOf(item);
  if (!index.isValid() && item && !tree_proxy_->name_filter().isEmpty()) {
    // The filter hides the item: show the whole tree again.
    filter_edit_->clear();
    filter_timer_->stop();
    ApplyTreeFilter();
    index = ProxyIndexOf(item);
  }
  if (!index.isValid()) return;
  tree_view_->setCurrentIndex(index);
  tree_view_->scrollTo(index);
}

}  // namespace zoqe
