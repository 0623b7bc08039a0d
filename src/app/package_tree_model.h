// The package tree shown on the left: the root "/" with the package's
// folders and parts, and in revision history mode a second top item
// "History" with one subtree per package version. Items carry their name,
// their item data (0 folders and the history items, 1 parts) and their type
// image.
#pragma once

#include <QAbstractItemModel>
#include <QHash>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

#include "zoq/container.h"

namespace zoqe {

class TypeTable;

class PackageTreeModel;

struct TreeItem {
  QString name;
  int data = 0;   // 0 folder-like, 1 part
  int image = 1;  // type image of a part; folders use the folder icon
  TreeItem* parent = nullptr;
  int row = 0;
  bool beside_folder = false;  // a part beside a folder of the same name
  // A folder of the main tree whose children are made from its package
  // node when they are first needed (expanding it, listing it, looking a
  // name up in it); null once they are made, and for every other item.
  zoq::PathNode* pending = nullptr;
  // The model of a top item ("/", "History"), through which the items
  // below it make their children.
  PackageTreeModel* model = nullptr;
  std::vector<std::unique_ptr<TreeItem>> children;
  // Children with item data 0 by name, for the lookups of the history fill.
  QHash<QString, TreeItem*> folder_children;
};

// Where an item lies (found by walking up to a top item).
enum TreeKind : int {
  kKindVersionTree = 0,  // inside a version's tree under "History"
  kKindMainTree = 1,     // under the root "/"
  kKindHistory = 2,      // "History" itself or a version item
  kKindNone = 3,         // no item, or no top item reached
};

class PackageTreeModel : public QAbstractItemModel {
  Q_OBJECT

 public:
  explicit PackageTreeModel(TypeTable* types, QObject* parent = nullptr);
  ~PackageTreeModel() override;

  // Removes every item and inserts a new root "/"; forgets "History".
  void Reset();
  // Shows a package under the root: the root's children, and theirs, are
  // made from the package's nodes when first needed, so that a package of
  // any size opens at once. The package must outlive its items (Reset).
  void SetPackage(zoq::Container* package, zoq::PathNode* root);
  // Makes the children of an item that has not made them yet.
  void Populate(TreeItem* item);
  // The item's children, made first when needed.
  static const std::vector<std::unique_ptr<TreeItem>>& ChildrenOf(TreeItem* item);
  // Makes the items down to every main-tree item whose name contains
  // `text` (any case), so that a filter over the model finds them all.
  void PopulateMatches(const QString& text);

  // Bulk filling: items added between BeginFill and EndFill are announced
  // to the views once, which keeps a large package fast to show.
  void BeginFill();
  void EndFill();
  // Inserts at the end of parent's children (parent null: top level).
  TreeItem* AddItem(TreeItem* parent, const QString& name, int data, int image = 1);
  // The child of `parent` with item data 0 and this name, or null (the
  // children are made first when needed).
  static TreeItem* FindFolderChild(TreeItem* parent, const QString& name);

  // Adds a part to the history subtree: under each version v + 1 of its
  // revision list, at its package path ("/a/b.txt"), with `image`; under
  // the newest version with `newest_image` (a part deleted since shows
  // there as deleted). Creates "History" with its version items
  // 1..revision_count when missing. Call between BeginFill/EndFill.
  void AddToHistory(const QString& path, const std::vector<int>& revisions, int revision_count,
                    int image, int newest_image);

  // The item whose children the item list shows when `item` is selected:
  // a version item's "/" (null when the version has none), else the item.
  static TreeItem* ListedItem(TreeItem* item);

  // The item at a package path ("/a/b.txt", "/a/") under version item
  // `version` of `history`, or null.
  static TreeItem* FindHistoryItem(TreeItem* history, int version, const QString& path);

  // Main-tree items for which this answers true (given the package path)
  // show in italics: parts and folders with unsaved changes.
  void SetChangedTest(std::function<bool(const QString&)> test) { changed_ = std::move(test); }

  TreeItem* root() const { return root_; }
  TreeItem* history() const { return history_; }

  static TreeKind KindOf(const TreeItem* item);
  // "/a/b/" for a folder, "/a/b/c.xml" for a part, "/" for an item named
  // "/"; empty when no item named "/" lies above.
  static QString PackagePath(const TreeItem* item);
  // The folder part of the package path, with its trailing "/".
  static QString FolderPath(const TreeItem* item);
  // 0 in the main tree, k inside the tree of version item k.
  static int VersionOf(const TreeItem* item);

  TreeItem* ItemAt(const QModelIndex& index) const;
  QModelIndex IndexOf(const TreeItem* item) const;
  // Items made so far.
  int item_count() const { return item_count_; }

  QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
  QModelIndex parent(const QModelIndex& index) const override;
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  bool hasChildren(const QModelIndex& parent = {}) const override;
  bool canFetchMore(const QModelIndex& parent) const override;
  void fetchMore(const QModelIndex& parent) override;

 private:
  TreeItem* Insert(TreeItem* parent, std::unique_ptr<TreeItem> item);

  // Returns whether a name below `node` matches, and makes the items down
  // to each match; `item_of_node` gives node's item (making it if need be).
  bool PopulateMatchesBelow(zoq::PathNode* node, const std::function<TreeItem*()>& item_of_node,
                            const QString& text);

  TypeTable* types_;
  zoq::Container* package_ = nullptr;
  std::vector<std::unique_ptr<TreeItem>> top_;
  TreeItem* root_ = nullptr;
  TreeItem* history_ = nullptr;
  std::function<bool(const QString&)> changed_;
  int filling_ = 0;
  int item_count_ = 0;
};

}  // namespace zoqe
