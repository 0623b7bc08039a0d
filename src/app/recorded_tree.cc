#include "app/recorded_tree.h"

namespace zoqe {

namespace {

// Part paths of the package's own tree, depth first in tree order.
void CollectParts(zoq::PathNode* node, std::vector<std::u16string>* out) {
  for (zoq::PathNode* child : node->Children()) {
    if (child->IsFolder()) {
      CollectParts(child, out);
    } else {
      out->push_back(child->GetPath());
    }
  }
}

}  // namespace

RecordedNode::RecordedNode(std::u16string name, RecordedNode* parent, bool folder)
    : name_(std::move(name)), parent_(parent), folder_(folder) {}

zoq::PathNode* RecordedNode::FirstChild() {
  cursor_ = 0;
  return cursor_ < children_.size() ? children_[cursor_].get() : nullptr;
}

zoq::PathNode* RecordedNode::NextChild() {
  if (cursor_ < children_.size()) ++cursor_;
  return cursor_ < children_.size() ? children_[cursor_].get() : nullptr;
}

zoq::PathNode* RecordedNode::FindChild(const std::u16string& name) {
  auto found = by_name_.find(name);
  return found == by_name_.end() ? nullptr : found->second;
}

std::u16string RecordedNode::GetPath() const {
  if (!parent_) return u"/";
  std::u16string path = parent_->GetPath() + name_;
  if (folder_) path += u'/';
  return path;
}

std::vector<zoq::PathNode*> RecordedNode::Children() const {
  std::vector<zoq::PathNode*> out;
  out.reserve(children_.size());
  for (const auto& child : children_) out.push_back(child.get());
  return out;
}

RecordedNode* RecordedNode::Child(const std::u16string& name, bool folder) {
  auto found = by_name_.find(name);
  if (found != by_name_.end()) return found->second->folder_ == folder ? found->second : nullptr;
  children_.push_back(std::make_unique<RecordedNode>(name, this, folder));
  RecordedNode* child = children_.back().get();
  by_name_.emplace(name, child);
  return child;
}

std::unique_ptr<RecordedTree> RecordedTree::Build(zoq::Container* package) {
  std::vector<std::u16string> paths;
  if (package->ListRecordedParts(&paths) != 0) {
    paths.clear();
    if (zoq::PathNode* root = package->GetNode(u"/")) CollectParts(root, &paths);
  }
  return std::make_unique<RecordedTree>(paths);
}

RecordedTree::RecordedTree(const std::vector<std::u16string>& part_paths)
    : root_(u"/", nullptr, true) {
  for (const std::u16string& path : part_paths) {
    if (path.size() < 2 || path[0] != u'/' || path.back() == u'/') continue;
    RecordedNode* node = &root_;
    size_t start = 1;
    for (size_t slash = path.find(u'/', start); node && slash != std::u16string::npos;
         slash = path.find(u'/', start)) {
      node = slash > start ? node->Child(path.substr(start, slash - start), true) : nullptr;
      start = slash + 1;
    }
    if (node) node->Child(path.substr(start), false);
  }
}

RecordedNode* RecordedTree::Find(const std::u16string& path) {
  if (path.empty() || path[0] != u'/') return nullptr;
  RecordedNode* node = &root_;
  size_t start = 1;
  while (node && start < path.size()) {
    size_t end = path.find(u'/', start);
    if (end == std::u16string::npos) end = path.size();
    zoq::PathNode* next = node->FindChild(path.substr(start, end - start));
    node = static_cast<RecordedNode*>(next);
    start = end + 1;
  }
  return node;
}

}  // namespace zoqe
