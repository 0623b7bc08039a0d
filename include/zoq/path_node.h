// One node of a package's folder tree. The Container owns the tree; a node
// pointer stays valid until the package is closed, reopened or changed.
//
// A folder's children are found by name. A package made elsewhere may hold
// a part and a folder of the same name (paths "/a" and "/a/b"): then both
// are children of their folder, side by side in tree order, and each
// finds the other through OtherOfSameName. A name then finds the part
// (FindChild, and the path "/a" in Container::GetNode); the path "/a/"
// finds the folder. This library never stores such a pair itself.
#pragma once

#include <string>
#include <vector>

#include "zoq/export.h"
#include "zoq/result.h"
#include "zoq/utf.h"

namespace zoq {

class ZOQ_EXPORT PathNode {
 public:
  virtual ~PathNode() = default;

  // The node's own name: "/" for the root, else the last path component.
  virtual std::u16string GetName() const = 0;
  virtual bool HasChildren() const = 0;
  virtual bool IsRoot() const = 0;
  virtual bool IsFolder() const = 0;
  // The parent, null for the root.
  virtual PathNode* GetParent() const = 0;
  // Child iteration in tree order (insertion order) through the node's
  // cursor; null after the last child. Not for concurrent use on one node:
  // threads that share a tree use Children() instead.
  virtual PathNode* FirstChild() = 0;
  virtual PathNode* NextChild() = 0;
  // Exact, case-sensitive lookup of a direct child (the part, when a part
  // and a folder share the name).
  virtual PathNode* FindChild(const std::u16string& name) = 0;
  // Adds a part at the end of the children (or returns the part of that
  // name). Empty name or a folder of that name: 5051.
  virtual Status AddPartChild(const std::u16string& name, PathNode** out) = 0;
  // Returns the child of that name (the folder, when a part and a folder
  // share it) or adds a folder at the end. Empty name: 5051.
  virtual Status AddFolderChild(const std::u16string& name, PathNode** out) = 0;
  // Removes and destroys the child that FindChild finds, with its subtree.
  // Empty name: 5052; a missing name is not an error.
  virtual Status RemoveChild(const std::u16string& name) = 0;
  // The full package path: "/" for the root, folders end with "/".
  virtual std::u16string GetPath() const = 0;
  // The children in tree order, without touching the cursor.
  virtual std::vector<PathNode*> Children() const = 0;
  // Appends the node's own name to `out` as UTF-8 (for listings that print
  // many names; the package tree's nodes do it without a copy).
  virtual void AppendNameUtf8(std::string* out) const { AppendUtf16ToUtf8Lenient(GetName(), out); }
  // For a part beside a folder of the same name, that folder, and the other
  // way round; null otherwise.
  virtual PathNode* OtherOfSameName() const { return nullptr; }
};

}  // namespace zoq
