#include "package/path_tree.h"

#include <algorithm>
#include <cstdint>

#include "zoq/codes.h"

namespace zoq {
namespace {

// Calls `visit(component, is_last)` for every non-empty component of a
// path ("/a/b/c": a, b, c); stops when it returns false.
template <typename Visit>
bool ForEachComponent(std::u16string_view path, Visit visit) {
  size_t start = 1;
  while (start < path.size()) {
    size_t end = path.find(u'/', start);
    if (end == std::u16string_view::npos) end = path.size();
    if (end > start) {
      // Last unless a non-separator follows (normalized paths have no "//").
      bool last = end + 1 >= path.size() ||
                  path.find_first_not_of(u'/', end) == std::u16string_view::npos;
      if (!visit(path.substr(start, end - start), last)) return false;
    }
    start = end + 1;
  }
  return true;
}

}  // namespace

// --- TreeIndex ------------------------------------------------------------

size_t TreeIndex::Hash(const TreeNode* parent, std::u16string_view name) {
  const uint64_t h = MixUnits(reinterpret_cast<uintptr_t>(parent) * 0x9E3779B97F4A7C15ull, name);
  return static_cast<size_t>(h ^ (h >> 29));
}

TreeNode* TreeIndex::Find(const TreeNode* parent, std::u16string_view name, size_t hash,
                          Kind kind, TreeNode** other) const {
  if (other != nullptr) *other = nullptr;
  if (cells_.empty()) return nullptr;
  const size_t mask = cells_.size() - 1;
  const uint32_t tag = Tag(hash);
  TreeNode* folder = nullptr;  // of that name, while a part may still follow
  TreeNode* part = nullptr;    // of that name, while a folder is asked for
  for (size_t i = hash & mask;; i = (i + 1) & mask) {
    const uint32_t cell = cells_[i];
    if (cell == 0) {
      if (other != nullptr) *other = kind == kPart ? folder : kind == kFolder ? part : nullptr;
      return kind == kPart ? nullptr : folder;
    }
    if ((cell & ~Mask()) != tag || Removed(cell)) continue;
    TreeNode* node = Node(cell);
    if (node->parent() != parent || node->name() != name) continue;
    if (!node->folder()) {
      if (kind != kFolder) return node;
      part = node;
    } else if (kind == kFolder) {
      return node;
    } else {
      folder = node;
    }
  }
}

TreeNode* TreeIndex::Make(TreeNode* parent, std::u16string_view name, bool folder,
                          size_t hash, bool view) {
  // Sized by the nodes made, removed ones included: a node's number must
  // stay below the table's size.
  if (2 * (nodes_.size() + 1) > cells_.size()) Grow(2 * (nodes_.size() + 1));
  TreeNode::Kids* kids = nullptr;
  if (folder) {
    kids = &kids_.emplace_back();
    kids->index = this;
  }
  TreeNode* node = &nodes_.emplace_back(view ? name : names_.Add(name), parent, kids);
  Place(static_cast<uint32_t>(nodes_.size()), hash);
  return node;
}

TreeNode::Kids* TreeIndex::RootKids() {
  if (kids_.empty()) kids_.emplace_back().index = this;
  return &kids_.front();
}

void TreeIndex::Place(uint32_t number, size_t hash) {
  const size_t mask = cells_.size() - 1;
  size_t i = hash & mask;
  while (cells_[i] != 0) i = (i + 1) & mask;
  cells_[i] = Tag(hash) | number;
}

void TreeIndex::Forget(const TreeNode* node) {
  if (cells_.empty()) return;
  const size_t mask = cells_.size() - 1;
  for (size_t i = Hash(node->parent(), node->name()) & mask; cells_[i] != 0;
       i = (i + 1) & mask) {
    if (!Removed(cells_[i]) && Node(cells_[i]) == node) {
      cells_[i] = Mask();  // keeps the probe chains of others intact
      return;
    }
  }
}

void TreeIndex::Reserve(size_t nodes) {
  if (2 * (nodes_.size() + nodes) > cells_.size()) Grow(2 * (nodes_.size() + nodes));
}

void TreeIndex::Grow(size_t capacity) {
  size_t size = 64;
  while (size < capacity) size *= 2;
  std::vector<uint32_t> old = std::move(cells_);
  const auto old_mask = static_cast<uint32_t>(old.size() - 1);
  cells_.assign(size, 0);
  for (const uint32_t cell : old) {
    if (cell == 0 || (cell & old_mask) == old_mask) continue;
    const uint32_t number = cell & old_mask;
    const TreeNode& node = nodes_[number - 1];
    Place(number, Hash(node.parent(), node.name()));
  }
}

// --- TreeNode -------------------------------------------------------------

TreeNode::TreeNode() : name_(reinterpret_cast<uintptr_t>(u"/") | 1) {
  kids_ = (new TreeIndex)->RootKids();
  kids_->name_length = 1;
}

TreeNode::TreeNode(std::u16string_view name, TreeNode* parent, Kids* kids)
    : parent_(parent), name_(reinterpret_cast<uintptr_t>(name.data()) | (kids != nullptr ? 1 : 0)) {
  if (kids != nullptr) {
    kids_ = kids;
    kids_->name_length = static_cast<uint32_t>(name.size());
  } else {
    part_ = PartFacts{static_cast<uint32_t>(name.size()), false};
  }
}

// The nodes below the root belong to the root's index and go with it.
TreeNode::~TreeNode() {
  if (parent_ == nullptr) delete kids_->index;
}

TreeNode* TreeNode::Find(std::u16string_view name) const {
  if (!folder()) return nullptr;
  return kids_->index->Find(this, name, TreeIndex::Hash(this, name));
}

TreeNode* TreeNode::Find(std::u16string_view name, bool folder) const {
  if (!this->folder()) return nullptr;
  return kids_->index->Find(this, name, TreeIndex::Hash(this, name),
                            folder ? TreeIndex::kFolder : TreeIndex::kPart);
}

PathNode* TreeNode::OtherOfSameName() const {
  return !twin() || parent_ == nullptr ? nullptr : parent_->Find(name(), !folder());
}

void TreeNode::ReserveNodes(size_t count) {
  if (folder()) kids_->index->Reserve(count);
}

PathNode* TreeNode::FirstChild() {
  if (!folder()) return nullptr;
  kids_->cursor = 0;
  return kids_->list.empty() ? nullptr : kids_->list[0];
}

PathNode* TreeNode::NextChild() {
  if (!folder()) return nullptr;
  if (kids_->cursor + 1 >= kids_->list.size()) {
    kids_->cursor = static_cast<uint32_t>(kids_->list.size());
    return nullptr;
  }
  return kids_->list[++kids_->cursor];
}

PathNode* TreeNode::FindChild(const std::u16string& name) { return Find(name); }

TreeNode* TreeNode::Ensure(std::u16string_view name, bool folder, bool view, bool beside) {
  if (name.empty() || !this->folder()) return nullptr;
  const size_t hash = TreeIndex::Hash(this, name);
  TreeNode* other = nullptr;
  TreeNode* node = kids_->index->Find(this, name, hash,
                                      folder ? TreeIndex::kFolder : TreeIndex::kPart, &other);
  if (node != nullptr) return node;
  if (other != nullptr && !beside) return nullptr;
  node = Append(name, folder, hash, view);
  if (other != nullptr) {
    other->SetTwin();
    node->SetTwin();
  }
  return node;
}

TreeNode* TreeNode::Append(std::u16string_view name, bool folder, size_t hash, bool view) {
  TreeNode* node = kids_->index->Make(this, name, folder, hash, view);
  kids_->list.push_back(node);
  return node;
}

Status TreeNode::AddPartChild(const std::u16string& name, PathNode** out) {
  TreeNode* node = Ensure(name, false);
  if (node == nullptr) return kAddNodeFailed;
  if (out) *out = node;
  return kOk;
}

Status TreeNode::AddFolderChild(const std::u16string& name, PathNode** out) {
  if (name.empty() || !folder()) return kAddNodeFailed;
  PathNode* node = Find(name, true);
  if (node == nullptr) node = Find(name);
  if (node == nullptr) node = Append(name, true, TreeIndex::Hash(this, name));
  if (out) *out = node;
  return kOk;
}

void TreeNode::Unindex(TreeNode* node) {
  if (node->folder()) {
    for (TreeNode* child : node->kids_->list) node->Unindex(child);
  }
  kids_->index->Forget(node);
}

Status TreeNode::RemoveChild(const std::u16string& name) {
  if (name.empty()) return kRemoveNodeFailed;
  TreeNode* node = Find(name);
  if (node != nullptr) Remove(node);
  return kOk;
}

void TreeNode::Remove(TreeNode* node) {
  // The subtree leaves the tree; its memory stays with the index until the
  // tree goes.
  if (!folder()) return;
  Unindex(node);
  std::vector<TreeNode*>& list = kids_->list;
  for (size_t i = 0; i < list.size(); ++i) {
    if (list[i] == node) {
      list.erase(list.begin() + static_cast<std::ptrdiff_t>(i));
      if (kids_->cursor > i) --kids_->cursor;
      break;
    }
  }
}

std::u16string TreeNode::GetPath() const {
  if (parent_ == nullptr) return u"/";
  std::u16string path = parent_->GetPath();
  path += name();
  if (folder()) path.push_back(u'/');
  return path;
}

std::vector<PathNode*> TreeNode::Children() const {
  if (!folder()) return {};
  return std::vector<PathNode*>(kids_->list.begin(), kids_->list.end());
}

void TreeNode::AppendNameUtf8(std::string* out) const { AppendUtf16ToUtf8Lenient(name(), out); }

// --- Building ---------------------------------------------------------------

Status AddPathToTree(TreeNode* root, std::u16string_view path, PathNode** out, bool view,
                  bool beside) {
  if (root == nullptr || path.empty() || path[0] != u'/') return kIllegalPath;
  const bool folder_path = path.back() == u'/';
  TreeNode* node = root;
  // A part cannot hold children; a folder takes a part's name (and the
  // other way round) only beside it.
  bool added = ForEachComponent(path, [&](std::u16string_view part, bool last) {
    node = node->Ensure(part, !(last && !folder_path), view, beside);
    return node != nullptr;
  });
  if (!added) return kAddNodeFailed;
  if (out) *out = node;
  return kOk;
}

TreeBuilder::TreeBuilder(TreeNode* root, size_t paths) : root_(root) {
  root_->ReserveNodes(paths + paths / 8);
}

Status TreeBuilder::Add(std::u16string_view path) {
  size_t slash = path.size();
  while (slash > 0 && path[slash - 1] != u'/') --slash;
  const std::u16string_view folder = path.substr(0, slash);  // with its final "/"
  if (slash > 0 && slash < path.size()) {
    if (const PathIndex::Slot* known = folders_.Find(folder)) {
      TreeNode* parent = folder_nodes_[folders_.IdOf(known)];
      if (parent->Ensure(path.substr(slash), false, true, true) == nullptr) return kAddNodeFailed;
      return kOk;
    }
  }
  PathNode* node = nullptr;
  int code = AddPathToTree(root_, path, &node, true, true);
  if (code == kOk && !node->IsFolder()) {
    const size_t id = folders_.IdOf(folders_.Insert(folder, folder).first);
    if (id >= folder_nodes_.size()) folder_nodes_.resize(id + 1);
    folder_nodes_[id] = static_cast<TreeNode*>(node->GetParent());
  }
  return code;
}

PathNode* FindPathInTree(const TreeNode* root, std::u16string_view path) {
  if (root == nullptr || path.empty() || path[0] != u'/') return nullptr;
  const bool folder_path = path.back() == u'/';
  const TreeNode* node = root;
  bool found = ForEachComponent(path, [&](std::u16string_view part, bool last) {
    node = last && !folder_path ? node->Find(part) : node->Find(part, true);
    return node != nullptr;
  });
  return found ? const_cast<TreeNode*>(node) : nullptr;
}

}  // namespace zoq
