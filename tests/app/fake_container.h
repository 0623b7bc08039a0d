// An in-memory Container for the window tests: a tree of folders and parts
// with the revision lists, sizes and codes a test asks for, an open result
// to answer, a modified flag and a main part for document detection.
#pragma once

#include <QString>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "zoq/container.h"

namespace zoqe_test {

struct FakePart {
  std::vector<int> revisions;  // newest first
  int64_t size = 0;
  int64_t total = 0;
  std::vector<int> codes;
  bool deleted = false;
  std::string content;
};

class FakeNode : public zoq::PathNode {
 public:
  FakeNode(std::u16string name, FakeNode* parent, bool folder)
      : name_(std::move(name)), parent_(parent), folder_(folder) {}
  std::u16string GetName() const override { return name_; }
  bool HasChildren() const override { return !children_.empty(); }
  bool IsRoot() const override { return parent_ == nullptr; }
  bool IsFolder() const override { return folder_; }
  zoq::PathNode* GetParent() const override { return parent_; }
  zoq::PathNode* FirstChild() override {
    cursor_ = 0;
    return cursor_ < children_.size() ? children_[cursor_].get() : nullptr;
  }
  zoq::PathNode* NextChild() override {
    ++cursor_;
    return cursor_ < children_.size() ? children_[cursor_].get() : nullptr;
  }
  zoq::PathNode* FindChild(const std::u16string& name) override {
    auto found = by_name_.find(name);
    return found == by_name_.end() ? nullptr : found->second;
  }
  zoq::Status AddPartChild(const std::u16string& name, zoq::PathNode** out) override {
    return Add(name, false, out);
  }
  zoq::Status AddFolderChild(const std::u16string& name, zoq::PathNode** out) override {
    return Add(name, true, out);
  }
  zoq::Status RemoveChild(const std::u16string&) override { return 0; }
  std::u16string GetPath() const override {
    if (!parent_) return u"/";
    return parent_->GetPath() + name_ + (folder_ ? u"/" : u"");
  }
  std::vector<zoq::PathNode*> Children() const override {
    std::vector<zoq::PathNode*> out;
    for (auto& child : children_) out.push_back(child.get());
    return out;
  }

 private:
  int Add(const std::u16string& name, bool folder, zoq::PathNode** out) {
    if (auto* found = FindChild(name)) {
      *out = found;
      return 0;
    }
    children_.push_back(std::make_unique<FakeNode>(name, this, folder));
    *out = children_.back().get();
    by_name_[name] = children_.back().get();
    return 0;
  }

  std::u16string name_;
  FakeNode* parent_;
  bool folder_;
  std::vector<std::unique_ptr<FakeNode>> children_;
  std::map<std::u16string, FakeNode*> by_name_;
  size_t cursor_ = 0;
};

// What a test prepares before the window opens a package through the fake.
struct FakePackage {
  int create_result = 0;
  int open_result = 0;
  int revision_count = 1;
  bool modified = false;
  int save_result = 0;
  std::map<std::u16string, FakePart> parts;  // by package path
  std::vector<std::u16string> folders;        // "/a/" paths, created in order
  std::vector<std::u16string> order;          // part paths in tree order
  // Filled by the container.
  int saves = 0;
  int document_subset = -1;
  int document_version = -1;

  void AddPart(const std::u16string& path, FakePart part) {
    order.push_back(path);
    parts[path] = std::move(part);
  }
};

class FakeContainer : public zoq::Container {
 public:
  explicit FakeContainer(FakePackage* package) : package_(package) {}

  zoq::Status OpenFile(const std::string&, bool) override {
    if (package_->open_result != 0) return package_->open_result;
    root_ = std::make_unique<FakeNode>(u"/", nullptr, true);
    for (const auto& folder : package_->folders) Folder(folder);
    for (const auto& path : package_->order) {
      const size_t slash = path.rfind(u'/');
      zoq::PathNode* node = nullptr;
      if (Folder(path.substr(0, slash + 1))->AddPartChild(path.substr(slash + 1), &node) != zoq::kOk) {
        return zoq::kAddNodeFailed;
      }
    }
    return 0;
  }
  zoq::PathNode* GetNode(const std::u16string& path) override {
    if (!root_) return nullptr;
    zoq::PathNode* node = root_.get();
    size_t start = 1;
    while (node && start < path.size()) {
      size_t end = path.find(u'/', start);
      if (end == std::u16string::npos) end = path.size();
      node = node->FindChild(path.substr(start, end - start));
      start = end + 1;
    }
    return node;
  }
  zoq::Status GetPartInfo(zoq::PartInfo* info, zoq::PathNode* node, int) override {
    *info = zoq::PartInfo{};
    info->name = node->GetName();
    info->is_folder = node->IsFolder();
    info->path = node->GetPath();
    auto found = package_->parts.find(info->path);
    if (info->is_folder || found == package_->parts.end()) return 0;
    const FakePart& part = found->second;
    info->revisions = part.revisions;
    info->size = part.size;
    info->total_size = part.total;
    info->deleted = part.deleted;
    info->code_count = static_cast<int>(part.codes.size());
    for (size_t i = 0; i < part.codes.size() && i < 8; ++i) {
      info->codes[i] = static_cast<uint8_t>(part.codes[i]);
    }
    return 0;
  }
  int GetRevisionCount() override { return package_->revision_count; }
  bool IsModified() override { return package_->modified; }
  zoq::Status Save(int, bool) override {
    ++package_->saves;
    return package_->save_result;
  }
  zoq::Status OpenPart(const std::u16string& path, zoq::Stream** out, int, const zoq::DecodeOptions*,
                       bool) override {
    auto found = package_->parts.find(path);
    if (found == package_->parts.end()) return zoq::kNoSuchNode;
    content_ = found->second.content;
    zoq::MemoryStreamArgs args;
    args.buffer = content_.data();
    args.capacity = static_cast<int64_t>(content_.size());
    args.length = args.capacity;
    return zoq::CreateStream(zoq::kModeRead, &args, out, zoq::kMemoryStream);
  }
  zoq::Status SetDocumentType(int subset, int version) override {
    package_->document_subset = subset;
    package_->document_version = version;
    return 0;
  }

  // Not used by the browser's first part.
  zoq::Status CreatePackage(const std::string&, int, int, int, int) override { return 1; }
  zoq::Status OpenStream(zoq::Stream*, bool) override { return 1; }
  zoq::Status OpenMemory(const void*, int64_t, int) override { return 1; }
  zoq::Status OpenStreamAt(zoq::Stream*, int) override { return 1; }
  zoq::Status OpenFileAt(const std::string&, int) override { return 1; }
  zoq::Status Close() override { return 0; }
  zoq::Status SaveAs(const std::string&, int, bool) override { return 1; }
  zoq::Status ReadRawPackage(void*, int64_t*) override { return 1; }
  zoq::Status AddPartFromStream(const std::u16string&, zoq::Stream*, const zoq::EcsCodeArg*, int,
                                bool) override { return 1; }
  zoq::Status AddPartFromMemory(const std::u16string&, const void*, int64_t, const zoq::EcsCodeArg*,
                                int, bool) override { return 1; }
  zoq::Status AddPartFromFile(const std::u16string&, const std::string&, const zoq::EcsCodeArg*, int,
                              bool) override { return 1; }
  zoq::Status DeletePart(const std::u16string&) override { return 1; }
  zoq::Status ReplacePartFromStream(const std::u16string&, zoq::Stream*, const zoq::EcsCodeArg*, int,
                                    bool) override { return 1; }
  zoq::Status ReplacePartFromMemory(const std::u16string&, const void*, int64_t,
                                    const zoq::EcsCodeArg*, int, bool) override { return 1; }
  zoq::Status ReplacePartFromFile(const std::u16string&, const std::string&, const zoq::EcsCodeArg*,
                                  int, bool) override { return 1; }
  zoq::Status AppendToPartFromStream(const std::u16string&, zoq::Stream*, const zoq::EcsCodeArg*,
                                     int) override { return 1; }
  zoq::Status AppendToPartFromMemory(const std::u16string&, const void*, int64_t,
                                     const zoq::EcsCodeArg*, int) override { return 1; }
  zoq::Status AppendToPartFromFile(const std::u16string&, const std::string&, const zoq::EcsCodeArg*,
                                   int) override { return 1; }
  zoq::Status AddPartEncoding(const std::u16string&, const zoq::EcsCodeArg*, int) override { return 1; }
  bool IsPartSkippable(const std::u16string&) override { return false; }
  zoq::Status ReadPart(const std::u16string&, void*, int64_t*, int, const zoq::DecodeOptions*) override {
    return 1;
  }
  zoq::Status ExtractPart(const std::u16string&, std::string*, int, const zoq::DecodeOptions*) override {
    return 1;
  }
  zoq::Status ReleasePartCopies(const std::u16string&) override { return 0; }
  int GetContainerVersion() override { return 0x0101; }
  int GetPathKind(const std::u16string&) override { return 0; }
  zoq::Status ListParts(const std::u16string&, std::vector<std::u16string>*) override { return 1; }
  zoq::Status GetPartInfoByPath(zoq::PartInfo*, const std::u16string&, int) override { return 1; }
  zoq::Status GetPartLocation(const std::u16string&, int64_t*, int64_t*) override { return 1; }
  bool GetSchemaPath(std::string*) override { return true; }
  zoq::Status SetSchemaFile(const std::string&) override { return 1; }
  zoq::Status SetTableCompression(int) override { return 0; }
  zoq::Status VerifyChecks(bool) override { return 0; }
  zoq::Status SetOrderAnchor(const std::u16string&) override { return 1; }
  void ClearOrderAnchor() override {}

 private:
  zoq::PathNode* Folder(const std::u16string& path) {
    zoq::PathNode* node = root_.get();
    size_t start = 1;
    while (start < path.size()) {
      const size_t end = path.find(u'/', start);
      zoq::PathNode* next = nullptr;
      if (node->AddFolderChild(path.substr(start, end - start), &next) != zoq::kOk) return nullptr;
      node = next;
      start = end + 1;
    }
    return node;
  }

  FakePackage* package_;
  std::unique_ptr<FakeNode> root_;
  std::string content_;
};

}  // namespace zoqe_test
