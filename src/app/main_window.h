// The main window: the package tree on the left, the right pane (item list,
// picture view and text view sharing one place), the information strip
// under both, the menus and every flow that opens, shows and closes a
// package.
#pragma once

#include <QByteArray>
#include <QDialog>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

#include "app/command_table.h"
#include "app/notice_pane.h"
#include "zoq/container.h"
#include "zoq/decode_options.h"

class QLineEdit;
class QModelIndex;
class QSplitter;
class QStackedWidget;
class QTimer;
class QTreeView;
class QsciScintilla;

namespace zoqe {

class HistoryTools;
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
ItemCommandState ItemCommandRule(int tree_kind, Selection selection);

class CZOQEDlg : public QDialog {
  Q_OBJECT

 public:
  enum class View { kList, kPicture, kText, kNotice };
  using ContainerFactory = std::function<int(const zoq::ContainerOptions&, zoq::Container**)>;
  // Hook for the part viewers: (package path, version, read-only, report
  // errors, view mode) -> shown.
  using PartViewer = std::function<bool(const QString&, int, bool, bool, int)>;
  // Hooks for export (raw flag) and for the find dialog.
  using Exporter = std::function<void(bool)>;
  using Finder = std::function<void()>;
  // View modes the open commands ask the viewer for.
  static constexpr int kViewText = 3;
  static constexpr int kViewHex = 5;
  static constexpr int kViewDefaultProgram = 6;

  static const QString& InitialTitle();

  explicit CZOQEDlg(QWidget* parent = nullptr, const QString& work_folder = QString());
  ~CZOQEDlg() override;

  // Opens a package file (closing the open one first). Returns whether it
  // is open afterwards.
  bool OpenPackage(const QString& path, bool read_only);
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
  void DropFiles(const QStringList& paths);

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
  void OnOpenPartAs(int view_mode);
  // Evaluates every command's enabled state.
  void UpdateCommands();

  // Programs started on extracted parts (process ids) and extracted files
  // that stay on disk while in use; both are settled at close.
  void AddProcess(qint64 pid);
  void AddTempFile(const QString& path);

  void SetContainerFactory(ContainerFactory factory);
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
  bool xml_editable() const { return xml_editable_; }
  const QString& current_part_path() const { return current_part_path_; }
  // The decryption key handed to every extraction: none until one is
  // entered; it survives closing and opening packages. At most 256 bytes
  // are kept; a length of 0 is a key that was entered empty.
  void SetKey(const QByteArray& key);
  const zoq::KeyInfo* key_info() const { return key_set_ ? &key_info_ : nullptr; }
  // The document type the package was given (PLIV detection, or a document
  // version chosen with the key).
  void SetDocumentCodes(int subset, int version);

  // State, for the viewers and for tests.
  zoq::Container* package() const { return package_.get(); }
  bool read_only() const { return read_only_; }
  bool history_mode() const { return history_mode_; }
  int subset_code() const { return subset_code_; }
  int version_code() const { return version_code_; }
  const QString& file_name() const { return file_name_; }
  const QString& package_folder() const { return package_folder_; }
  const QString& work_folder() const { return work_folder_; }
  const QString& program_folder() const { return program_folder_; }
  ItemCommandState item_commands() const { return item_commands_; }
  const CommandTable& commands() const { return commands_; }
  View current_view() const;

  InfoPanel* info_panel() const { return info_panel_; }
  // The part viewers, find and key entry.
  ItemViewer* item_viewer() const { return item_viewer_; }
  // Comparing, restoring and searching the package's content.
  HistoryTools* history_tools() const { return history_tools_; }
  QTreeView* tree_view() const { return tree_view_; }
  QTreeView* list_view() const { return list_view_; }
  QLineEdit* filter_edit() const { return filter_edit_; }
  QSplitter* splitter() const { return splitter_; }
  QsciScintilla* text_view() const { return text_view_; }
  QStackedWidget* right_pane() const { return right_pane_; }
  PackageTreeModel* tree_model() const { return tree_model_; }
  ItemListModel* list_model() const { return list_model_; }
  ItemSortProxy* list_proxy() const { return list_proxy_; }
  TypeTable& types() const { return *types_; }

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

 private:
  void BuildLayout();
  void ConnectCommands();
  // The numbers of parts and folders below the root, for the root's pairs.
  void CountTree(zoq::PathNode* root);
  // Fills the statistics table (every part's stored size by type) when it
  // is first needed.
  void CountStatistics();
  void ShowPartSelection(TreeItem* item, zoq::PathNode* node, const QString& path, int version,
                         int kind, bool read_only);
  // Lists the children of `listed` (the selected item, or a version's "/"
  // when a version item is selected) as they were at `version`.
  void ShowFolderSelection(TreeItem* item, TreeItem* listed, zoq::PathNode* node, int version,
                           int kind);
  // "History" lists its versions; a version item its version's "/".
  void ShowHistorySelection(TreeItem* item);
  // A part deleted at the shown version: says so, offering the version
  // before.
  void ShowDeletedPart(const TreeItem* item, const zoq::PartInfo& info, int shown);
  void FillHistory();
  void OnListSelectionChanged();
  void SetItemCommands(int tree_kind, Selection selection);
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

  // Package state.
  std::unique_ptr<zoq::Container> package_;
  // In history mode: every part the package has recorded (the nodes of the
  // version subtrees).
  std::unique_ptr<RecordedTree> recorded_;
  QString file_name_;
  QString package_folder_;
  bool read_only_ = false;
  int subset_code_ = 0;
  int version_code_ = 0;
  QString program_folder_;
  QString work_folder_;
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
  ItemCommandState item_commands_;
  ContainerFactory container_factory_;
  PartViewer part_viewer_;
  Exporter exporter_;
  Finder finder_;
  unsigned char key_bytes_[256] = {};
  zoq::KeyInfo key_info_;
  bool key_set_ = false;

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
