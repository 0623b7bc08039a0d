// The folder tree of a package: nodes that keep their children in insertion
// order and find them by name.
#pragma once

#include <unordered_map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "package/path_node.h"

namespace zoq {

class TreeNode : public PathNode {
 public:
  // The root: a folder named "/".
  TreeNode();
  TreeNode(std::u16string name, TreeNode* parent, bool folder);
  ~TreeNode() override;

  std::u16string GetName() const override { return name_; }
  bool HasChildren() const override { return !children_.empty(); }
  bool IsRoot() const override { return parent_ == nullptr; }
  bool IsFolder() const override { return folder_; }
  PathNode* GetParent() const override { return parent_; }
  PathNode* FirstChild() override;
  PathNode* NextChild() override;
  PathNode* FindChild(const std::u16string& name) override;
  int AddPartChild(const std::u16string& name, PathNode** out) override;
  int AddFolderChild(const std::u16string& name, PathNode** out) override;
  int RemoveChild(const std::u16string& name) override;
  std::u16string GetPath() const override;
  std::vector<PathNode*> Children() const override;

  // Lookup and adding by a name view, without copying the name.
  TreeNode* Find(std::u16string_view name) const;
  // Adds a child of the kind asked for, or returns the one of that name;
  // null when a part of that name exists where a folder is wanted or the
  // other way round.
  TreeNode* Ensure(std::u16string_view name, bool folder);

 private:
  TreeNode* Append(std::u16string_view name, bool folder);

  std::u16string name_;
  TreeNode* parent_ = nullptr;
  bool folder_ = true;
  std::vector<std::unique_ptr<TreeNode>> children_;  // insertion order
  // Keys view the children's own names, which live as long as the children.
  std::unordered_map<std::u16string_view, TreeNode*> by_name_;
  size_t cursor_ = 0;
};

// Adds a normalized path below the root: folders for every component but
// the last, a part for the last (folders only for a path ending with "/").
// 5050 for a path without the leading "/", 5051 when a node cannot be added.
int AddPathToTree(TreeNode* root, const std::u16string& path, PathNode** out);

// Walks a normalized path from the root; null when a component is missing.
PathNode* FindPathInTree(const TreeNode* root, const std::u16string& path);

}  // namespace zoq
