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

char TreeIndex::removed_mark_ = 0;

size_t TreeIndex::Hash(const TreeNode* parent, std::u16string_view name) {
  const uint64_t h = MixUnits(reinterpret_cast<uintptr_t>(parent) * 0x9E3779B97F4A7C15ull, name);
  return static_cast<size_t>(h ^ (h >> 29));
}

TreeNode* TreeIndex::Find(const TreeNode* parent, std::u16string_view name, size_t hash,
                          Kind kind, TreeNode** other) const {
  if (other != nullptr) *other = nullptr;
  if (slots_.empty()) return nullptr;
  const size_t mask = slots_.size() - 1;
  TreeNode* folder = nullptr;  // of that name, while a part may still follow
  TreeNode* part = nullptr;    // of that name, while a folder is asked for
  for (size_t i = hash & mask;; i = (i + 1) & mask) {
    const Slot& slot = slots_[i];
    if (slot.node == nullptr) {
      if (other != nullptr) *other = kind == kPart ? folder : kind == kFolder ? part : nullptr;
      return kind == kPart ? nullptr : folder;
    }
    if (slot.hash == hash && slot.node != Removed() && slot.node->GetParent() == parent &&
        slot.node->name() == name) {
      if (!slot.node->IsFolder()) {
        if (kind != kFolder) return slot.node;
        part = slot.node;
      } else if (kind == kFolder) {
        return slot.node;
      } else {
        folder = slot.node;
      }
    }
  }
}

TreeNode* TreeIndex::Make(TreeNode* parent, std::u16string_view name, bool folder,
                          size_t hash, bool view) {
  if (2 * (used_ + 1) > slots_.size()) Grow(std::max<size_t>(64, 2 * (used_ + 1)));
  TreeNode* node = &nodes_.emplace_back(view ? name : names_.Add(name), parent, folder, this);
  Place(node, hash);
  return node;
}

void TreeIndex::Place(TreeNode* node, size_t hash) {
  const size_t mask = slots_.size() - 1;
  size_t i = hash & mask;
  while (slots_[i].node != nullptr) i = (i + 1) & mask;
  slots_[i] = Slot{node, hash};
  ++used_;
}

void TreeIndex::Forget(const TreeNode* node) {
  if (slots_.empty()) return;
  const size_t mask = slots_.size() - 1;
  const auto* parent = static_cast<const TreeNode*>(node->GetParent());
  for (size_t i = Hash(parent, node->name()) & mask; slots_[i].node != nullptr;
       i = (i + 1) & mask) {
    if (slots_[i].node == node) {
      slots_[i].node = Removed();  // keeps the probe chains of others intact
      return;
    }
  }
}

void TreeIndex::Reserve(size_t nodes) {
  if (2 * (used_ + nodes) > slots_.size()) Grow(2 * (used_ + nodes));
}

void TreeIndex::Grow(size_t capacity) {
  size_t size = 64;
  while (size < capacity) size *= 2;
  std::vector<Slot> old = std::move(slots_);
  slots_.assign(size, Slot{});
  used_ = 0;
  for (const Slot& slot : old) {
    if (slot.node != nullptr && slot.node != Removed()) Place(slot.node, slot.hash);
  }
}

// --- TreeNode -------------------------------------------------------------

TreeNode::TreeNode() : own_index_(std::make_unique<TreeIndex>()), name_(u"/") {
  index_ = own_index_.get();
}

TreeNode::TreeNode(std::u16string_view name, TreeNode* parent, bool folder, TreeIndex* index)
    : index_(index), name_(name), parent_(parent), folder_(folder) {}

// The nodes below the root belong to the root's index and go with it.
TreeNode::~TreeNode() = default;

TreeNode* TreeNode::Find(std::u16string_view name) const {
  return index_->Find(this, name, TreeIndex::Hash(this, name));
}

TreeNode* TreeNode::Find(std::u16string_view name, bool folder) const {
  return index_->Find(this, name, TreeIndex::Hash(this, name),
                      folder ? TreeIndex::kFolder : TreeIndex::kPart);
}

PathNode* TreeNode::OtherOfSameName() const {
  return !twin_ || parent_ == nullptr ? nullptr : parent_->Find(name_, !folder_);
}

void TreeNode::ReserveNodes(size_t count) { index_->Reserve(count); }

PathNode* TreeNode::FirstChild() {
  cursor_ = 0;
  return children_.empty() ? nullptr : children_[0];
}

PathNode* TreeNode::NextChild() {
  if (cursor_ + 1 >= children_.size()) {
    cursor_ = children_.size();
    return nullptr;
  }
  return children_[++cursor_];
}

PathNode* TreeNode::FindChild(const std::u16string& name) { return Find(name); }

TreeNode* TreeNode::Ensure(std::u16string_view name, bool folder, bool view, bool beside) {
  if (name.empty()) return nullptr;
  const size_t hash = TreeIndex::Hash(this, name);
  TreeNode* other = nullptr;
  TreeNode* node =
      index_->Find(this, name, hash, folder ? TreeIndex::kFolder : TreeIndex::kPart, &other);
  if (node != nullptr) return node;
  if (other != nullptr && !beside) return nullptr;
  node = Append(name, folder, hash, view);
  if (other != nullptr) other->twin_ = node->twin_ = true;
  return node;
}

TreeNode* TreeNode::Append(std::u16string_view name, bool folder, size_t hash, bool view) {
  TreeNode* node = index_->Make(this, name, folder, hash, view);
  children_.push_back(node);
  return node;
}

Status TreeNode::AddPartChild(const std::u16string& name, PathNode** out) {
  TreeNode* node = Ensure(name, false);
  if (node == nullptr) return kAddNodeFailed;
  if (out) *out = node;
  return kOk;
}

Status TreeNode::AddFolderChild(const std::u16string& name, PathNode** out) {
  if (name.empty()) return kAddNodeFailed;
  PathNode* node = Find(name, true);
  if (node == nullptr) node = Find(name);
  if (node == nullptr) node = Append(name, true, TreeIndex::Hash(this, name));
  if (out) *out = node;
  return kOk;
}

void TreeNode::Unindex(TreeNode* node) {
  for (TreeNode* child : node->children_) node->Unindex(child);
  index_->Forget(node);
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
  Unindex(node);
  for (size_t i = 0; i < children_.size(); ++i) {
    if (children_[i] == node) {
      children_.erase(children_.begin() + static_cast<std::ptrdiff_t>(i));
      if (cursor_ > i) --cursor_;
      break;
    }
  }
}

std::u16string TreeNode::GetPath() const {
  if (parent_ == nullptr) return u"/";
  std::u16string path = parent_->GetPath();
  path += name_;
  if (folder_) path.push_back(u'/');
  return path;
}

std::vector<PathNode*> TreeNode::Children() const {
  return std::vector<PathNode*>(children_.begin(), children_.end());
}

void TreeNode::AppendNameUtf8(std::string* out) const { AppendUtf16ToUtf8Lenient(name_, out); }

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
