// The main window: the package tree on the left, the right pane (item list,
// picture view and text view sharing one place), the information strip
// under both, the menus and every flow that opens, shows and closes a
// package.
#pragma once

#include <QByteArray>
#include <QDialog>
#include <QList>
#include <QPersistentModelIndex>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

#include "app/command_table.h"
#include "app/notice_pane.h"
#include "app/package_document.h"
#include "app/package_tree_model.h"
#include "app/view/view_mode.h"
#include "zoq/container.h"

class QLineEdit;
class QModelIndex;
class QSplitter;
class QStackedWidget;
class QTimer;
class QTreeView;
class QsciScintilla;

namespace zoqe {

class HistoryTools;
class EditCommands;
class InfoPanel;
class ItemListModel;
class ItemViewer;
class ItemSortProxy;
class PackageTreeModel;
class RecordedTree;
class StatsTable;
class TreeFilterProxy;
class TypeTable;
struct TreeItem;

// What is selected, for the rule that enables the per-item commands.
enum class Selection { kNothing, kParentRow, kFolder, kPart };

struct ItemCommandState {
  bool export_enabled = false;  // export files, export raw data
  bool open_enabled = false;    // open as text, as binary, with default program
};

// Export needs a folder or part of the main tree or of a version's tree;
// the open commands need a part there.
ItemCommandState ItemCommandRule(TreeKind tree_kind, Selection selection);

class CZOQEDlg : public QDialog {
  Q_OBJECT

 public:
  enum class View { kList, kPicture, kText, kNotice };
  // Hook for the part viewers: (package path, version, read-only, report
  // errors, view mode) -> shown.
  using PartViewer = std::function<bool(const QString&, int, bool, bool, ViewMode)>;
  // Hooks for export (raw flag) and for the find dialog.
  using Exporter = std::function<void(bool)>;
  using Finder = std::function<void()>;

  static const QString& InitialTitle();

  explicit CZOQEDlg(QWidget* parent = nullptr, const QString& work_folder = QString());
  ~CZOQEDlg() override;

  // Opens a package file (closing the open one first); a revision limit
  // above 0 opens it read-only as it was at that revision. Returns whether
  // it is open afterwards.
  bool OpenPackage(const QString& path, bool read_only, int revision_limit = 0);
  // Returns false when the user cancelled.
  bool ClosePackage();
  void SetTitle(const QString& file_name);
  void AddInfoPair(const QString& value, const QString& label);
  void ResetInfoPanel();
  void ShowView(View view);
  // Shows one line in the right pane instead of the list or a viewer, with
  // a button per offer.
  void ShowNotice(const QString& text, std::vector<NoticeOffer> offers = {});
  QString notice_text() const;
  // What a drop of files does: the first package file among them opens and
  // nothing is added; otherwise, with a package open, they are added below
  // the package folder `target` (empty: the selected folder); with none, a
  // new package is offered for them.
  void DropFiles(const QStringList& paths, const QString& target = QString());

  // Commands.
  void OnOpen();
  void OnClose();
  void OnExit();
  void OnSelectAll();
  void OnCopy();
  void OnToggleHistory();
  void OnStatistics();
  void OnAbout();
  // Open as text, as hex dump or with the default program: the part
  // selected in the tree, or the single part row selected in the list.
  void OnOpenPartAs(ViewMode view_mode);
  // Evaluates every command's enabled state.
  void UpdateCommands();

  // Programs started on extracted parts (process ids) and extracted files
  // that stay on disk while in use; both are settled at close.
  void AddProcess(qint64 pid);
  void AddTempFile(const QString& path);

  void SetPartViewer(PartViewer viewer);
  void SetExporter(Exporter exporter);
  void SetFinder(Finder finder);
  // Set by the part viewers: the text view holds an XML part being edited.
  void SetXmlEditable(bool editable, const QString& part_path);
  // Before the text view's XML edit is left: when it holds unsaved changes,
  // asks whether to store them; Yes stores them in the package as a new
  // version of the part. Returns false when they could not be stored (the
  // edit then stays as it is); otherwise the edit is over.
  bool SettleXmlEdit();

  // The open package with its file, key and document type.
  PackageDocument* document() const { return document_; }
  // New package, adding, deleting, renaming and saving.
  EditCommands* editor() const { return editor_; }
  // Shows the open package: title, tree (with the history subtree in
  // history mode), root selected.
  void ShowPackage();
  View current_view() const;

  // What the viewers, the export and drags out of the window work on.
  InfoPanel* info_panel() const { return info_panel_; }
  // The part viewers, find and key entry.
  ItemViewer* item_viewer() const { return item_viewer_; }
  // Comparing, restoring and searching the package's content.
  HistoryTools* history_tools() const { return history_tools_; }
  // The menus and actions, and the splitter of the tree and the right
  // pane (the history tools add to both).
  const CommandTable& commands() const { return commands_; }
  QSplitter* splitter() const { return splitter_; }
  QTreeView* tree_view() const { return tree_view_; }
  QTreeView* list_view() const { return list_view_; }
  QsciScintilla* text_view() const { return text_view_; }
  QStackedWidget* right_pane() const { return right_pane_; }
  PackageTreeModel* tree_model() const { return tree_model_; }
  ItemListModel* list_model() const { return list_model_; }
  ItemSortProxy* list_proxy() const { return list_proxy_; }

  // The node of a package path as the selection sees it: inside a
  // version (version above 0) the node among every part the package has
  // recorded, deleted ones included; else the package's own node. Null
  // when there is none.
  zoq::PathNode* NodeAt(const QString& path, int version) const;

  // Tree helpers (source model items).
  TreeItem* CurrentTreeItem() const;
  void SelectTreeItem(const TreeItem* item);
  // Puts the picture view (made by the viewers) into the right pane.
  void SetPictureView(QWidget* view);

  // List events, also driven by tests.
  void ClickListColumn(int column);
  void ActivateListRow(int proxy_row);
  // What a double-click on the current tree item does (also Enter in the
  // tree): the item is shown with editing allowed and a folder opens.
  void ActivateTreeItem();
  void ShowSelection(bool read_only);

 protected:
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void reject() override;
  void accept() override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  // A language switch: the texts are set again once the event loop runs
  // (one pass for the several events a switch sends).
  void changeEvent(QEvent* event) override;

 private:
  // Every text of the window in the language installed now: menus and
  // commands, the list's headings, the title, type names, and what the
  // selection shows (the strip, the list, notices). A part shown in the
  // text or picture view stays as it is, an XML edit under way included.
  void Retranslate();
  void RetranslateShown();
  // The title of the open package (its name, or the version opened
  // read-only).
  void ShowTitle();
  // What ShowSelection shows for `item`, without settling an XML edit or
  // switching the right pane first.
  void ShowItem(TreeItem* item, bool read_only);
  void BuildLayout();
  void ConnectCommands();
  // Shows the package again after a change, the same item selected when it
  // is still there.
  void RefreshPackage();
  // The package folder under a drop position (window coordinates): the
  // folder item or row there, a part's folder; empty when none.
  QString DropTarget(const QPoint& pos) const;
  // The numbers of parts and folders below the root, for the root's pairs.
  void CountTree(zoq::PathNode* root);
  // Fills the statistics table (every part's stored size by type) when it
  // is first needed.
  void CountStatistics();
  void ShowPartSelection(TreeItem* item, zoq::PathNode* node, const QString& path, int version,
                         TreeKind kind, bool read_only);
  // Lists the children of `listed` (the selected item, or a version's "/"
  // when a version item is selected) as they were at `version`.
  void ShowFolderSelection(TreeItem* item, TreeItem* listed, zoq::PathNode* node, int version,
                           TreeKind kind);
  // "History" lists its versions; a version item its version's "/".
  void ShowHistorySelection(TreeItem* item);
  // A part deleted at the shown version: says so, offering the version
  // before.
  void ShowDeletedPart(const TreeItem* item, const zoq::PartInfo& info, int shown);
  void FillHistory();
  void OnListSelectionChanged();
  void SetItemCommands(TreeKind tree_kind, Selection selection);
  bool AskXmlEditSave();
  void ShowTreeContextMenu(const QPoint& pos);
  void ShowListContextMenu(const QPoint& pos);
  void ApplyTreeFilter();
  bool EndDialog();
  // Keys the filter box, the tree and the list use themselves: Enter and
  // Escape in the filter box, Enter on a tree item or list row. Returns
  // whether the key was taken.
  bool TakeControlKey(QObject* watched, QKeyEvent* event);
  QModelIndex ProxyIndexOf(const TreeItem* item) const;
  bool OpenWithDialog(bool* read_only, QString* path);
  bool SaveModified();

  PackageDocument* document_ = nullptr;
  EditCommands* editor_ = nullptr;
  // In history mode: every part the package has recorded (the nodes of the
  // version subtrees).
  std::unique_ptr<RecordedTree> recorded_;
  int64_t part_total_ = 0;
  int64_t folder_total_ = 0;  // the root not counted
  bool stats_counted_ = false;
  bool expand_on_select_ = false;
  bool history_mode_ = false;
  bool xml_editable_ = false;
  QString current_part_path_;
  const TreeItem* edit_item_ = nullptr;  // tree item current when the XML edit began
  bool keeping_edit_ = false;            // the selection moves back to the edited part
  QStringList temp_files_;
  QList<qint64> processes_;
  bool list_guard_ = true;  // false while the list is filled or sorted
  bool retranslate_queued_ = false;
  ItemCommandState item_commands_;
  PartViewer part_viewer_;
  Exporter exporter_;
  Finder finder_;

  // Models.
  std::unique_ptr<TypeTable> types_;
  std::unique_ptr<StatsTable> stats_;
  PackageTreeModel* tree_model_ = nullptr;
  TreeFilterProxy* tree_proxy_ = nullptr;
  ItemListModel* list_model_ = nullptr;
  ItemSortProxy* list_proxy_ = nullptr;

  // Widgets.
  CommandTable commands_;
  QSplitter* splitter_ = nullptr;
  QLineEdit* filter_edit_ = nullptr;
  QTimer* filter_timer_ = nullptr;
  // While a filter is applied: the tree's expanded items and current item
  // as they were before it (source model), restored when it is cleared.
  QList<QPersistentModelIndex> unfiltered_expanded_;
  QPersistentModelIndex unfiltered_current_;
  QPersistentModelIndex shown_item_;  // the tree item the right pane shows
  bool applying_filter_ = false;
  QTreeView* tree_view_ = nullptr;
  QObject* tree_viewport_ = nullptr;
  QStackedWidget* right_pane_ = nullptr;
  QTreeView* list_view_ = nullptr;
  QWidget* picture_view_ = nullptr;
  QsciScintilla* text_view_ = nullptr;
  NoticePane* notice_ = nullptr;
  InfoPanel* info_panel_ = nullptr;
  ItemViewer* item_viewer_ = nullptr;
  HistoryTools* history_tools_ = nullptr;
};

}  // namespace zoqe
