// Creating a container, opening and closing a package, and the model built
// from its entries: the path map and the tree.
#include <algorithm>
#include <cstring>
#include <new>
#include <tuple>

#include "package/container_impl.h"
#include "package/entry_chain.h"
#include "package/header.h"
#include "package/path.h"
#include "package/temp_files.h"

namespace zoq {

int CreateContainer(const ContainerOptions* options, Container** out) {
  if (options == nullptr || out == nullptr) return kInvalidArgument;
  *out = nullptr;
  if (options->table_compression & ~0x03) return kSiteBadTableFlags;
  std::string temp_dir;
  if (!options->no_temp_dir) {
    int code = MakeContainerTempDir(options->temp_base_dir, &temp_dir);
    if (code != kOk) return code;
  }
  auto fail = [&temp_dir](int code) {
    if (!temp_dir.empty()) RemoveTree(temp_dir);
    return code;
  };
  if (!options->resource_dir.has_value()) return fail(kSiteNoResourceDir);
  std::string resource_dir = *options->resource_dir;
  if (resource_dir.empty()) return fail(kInvalidArgument);
  if (resource_dir.back() != '/') resource_dir.push_back('/');
  auto* container = new (std::nothrow) PackageContainer(temp_dir, resource_dir, *options);
  if (container == nullptr) return fail(kOutOfMemory);
  *out = container;
  return kOk;
}

DecodedCopy::~DecodedCopy() {
  storage.reset();
  if (!file.empty()) RemoveTree(file);
}

PackageContainer::PackageContainer(std::string temp_dir, std::string resource_dir,
                                   const ContainerOptions& options)
    : temp_dir_(std::move(temp_dir)),
      resource_dir_(std::move(resource_dir)),
      table_flags_(options.table_compression),
      no_temp_dir_(options.no_temp_dir),
      no_tree_(options.no_tree) {
  header_.version = 0x0101;
  header_.width = 4;
}

PackageContainer::~PackageContainer() {
  CloseLocked();
  if (!temp_dir_.empty()) RemoveTree(temp_dir_);
}

int PackageContainer::OpenStream(Stream* stream, bool read_only) {
  WriteLockGuard guard(lock_);
  if (stream == nullptr) return kInvalidArgument;
  return OpenLocked(stream, nullptr, nullptr, 0, 0, read_only);
}

int PackageContainer::OpenFile(const std::string& path, bool read_only) {
  WriteLockGuard guard(lock_);
  return OpenLocked(nullptr, &path, nullptr, 0, 0, read_only);
}

int PackageContainer::OpenMemory(const void* bytes, int64_t length, int revision_limit) {
  WriteLockGuard guard(lock_);
  if (bytes == nullptr || length <= 0 || revision_limit < 0) return kInvalidArgument;
  return OpenLocked(nullptr, nullptr, bytes, length, revision_limit, revision_limit > 0);
}

int PackageContainer::OpenStreamAt(Stream* stream, int revision_limit) {
  WriteLockGuard guard(lock_);
  if (stream == nullptr || revision_limit < 0) return kInvalidArgument;
  return OpenLocked(stream, nullptr, nullptr, 0, revision_limit, revision_limit > 0);
}

int PackageContainer::OpenFileAt(const std::string& path, int revision_limit) {
  WriteLockGuard guard(lock_);
  if (revision_limit < 0) return kInvalidArgument;
  return OpenLocked(nullptr, &path, nullptr, 0, revision_limit, revision_limit > 0);
}

int PackageContainer::OpenLocked(Stream* caller_stream, const std::string* file,
                                 const void* bytes, int64_t length, int revision_limit,
                                 bool read_only) {
  if (resource_dir_.empty() || (temp_dir_.empty() && !no_temp_dir_)) {
    return kContainerCreateFailed;
  }
  CloseLocked();
  read_only_ = read_only;
  source_kind_ = kSourceOpening;

  if (file != nullptr) {
    FileStreamArgs args;
    args.path = *file;
    args.shared = true;
    Stream* made = nullptr;
    if (CreateStream(kModeRead, &args, &made, kFileStream) != kOk) {
      CloseLocked();
      return kSourceOpenFailed;
    }
    own_stream_.reset(made);
    package_path_ = *file;
  } else if (bytes != nullptr) {
    try {
      memory_.assign(static_cast<const uint8_t*>(bytes),
                     static_cast<const uint8_t*>(bytes) + length);
    } catch (const std::bad_alloc&) {
      CloseLocked();
      return kOutOfMemory;
    }
    MemoryStreamArgs args;
    args.buffer = memory_.data();
    args.capacity = length;
    args.length = length;
    Stream* made = nullptr;
    if (CreateStream(kModeRead, &args, &made, kMemoryStream) != kOk) {
      CloseLocked();
      return kSourceOpenFailed;
    }
    own_stream_.reset(made);
  } else if (caller_stream != nullptr) {
    if (!caller_stream->IsOpen()) {
      if (caller_stream->Open(kModeRead) != kOk) {
        CloseLocked();
        return kSourceOpenFailed;
      }
      opened_caller_stream_ = true;
    }
  } else {
    CloseLocked();
    return kInvalidArgument;
  }
  stream_ = own_stream_ ? own_stream_.get() : caller_stream;

  int code = ReadHeader(stream_, &header_);
  if (code == kOk) code = LoadModel(revision_limit);
  if (code != kOk) {
    CloseLocked();
    return code;
  }
  source_kind_ = file != nullptr ? kSourceFile : kSourceMemory;
  RememberFileIdentity();
  ClearSchemaState();
  ResolveSchema();  // with no document type set this selects nothing
  return kOk;
}

int PackageContainer::LoadModel(int revision_limit) {
  std::vector<EntryFacts> chain;
  int code = ReadEntryChain(stream_, header_, revision_limit, &chain);
  if (code != kOk) return code;
  for (EntryFacts& facts : chain) {
    auto entry = std::make_unique<Entry>();
    for (RecordFacts& r : facts.records) {
      ItemRecord& record = entry->records.emplace_back();
      record.revision = facts.revision;
      record.item_number = next_item_++;
      record.type = r.type;
      record.skippable = r.skippable;
      record.data_offset = r.data_offset;
      auto slot = path_map_.try_emplace(std::move(r.path)).first;
      slot->second.push_back(&record);
      record.path = &slot->first;
    }
    facts.records.clear();
    entry->facts = std::move(facts);
    entries_.push_back(std::move(entry));
  }
  BuildTree();
  return kOk;
}

bool PackageContainer::Exists(const RecordList& records) {
  return !records.empty() && records.back()->present && records.back()->HasData();
}

void PackageContainer::BuildTree() {
  root_ = std::make_unique<TreeNode>();
  if (no_tree_) return;
  // Parts are listed in the order in which they were first stored: by the
  // numbers of their first record. Walking the records in load order meets
  // every path's first record in that order already.
  using Key = std::tuple<int64_t, int, int, const std::u16string*>;
  std::vector<Key> order;
  order.reserve(path_map_.size());
  for (const auto& entry : entries_) {
    for (const ItemRecord& record : entry->records) {
      const RecordList& records = path_map_.find(*record.path)->second;
      if (records.front() != &record || !Exists(records)) continue;
      order.emplace_back(record.item_number, record.sequence, record.revision, record.path);
    }
  }
  if (!std::is_sorted(order.begin(), order.end())) std::sort(order.begin(), order.end());
  for (const Key& item : order) {
    // A path that cannot join the tree (it runs through a part) stays out
    // of it; it is still reachable by path.
    AddPathToTree(root_.get(), *std::get<3>(item), nullptr);
  }
}

const PackageContainer::RecordList* PackageContainer::FindRecords(
    const std::u16string& normalized) const {
  auto it = path_map_.find(normalized);
  return it == path_map_.end() ? nullptr : &it->second;
}

int PackageContainer::Close() {
  WriteLockGuard guard(lock_);
  CloseLocked();
  return kOk;
}

void PackageContainer::CloseLocked() {
  copies_.clear();
  ResetEditing();
  path_map_.clear();
  entries_.clear();
  root_.reset();
  if (opened_caller_stream_ && stream_ != nullptr) stream_->Close();
  opened_caller_stream_ = false;
  own_stream_.reset();
  stream_ = nullptr;
  memory_.clear();
  memory_.shrink_to_fit();
  package_path_.clear();
  header_ = HeaderFacts{};
  header_.version = 0x0101;
  header_.width = 4;
  source_kind_ = kSourceNone;
  modified_ = false;
  next_item_ = 0;
  anchor_ = -1;
  anchor_sequence_.clear();
  ClearSchemaState();
}

bool PackageContainer::IsModified() {
  ReadLockGuard guard(lock_);
  return modified_;
}

int PackageContainer::GetContainerVersion() {
  ReadLockGuard guard(lock_);
  return header_.version;
}

int PackageContainer::GetRevisionCount() {
  ReadLockGuard guard(lock_);
  return static_cast<int>(entries_.size());
}

int PackageContainer::SetTableCompression(int flags) {
  WriteLockGuard guard(lock_);
  if (flags & ~0x03) return kSiteBadTableCompression;
  table_flags_ = static_cast<uint8_t>(flags);
  return kOk;
}

int PackageContainer::SetOrderAnchor(const std::u16string& path) {
  WriteLockGuard guard(lock_);
  std::u16string normalized;
  int code = NormalizePath(path, &normalized);
  if (code != kOk) return code;
  const RecordList* records = FindRecords(normalized);
  if (records == nullptr || records->empty()) return kSiteAnchorWithoutRecords;
  anchor_ = records->front()->item_number;
  return kOk;
}

void PackageContainer::ClearOrderAnchor() {
  WriteLockGuard guard(lock_);
  anchor_ = -1;
}

}  // namespace zoq
