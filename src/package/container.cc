// Creating a container, opening and closing a package, and the model built
// from its entries: the path index and the tree.
#include <algorithm>
#include <cstring>
#include <new>
#include <tuple>

#include "package/container_impl.h"
#include "package/entry_chain.h"
#include "package/header.h"
#include "package/path.h"
#include "package/temp_files.h"
#include "stream/file_pool.h"
#include "zoq/sxc_tools.h"

namespace zoq {

Status CreateContainer(const ContainerOptions* options, Container** out) {
  if (options == nullptr || out == nullptr) return kInvalidArgument;
  *out = nullptr;
  RegisterSxcStream();  // parts coded as SXC go through CreateStream
  if (options->table_compression & ~0x03) return kSiteBadTableFlags;
  std::string temp_dir;
  OwnerLock lock;
  if (!options->no_temp_dir) {
    int code = MakeContainerTempDir(options->temp_base_dir, &temp_dir, &lock);
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
  std::string schema_dir = options->schema_dir;
  if (schema_dir.empty()) schema_dir = resource_dir + "Resource/BinarySchema";
  if (schema_dir.back() != '/') schema_dir.push_back('/');
  auto* container = new (std::nothrow)
      PackageContainer(temp_dir, std::move(lock), resource_dir, schema_dir, *options);
  if (container == nullptr) return fail(kOutOfMemory);
  *out = container;
  return kOk;
}

DecodedCopy::~DecodedCopy() {
  storage.reset();
  if (!file.empty()) RemoveTree(file);
}

PackageContainer::PackageContainer(std::string temp_dir, OwnerLock temp_dir_lock,
                                   std::string resource_dir, std::string schema_dir,
                                   const ContainerOptions& options)
    : temp_dir_(std::move(temp_dir)),
      temp_dir_lock_(std::move(temp_dir_lock)),
      resource_dir_(std::move(resource_dir)),
      schema_dir_(std::move(schema_dir)),
      table_flags_(options.table_compression),
      no_temp_dir_(options.no_temp_dir),
      no_tree_(options.no_tree),
      lock_wait_ms_(options.lock_wait_ms) {
  header_.version = 0x0101;
  header_.width = 4;
}

PackageContainer::~PackageContainer() {
  CloseLocked();
  if (!temp_dir_.empty()) RemoveTree(temp_dir_);
}

Status PackageContainer::OpenStream(Stream* stream, bool read_only) {
  WriteLockGuard guard(lock_);
  if (stream == nullptr) return kInvalidArgument;
  return OpenLocked(stream, nullptr, nullptr, 0, 0, read_only);
}

Status PackageContainer::OpenFile(const std::string& path, bool read_only) {
  WriteLockGuard guard(lock_);
  return OpenLocked(nullptr, &path, nullptr, 0, 0, read_only);
}

Status PackageContainer::OpenMemory(const void* bytes, int64_t length, int revision_limit) {
  WriteLockGuard guard(lock_);
  if (bytes == nullptr || length <= 0 || revision_limit < 0) return kInvalidArgument;
  return OpenLocked(nullptr, nullptr, bytes, length, revision_limit, revision_limit > 0);
}

Status PackageContainer::OpenStreamAt(Stream* stream, int revision_limit) {
  WriteLockGuard guard(lock_);
  if (stream == nullptr || revision_limit < 0) return kInvalidArgument;
  return OpenLocked(stream, nullptr, nullptr, 0, revision_limit, revision_limit > 0);
}

Status PackageContainer::OpenFileAt(const std::string& path, int revision_limit) {
  WriteLockGuard guard(lock_);
  if (revision_limit < 0) return kInvalidArgument;
  return OpenLocked(nullptr, &path, nullptr, 0, revision_limit, revision_limit > 0);
}

Status PackageContainer::OpenLocked(Stream* caller_stream, const std::string* file,
                                 const void* bytes, int64_t length, int revision_limit,
                                 bool read_only) {
  if (resource_dir_.empty() || (temp_dir_.empty() && !no_temp_dir_)) {
    return kContainerCreateFailed;
  }
  CloseLocked();
  read_only_ = read_only;
  source_kind_ = kSourceOpening;

  // A package opened for writing is read under the shared lock, so that no
  // save is halfway through while it is read and the identity taken here
  // is that of the file the model describes. Should the lock not come in
  // time, the package is read anyway: the identity is then taken before
  // reading, and a save refuses should the file have changed meanwhile.
  PackageLock hold;
  FileIdentity identity;
  if (file != nullptr) {
    RemoveOwnerlessSaveTemporaries(*file);  // left by saves that were killed
    if (!read_only) hold.Acquire(*file, false, lock_wait_ms_).IgnoreError();  // read anyway
    identity = hold.held() ? IdentityOfDescriptor(hold.fd()) : IdentityOfPath(*file);
    // Descriptors kept idle from earlier reads may belong to a file that
    // another program has since replaced.
    FilePool::Instance().DropIdle(*file);
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
  RememberFileIdentity(identity);
  ClearSchemaState();
  ResolveSchema().IgnoreError();  // with no document type set this selects nothing
  return kOk;
}

Status PackageContainer::LoadModel(int revision_limit) {
  // Records are filed under their paths in two steps: while the entries
  // are read, each record is counted to its path (paths get ids in the order
  // of their first record: load order is item-number order, which is the
  // order of the tree); then every path's records get a slice of one shared
  // array and are placed there in revision order.
  std::vector<uint32_t> path_ids;
  int code = ReadEntryChain(
      stream_, header_, revision_limit, &path_pool_,
      [this, &path_ids](EntryFacts& facts, std::vector<ItemRef>& items) {
        auto entry = std::make_unique<Entry>();
        if (paths_.size() == 0) {
          // Room for the paths of every entry if the rest are like the
          // first, so that the index is not rehashed as it grows; never more
          // than the file could hold (no record takes less than a byte), nor
          // more than a fixed amount on the word of the header's entry count
          // (beyond it the index grows as paths come).
          constexpr int64_t kMaxReservedPaths = int64_t{1} << 18;
          const auto expected = static_cast<int64_t>(items.size()) *
                                std::max(1, header_.entry_count);
          const auto room = static_cast<size_t>(
              std::min({expected, std::max<int64_t>(stream_->GetLength(), 0) / 4 + 16,
                        kMaxReservedPaths}));
          paths_.Reserve(room);
          path_ids.reserve(room);
        }
        for (const ItemRef& item : items) {
          ItemRecord& record = entry->records.emplace_back();
          record.revision = facts.revision;
          record.item_number = next_item_++;
          record.type = item.type;
          record.skippable = item.skippable;
          record.data_offset = item.data_offset;
          // The item's path already lives in the pool: a new entry views it.
          PathEntry* slot = paths_.Insert(item.path, item.path).first;
          const size_t id = paths_.IdOf(slot);
          paths_.Count(id);
          path_ids.push_back(static_cast<uint32_t>(id));
          record.SetPath(slot->path);
        }
        entry->facts = std::move(facts);
        entries_.push_back(std::move(entry));
        return kOk;
      });
  sorted_valid_ = false;
  if (code != kOk) return code;
  paths_.Group();
  const uint32_t* id = path_ids.data();
  for (const auto& entry : entries_) {
    for (ItemRecord& record : entry->records) paths_.slot(*id++).records.push_back(&record);
  }
  std::vector<uint32_t>().swap(path_ids);  // not held while the tree is built
  // Path ids follow the first records: that is the order of the tree.
  BuildTreeFrom(paths_.slot_count(), [this](size_t i) { return &paths_.slot(i); });
  return kOk;
}

bool PackageContainer::Exists(const RecordList& records) {
  return !records.empty() && records.back()->present && records.back()->HasData();
}

std::vector<const PackageContainer::PathEntry*> PackageContainer::FirstStoredOrder() const {
  using Key = std::tuple<int64_t, int, int, const PathEntry*>;
  std::vector<Key> order;
  order.reserve(paths_.size());
  for (size_t id = 0; id < paths_.slot_count(); ++id) {
    const PathEntry& slot = paths_.slot(id);
    if (slot.records.empty()) continue;
    const ItemRecord* first = slot.records.front();
    order.emplace_back(first->item_number, first->sequence, first->revision, &slot);
  }
  std::sort(order.begin(), order.end());
  std::vector<const PathEntry*> ordered;
  ordered.reserve(order.size());
  for (const Key& item : order) ordered.push_back(std::get<3>(item));
  return ordered;
}

void PackageContainer::BuildTree() {
  // Parts are listed in the order in which they were first stored.
  const std::vector<const PathEntry*> ordered = FirstStoredOrder();
  BuildTreeFrom(ordered.size(), [&ordered](size_t i) { return ordered[i]; });
}

void PackageContainer::BuildTreeFrom(size_t count,
                                     const std::function<const PathEntry*(size_t)>& nth) {
  root_ = std::make_unique<TreeNode>();
  if (no_tree_) return;
  // The nodes view their names in the paths' text: the pool holds it until
  // the package closes, after the tree is gone.
  TreeBuilder builder(root_.get(), count);
  for (size_t i = 0; i < count; ++i) {
    const PathEntry* slot = nth(i);
    // A path that cannot join the tree (it runs through a part) stays out
    // of it; it is still reachable by path.
    if (Exists(slot->records)) builder.Add(slot->path).IgnoreError();
  }
}

const RecordList* PackageContainer::FindRecords(
    std::u16string_view normalized) const {
  const PathEntry* slot = paths_.Find(normalized);
  return slot == nullptr ? nullptr : &slot->records;
}

PackageContainer::PathEntry& PackageContainer::PathSlot(std::u16string_view path) {
  PathEntry* slot = paths_.Find(path);
  if (slot != nullptr) return *slot;
  sorted_valid_ = false;
  return *paths_.Insert(path, path_pool_.Add(path)).first;
}

void PackageContainer::ErasePath(PathEntry* entry) {
  sorted_valid_ = false;
  paths_.Erase(entry);
}

const std::vector<PackageContainer::PathEntry*>& PackageContainer::SortedPaths() const {
  std::lock_guard<std::mutex> hold(sorted_mutex_);
  if (!sorted_valid_) {
    // Sorted with each path's text beside its entry: the comparisons then
    // go straight to the texts instead of through the entries first (a
    // cache miss fewer per comparison on a large package).
    std::vector<std::pair<std::u16string_view, PathEntry*>> keyed;
    keyed.reserve(paths_.size());
    for (size_t id = 0; id < paths_.slot_count(); ++id) {
      const PathEntry& slot = paths_.slot(id);
      if (!slot.path.empty()) keyed.emplace_back(slot.path, const_cast<PathEntry*>(&slot));
    }
    std::sort(keyed.begin(), keyed.end(),
              [](const auto& a, const auto& b) { return PathLess()(a.first, b.first); });
    sorted_paths_.clear();
    sorted_paths_.reserve(keyed.size());
    for (const auto& entry : keyed) sorted_paths_.push_back(entry.second);
    sorted_valid_ = true;
  }
  return sorted_paths_;
}

std::pair<size_t, size_t> PackageContainer::SortedRange(std::u16string_view prefix) const {
  const std::vector<PathEntry*>& sorted = SortedPaths();
  auto first = std::lower_bound(
      sorted.begin(), sorted.end(), prefix,
      [](const PathEntry* entry, std::u16string_view p) { return PathLess()(entry->path, p); });
  auto last = first;
  while (last != sorted.end() && (*last)->path.substr(0, prefix.size()) == prefix) ++last;
  return {static_cast<size_t>(first - sorted.begin()), static_cast<size_t>(last - sorted.begin())};
}

Status PackageContainer::FolderEntries(const std::u16string& folder,
                                       std::span<PathEntry* const>* out) const {
  std::u16string normalized;
  if (Status code = NormalizePath(folder, &normalized); !code.ok()) return code;
  if (normalized.back() != u'/') return kInvalidArgument;
  const auto [first, last] = SortedRange(normalized);
  *out = std::span<PathEntry* const>(SortedPaths()).subspan(first, last - first);
  return kOk;
}

Status PackageContainer::Close() {
  WriteLockGuard guard(lock_);
  CloseLocked();
  return kOk;
}

void PackageContainer::CloseLocked() {
  copies_.clear();
  ResetEditing();
  root_.reset();
  paths_.Clear();
  sorted_paths_.clear();
  sorted_valid_ = false;
  entries_.clear();
  path_pool_.Clear();
  // The container opened the caller's stream for reading; saves report
  // their own write failures, so closing it has nothing left to report.
  if (opened_caller_stream_ && stream_ != nullptr) stream_->Close().IgnoreError();
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

Status PackageContainer::SetTableCompression(int flags) {
  WriteLockGuard guard(lock_);
  if (flags & ~0x03) return kSiteBadTableCompression;
  table_flags_ = static_cast<uint8_t>(flags);
  return kOk;
}

Status PackageContainer::SetOrderAnchor(const std::u16string& path) {
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
