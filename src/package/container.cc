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
  // Paths in the order of their first record: load order is item-number
  // order, which is the order of the tree.
  std::vector<const PathEntry*> first_stored;
  int code = ReadEntryChain(
      stream_, header_, revision_limit, &path_pool_,
      [this, &first_stored](EntryFacts& facts, std::vector<ItemRef>& items) {
        auto entry = std::make_unique<Entry>();
        if (path_map_.empty()) {
          // Room for the paths of every entry if the rest are like the
          // first, so that the map is not rehashed as it grows; never more
          // than the file could hold (no record takes less than a byte).
          const auto expected = static_cast<int64_t>(items.size()) *
                                std::max(1, header_.entry_count);
          path_map_.reserve(static_cast<size_t>(
              std::min(expected, std::max<int64_t>(stream_->GetLength(), 0) / 4 + 16)));
        }
        for (const ItemRef& item : items) {
          ItemRecord& record = entry->records.emplace_back();
          record.revision = facts.revision;
          record.item_number = next_item_++;
          record.type = item.type;
          record.skippable = item.skippable;
          record.data_offset = item.data_offset;
          // The item's path already lives in the pool: a new key views it.
          auto [slot, added] = path_map_.try_emplace(item.path);
          if (added) first_stored.push_back(&*slot);
          slot->second.push_back(&record);
          record.path = slot->first;
        }
        entry->facts = std::move(facts);
        entries_.push_back(std::move(entry));
        return kOk;
      });
  sorted_valid_ = false;
  if (code != kOk) return code;
  BuildTreeFrom(first_stored);
  return kOk;
}

bool PackageContainer::Exists(const RecordList& records) {
  return !records.empty() && records.back()->present && records.back()->HasData();
}

void PackageContainer::BuildTree() {
  // Parts are listed in the order in which they were first stored: by the
  // numbers of their first record.
  using Key = std::tuple<int64_t, int, int, const PathEntry*>;
  std::vector<Key> order;
  order.reserve(path_map_.size());
  for (const PathEntry& slot : path_map_) {
    if (slot.second.empty()) continue;
    const ItemRecord* first = slot.second.front();
    order.emplace_back(first->item_number, first->sequence, first->revision, &slot);
  }
  std::sort(order.begin(), order.end());
  std::vector<const PathEntry*> ordered;
  ordered.reserve(order.size());
  for (const Key& item : order) ordered.push_back(std::get<3>(item));
  BuildTreeFrom(ordered);
}

void PackageContainer::BuildTreeFrom(const std::vector<const PathEntry*>& ordered) {
  root_ = std::make_unique<TreeNode>();
  if (no_tree_) return;
  TreeBuilder builder(root_.get(), ordered.size());
  for (const PathEntry* slot : ordered) {
    // A path that cannot join the tree (it runs through a part) stays out
    // of it; it is still reachable by path.
    if (Exists(slot->second)) builder.Add(slot->first);
  }
}

const PackageContainer::RecordList* PackageContainer::FindRecords(
    std::u16string_view normalized) const {
  auto it = path_map_.find(normalized);
  return it == path_map_.end() ? nullptr : &it->second;
}

PackageContainer::PathEntry& PackageContainer::PathSlot(std::u16string_view path) {
  auto it = path_map_.find(path);
  if (it != path_map_.end()) return *it;
  sorted_valid_ = false;
  return *path_map_.try_emplace(path_pool_.Add(path)).first;
}

void PackageContainer::ErasePath(PathMap::iterator at) {
  sorted_valid_ = false;
  path_map_.erase(at);
}

const std::vector<PackageContainer::PathEntry*>& PackageContainer::SortedPaths() const {
  std::lock_guard<std::mutex> hold(sorted_mutex_);
  if (!sorted_valid_) {
    sorted_paths_.clear();
    sorted_paths_.reserve(path_map_.size());
    for (const PathEntry& slot : path_map_) {
      sorted_paths_.push_back(const_cast<PathEntry*>(&slot));
    }
    std::sort(sorted_paths_.begin(), sorted_paths_.end(),
              [](const PathEntry* a, const PathEntry* b) { return PathLess()(a->first, b->first); });
    sorted_valid_ = true;
  }
  return sorted_paths_;
}

std::pair<size_t, size_t> PackageContainer::SortedRange(std::u16string_view prefix) const {
  const std::vector<PathEntry*>& sorted = SortedPaths();
  auto first = std::lower_bound(
      sorted.begin(), sorted.end(), prefix,
      [](const PathEntry* entry, std::u16string_view p) { return PathLess()(entry->first, p); });
  auto last = first;
  while (last != sorted.end() && (*last)->first.substr(0, prefix.size()) == prefix) ++last;
  return {static_cast<size_t>(first - sorted.begin()), static_cast<size_t>(last - sorted.begin())};
}

int PackageContainer::Close() {
  WriteLockGuard guard(lock_);
  CloseLocked();
  return kOk;
}

void PackageContainer::CloseLocked() {
  copies_.clear();
  ResetEditing();
  root_.reset();
  path_map_ = PathMap();
  sorted_paths_.clear();
  sorted_valid_ = false;
  entries_.clear();
  path_pool_.Clear();
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
