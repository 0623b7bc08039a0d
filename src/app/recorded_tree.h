// Every part a package has recorded, deleted ones included, as a tree of
// path nodes. The package's own tree holds only what exists now; the
// history subtree and everything done inside a version (lists, viewing,
// export, dragging out) walk this one, so that parts deleted later can
// still be reached under the versions where they have records.
#pragma once

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "zoq/container.h"

namespace zoqe {

class RecordedNode : public zoq::PathNode {
 public:
  RecordedNode(std::u16string name, RecordedNode* parent, bool folder);

  std::u16string GetName() const override { return name_; }
  bool HasChildren() const override { return !children_.empty(); }
  bool IsRoot() const override { return parent_ == nullptr; }
  bool IsFolder() const override { return folder_; }
  zoq::PathNode* GetParent() const override { return parent_; }
  zoq::PathNode* FirstChild() override;
  zoq::PathNode* NextChild() override;
  zoq::PathNode* FindChild(const std::u16string& name) override;
  // The tree is built once and then only read.
  zoq::Status AddPartChild(const std::u16string&, zoq::PathNode**) override { return zoq::kNotSupported; }
  zoq::Status AddFolderChild(const std::u16string&, zoq::PathNode**) override {
    return zoq::kNotSupported;
  }
  zoq::Status RemoveChild(const std::u16string&) override { return zoq::kNotSupported; }
  std::u16string GetPath() const override;
  std::vector<zoq::PathNode*> Children() const override;

 private:
  friend class RecordedTree;
  RecordedNode* Child(const std::u16string& name, bool folder);

  std::u16string name_;
  RecordedNode* parent_;
  bool folder_;
  std::vector<std::unique_ptr<RecordedNode>> children_;
  std::unordered_map<std::u16string, RecordedNode*> by_name_;
  size_t cursor_ = 0;
};

class RecordedTree {
 public:
  // The tree of every part path the package has recorded, in the order they
  // were first stored. A package that cannot list them gives the tree of
  // the parts that exist now.
  static std::unique_ptr<RecordedTree> Build(zoq::Container* package);
  // From a list of part paths ("/a/b.txt"); a path that runs through a part
  // is left out.
  explicit RecordedTree(const std::vector<std::u16string>& part_paths);

  RecordedNode* root() { return &root_; }
  // The node of a package path ("/a/" or "/a" for a folder), or null.
  RecordedNode* Find(const std::u16string& path);

 private:
  RecordedNode root_;
};

}  // namespace zoqe
