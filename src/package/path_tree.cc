#include "package/path_tree.h"

#include "package/codes.h"

namespace zoq {
namespace {

// Splits "/a/b/c" into {"a", "b", "c"}; empty components are dropped.
std::vector<std::u16string> SplitPath(const std::u16string& path) {
  std::vector<std::u16string> parts;
  size_t start = 1;
  while (start <= path.size()) {
    size_t end = path.find(u'/', start);
    if (end == std::u16string::npos) end = path.size();
    if (end > start) parts.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  return parts;
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

PathNode* TreeNode::FindChild(const std::u16string& name) {
  auto it = by_name_.find(name);
  return it == by_name_.end() ? nullptr : it->second;
}

TreeNode* TreeNode::Append(const std::u16string& name, bool folder) {
  children_.push_back(std::make_unique<TreeNode>(name, this, folder));
  TreeNode* node = children_.back().get();
  by_name_[name] = node;
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

int AddPathToTree(PathNode* root, const std::u16string& path, PathNode** out) {
  if (root == nullptr || path.empty() || path[0] != u'/') return kIllegalPath;
  std::vector<std::u16string> parts = SplitPath(path);
  bool folder_path = path.back() == u'/';
  PathNode* node = root;
  for (size_t i = 0; i < parts.size(); ++i) {
    bool last = i + 1 == parts.size();
    PathNode* next = nullptr;
    int code = (last && !folder_path) ? node->AddPartChild(parts[i], &next)
                                      : node->AddFolderChild(parts[i], &next);
    if (code != kOk) return code;
    // A part cannot hold children: a path that runs through one is refused.
    if (next == nullptr || (!last && !next->IsFolder())) return kAddNodeFailed;
    if (last && folder_path && !next->IsFolder()) return kAddNodeFailed;
    node = next;
  }
  if (out) *out = node;
  return kOk;
}

PathNode* FindPathInTree(PathNode* root, const std::u16string& path) {
  if (root == nullptr || path.empty() || path[0] != u'/') return nullptr;
  PathNode* node = root;
  for (const std::u16string& part : SplitPath(path)) {
    node = node->FindChild(part);
    if (node == nullptr) return nullptr;
  }
  // "/x/" names a folder only.
  if (path.back() == u'/' && !node->IsFolder()) return nullptr;
  return node;
}

}  // namespace zoq
