// The folder tree of a package: nodes that keep their children in insertion
// order and find them by name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "package/path_index.h"
#include "zoq/path_node.h"
#include "package/path_pool.h"

namespace zoq {

class TreeIndex;

class TreeNode : public PathNode {
 public:
  // The root: a folder named "/", owning the tree's index.
  TreeNode();
  // A node below the root; made by the index only. A folder has `kids`.
  struct Kids;
  TreeNode(std::u16string_view name, TreeNode* parent, Kids* kids);
  ~TreeNode() override;
  TreeNode(const TreeNode&) = delete;
  TreeNode& operator=(const TreeNode&) = delete;

  std::u16string GetName() const override { return std::u16string(name()); }
  bool HasChildren() const override { return folder() && !kids_->list.empty(); }
  bool IsRoot() const override { return parent_ == nullptr; }
  bool IsFolder() const override { return folder(); }
  PathNode* GetParent() const override { return parent_; }
  PathNode* FirstChild() override;
  PathNode* NextChild() override;
  PathNode* FindChild(const std::u16string& name) override;
  Status AddPartChild(const std::u16string& name, PathNode** out) override;
  Status AddFolderChild(const std::u16string& name, PathNode** out) override;
  Status RemoveChild(const std::u16string& name) override;
  std::u16string GetPath() const override;
  std::vector<PathNode*> Children() const override;
  void AppendNameUtf8(std::string* out) const override;
  PathNode* OtherOfSameName() const override;

  std::u16string_view name() const {
    return {reinterpret_cast<const char16_t*>(name_ & ~uintptr_t{1}),
            folder() ? kids_->name_length : part_.name_length};
  }
  TreeNode* parent() const { return parent_; }
  bool folder() const { return (name_ & 1) != 0; }
  // Lookup and adding by a name view, without copying the name. Find
  // answers the part of that name, else the folder.
  TreeNode* Find(std::u16string_view name) const;
  TreeNode* Find(std::u16string_view name, bool folder) const;
  // Adds a child of the kind asked for, or returns the one of that kind and
  // name. When only one of the other kind has that name: null, unless
  // `beside` (a package made elsewhere may hold a part and a folder of one
  // name: both get a node). A new node copies its name, unless `view`: then
  // the name's text must outlive the tree.
  TreeNode* Ensure(std::u16string_view name, bool folder, bool view = false, bool beside = false);
  // Removes and destroys a child and its subtree.
  void Remove(TreeNode* child);
  // Room in the index for this many nodes (a tree about to be filled).
  void ReserveNodes(size_t count);

  // What a folder has beyond a part: its children and the tree's index,
  // and the facts a part keeps in its node.
  struct Kids {
    std::vector<TreeNode*> list;  // insertion order
    TreeIndex* index = nullptr;
    uint32_t cursor = 0;
    uint32_t name_length = 0;
    bool twin = false;
  };

 private:
  TreeNode* Append(std::u16string_view name, bool folder, size_t hash, bool view = false);
  // Takes the child and its subtree out of the index.
  void Unindex(TreeNode* node);

  bool twin() const { return folder() ? kids_->twin : part_.twin; }
  void SetTwin() { (folder() ? kids_->twin : part_.twin) = true; }

  // A large package has a node for every part: a part's node is 32 bytes.
  // The name's text lies in the index's pool or the package's paths ("/"
  // for the root); its address, aligned to two, carries in its lowest bit
  // whether the node is a folder. A folder's name length and mark sit
  // with its children, a part's in place of them.
  TreeNode* parent_ = nullptr;
  uintptr_t name_;
  struct PartFacts {
    uint32_t name_length;
    // Set on both nodes when a part and a folder of one name were made
    // beside each other; stays set after one goes, so it means "look up".
    // Listing asks every node for the other of its name; without this a
    // large tree pays a table lookup per node for a case that is rare.
    bool twin;
  };
  union {
    Kids* kids_;       // a folder's
    PartFacts part_;   // a part's
  };
};

// What the nodes of one tree share: the nodes below the root, their names,
// the folders' child lists and one lookup table keyed by (parent, name).
// One open-addressing table of node numbers for the whole tree, instead of
// a map per folder, keeps building a large tree to a few allocations.
class TreeIndex {
 public:
  static size_t Hash(const TreeNode* parent, std::u16string_view name);
  // Find and Make with the Hash of (parent, name) computed once. Find
  // answers the node of the kind asked for (kEither: the part, else the
  // folder).
  enum Kind { kEither, kFolder, kPart };
  // When no node of the kind asked for (kFolder or kPart) is found,
  // `*other` gets the node of that name of the other kind, if any.
  TreeNode* Find(const TreeNode* parent, std::u16string_view name, size_t hash,
                 Kind kind = kEither, TreeNode** other = nullptr) const;
  // The node's name is copied into the index, unless `view`.
  TreeNode* Make(TreeNode* parent, std::u16string_view name, bool folder, size_t hash, bool view);
  void Forget(const TreeNode* node);
  void Reserve(size_t nodes);
  // The root's list of children.
  TreeNode::Kids* RootKids();

 private:
  // A cell of four bytes: a node's number in nodes_ plus one (0 marks an
  // empty cell) in the bits below the table's size, which it never reaches
  // (the table is at least twice as large as nodes_), and above them bits
  // of the hash, so that a probe looks at a node only when they agree.
  // Those low bits all set mark a node that left.
  uint32_t Mask() const { return static_cast<uint32_t>(cells_.size() - 1); }
  uint32_t Tag(size_t hash) const { return static_cast<uint32_t>(uint64_t{hash} >> 32) & ~Mask(); }
  TreeNode* Node(uint32_t cell) const {
    return const_cast<TreeNode*>(&nodes_[(cell & Mask()) - 1]);
  }
  bool Removed(uint32_t cell) const { return (cell & Mask()) == Mask(); }
  void Grow(size_t capacity);
  void Place(uint32_t number, size_t hash);

  PathPool names_;
  std::deque<TreeNode> nodes_;       // elements never move
  std::deque<TreeNode::Kids> kids_;  // the folders' (the root's first)
  std::vector<uint32_t> cells_;  // a power of two in size, at most half full
};

// Adds a normalized path below the root: folders for every component but
// the last, a part for the last (folders only for a path ending with "/").
// 5050 for a path without the leading "/", 5051 when a node cannot be added
// (a folder wanted where a part of that name stands, or the other way
// round, unless `beside`: see TreeNode::Ensure). With `view`, new nodes view
// their names in `path`, which must then outlive the tree.
Status AddPathToTree(TreeNode* root, std::u16string_view path, PathNode** out, bool view = false,
                  bool beside = false);

// Fills a new tree with the paths of a package as it was read: remembers
// the node of every folder path met, so that a part whose folder is known
// is added with one lookup instead of a walk from the root. A part and a
// folder of one name both join the tree.
class TreeBuilder {
 public:
  // The paths handed to Add must outlive the tree: its nodes view their
  // names in them.
  TreeBuilder(TreeNode* root, size_t paths);
  // As AddPathToTree.
  Status Add(std::u16string_view path);

 private:
  TreeNode* root_;
  // Folder paths (ending with "/") met, and the node of each by its id.
  PathIndex folders_;
  std::vector<TreeNode*> folder_nodes_;
};

// Walks a normalized path from the root; null when a component is missing.
// Every component but the last names a folder; the last names the folder
// when the path ends with "/", else the part of that name, or the folder
// when there is no such part.
PathNode* FindPathInTree(const TreeNode* root, std::u16string_view path);

}  // namespace zoq
