#include "package/path_tree.h"

#include "package/codes.h"

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
      bool last = path.find_first_not_of(u'/', end) == std::u16string_view::npos;
      if (!visit(path.substr(start, end - start), last)) return false;
    }
    start = end + 1;
  }
  return true;
}

}  // namespace

TreeNode::TreeNode() : name_(u"/") {}

TreeNode::TreeNode(std::u16string name, TreeNode* parent, bool folder)
    : name_(std::move(name)), parent_(parent), folder_(folder) {}

TreeNode::~TreeNode() = default;

PathNode* TreeNode::FirstChild() {
  cursor_ = 0;
  return children_.empty() ? nullptr : children_[0].get();
}

PathNode* TreeNode::NextChild() {
  if (cursor_ + 1 >= children_.size()) {
    cursor_ = children_.size();
    return nullptr;
  }
  return children_[++cursor_].get();
}

PathNode* TreeNode::FindChild(const std::u16string& name) { return Find(name); }

TreeNode* TreeNode::Find(std::u16string_view name) const {
  auto it = by_name_.find(name);
  return it == by_name_.end() ? nullptr : it->second;
}

TreeNode* TreeNode::Ensure(std::u16string_view name, bool folder) {
  if (name.empty()) return nullptr;
  TreeNode* node = Find(name);
  if (node == nullptr) return Append(name, folder);
  return node->folder_ == folder ? node : nullptr;
}

TreeNode* TreeNode::Append(std::u16string_view name, bool folder) {
  children_.push_back(std::make_unique<TreeNode>(std::u16string(name), this, folder));
  TreeNode* node = children_.back().get();
  by_name_[node->name_] = node;
  return node;
}

int TreeNode::AddPartChild(const std::u16string& name, PathNode** out) {
  if (name.empty()) return kAddNodeFailed;
  PathNode* existing = FindChild(name);
  if (existing != nullptr) {
    if (existing->IsFolder()) return kAddNodeFailed;
    if (out) *out = existing;
    return kOk;
  }
  TreeNode* node = Append(name, false);
  if (out) *out = node;
  return kOk;
}

int TreeNode::AddFolderChild(const std::u16string& name, PathNode** out) {
  if (name.empty()) return kAddNodeFailed;
  PathNode* node = FindChild(name);
  if (node == nullptr) node = Append(name, true);
  if (out) *out = node;
  return kOk;
}

int TreeNode::RemoveChild(const std::u16string& name) {
  if (name.empty()) return kRemoveNodeFailed;
  auto it = by_name_.find(name);
  if (it == by_name_.end()) return kOk;
  TreeNode* node = it->second;
  by_name_.erase(it);
  for (size_t i = 0; i < children_.size(); ++i) {
    if (children_[i].get() == node) {
      children_.erase(children_.begin() + static_cast<std::ptrdiff_t>(i));
      if (cursor_ > i) --cursor_;
      break;
    }
  }
  return kOk;
}

std::u16string TreeNode::GetPath() const {
  if (parent_ == nullptr) return u"/";
  std::u16string path = parent_->GetPath() + name_;
  if (folder_) path.push_back(u'/');
  return path;
}

std::vector<PathNode*> TreeNode::Children() const {
  std::vector<PathNode*> out;
  out.reserve(children_.size());
  for (const auto& child : children_) out.push_back(child.get());
  return out;
}

int AddPathToTree(TreeNode* root, const std::u16string& path, PathNode** out) {
  if (root == nullptr || path.empty() || path[0] != u'/') return kIllegalPath;
  const bool folder_path = path.back() == u'/';
  TreeNode* node = root;
  // A part cannot hold children, nor a folder take a part's name.
  bool added = ForEachComponent(path, [&](std::u16string_view part, bool last) {
    node = node->Ensure(part, !(last && !folder_path));
    return node != nullptr;
  });
  if (!added) return kAddNodeFailed;
  if (out) *out = node;
  return kOk;
}

PathNode* FindPathInTree(const TreeNode* root, const std::u16string& path) {
  if (root == nullptr || path.empty() || path[0] != u'/') return nullptr;
  const TreeNode* node = root;
  bool found = ForEachComponent(path, [&](std::u16string_view part, bool) {
    node = node->Find(part);
    return node != nullptr;
  });
  // "/x/" names a folder only.
  if (!found || (path.back() == u'/' && !node->IsFolder())) return nullptr;
  return const_cast<TreeNode*>(node);
}

}  // namespace zoq
