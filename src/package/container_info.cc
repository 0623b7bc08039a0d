// The information operations: path kinds, listings, nodes, part
// information, locations and the raw package.
#include "package/byte_io.h"
#include "package/container_impl.h"
#include "package/package_sites.h"
#include "package/path.h"

namespace zoq {

Status PackageContainer::LoadData(ItemRecord* record) {
  if (record->revision < 0 || record->revision >= static_cast<int>(entries_.size())) {
    return kBadRevisionReference;
  }
  const EntryFacts& entry = entries_[record->revision]->facts;
  return LoadDataRecord(stream_, entry.bitstream, header_.width, record);
}

bool PackageContainer::IsPartSkippable(const std::u16string& path) {
  ReadLockGuard guard(lock_);
  std::u16string normalized;
  if (header_.version != 0x0101 || NormalizePath(path, &normalized) != kOk) return false;
  const RecordList* records = FindRecords(normalized);
  return records != nullptr && !records->empty() && records->back()->skippable;
}

int PackageContainer::GetPathKind(const std::u16string& path) {
  ReadLockGuard guard(lock_);
  std::u16string normalized;
  if (!IsOpenLocked() || NormalizePath(path, &normalized) != kOk) return kPathNotFound;
  if (no_tree_) {
    if (normalized == u"/") return kPathFolder;
    const RecordList* records = FindRecords(normalized);
    if (records != nullptr && Exists(*records)) return kPathPart;
    std::u16string folder = normalized;
    if (folder.back() != u'/') folder.push_back(u'/');
    const auto [first, last] = SortedRange(folder);
    const std::vector<PathEntry*>& sorted = SortedPaths();
    for (size_t i = first; i < last; ++i) {
      if (Exists(sorted[i]->records)) return kPathFolder;
    }
    return kPathNotFound;
  }
  PathNode* node = FindPathInTree(root_.get(), normalized);
  if (node == nullptr) return kPathNotFound;
  return node->IsFolder() ? kPathFolder : kPathPart;
}

Status PackageContainer::ListParts(const std::u16string& folder, std::vector<std::u16string>* out) {
  ReadLockGuard guard(lock_);
  if (out == nullptr) return kInvalidArgument;
  std::span<PathEntry* const> entries;
  if (Status code = FolderEntries(folder, &entries); !code.ok()) return code;
  out->clear();
  for (const PathEntry* entry : entries) {
    if (Exists(entry->records)) out->emplace_back(entry->path);
  }
  return kOk;
}

Status PackageContainer::ListRecordedParts(std::vector<std::u16string>* out) {
  ReadLockGuard guard(lock_);
  if (out == nullptr) return kInvalidArgument;
  out->clear();
  // Paths whose records never held data (a lone deletion) name no part.
  for (const PathEntry* slot : FirstStoredOrder()) {
    for (const ItemRecord* record : slot->records) {
      if (record->present && record->HasData()) {
        out->emplace_back(slot->path);
        break;
      }
    }
  }
  return kOk;
}

PathNode* PackageContainer::GetNode(const std::u16string& path) {
  ReadLockGuard guard(lock_);
  return GetNodeLocked(path);
}

PathNode* PackageContainer::GetNodeLocked(const std::u16string& path) {
  std::u16string normalized;
  if (!IsOpenLocked() || no_tree_ || path.empty() || (path[0] != u'/' && path[0] != u'\\') ||
      NormalizePath(path, &normalized) != kOk) {
    return nullptr;
  }
  return FindPathInTree(root_.get(), normalized);
}

Status PackageContainer::GetPartInfoByPath(PartInfo* info, const std::u16string& path,
                                        int revision_limit) {
  WriteLockGuard guard(lock_);
  PathNode* node = GetNodeLocked(path);
  if (node == nullptr) return kNoSuchNode;
  return GetPartInfoLocked(info, node, revision_limit);
}

Status PackageContainer::GetPartInfo(PartInfo* info, PathNode* node, int revision_limit) {
  WriteLockGuard guard(lock_);
  return GetPartInfoLocked(info, node, revision_limit);
}

Status PackageContainer::GetPartInfoLocked(PartInfo* info, PathNode* node, int revision_limit) {
  if (info == nullptr || node == nullptr || revision_limit < 0) return kInvalidArgument;
  *info = PartInfo{};
  info->name = node->GetName();
  info->is_folder = node->IsFolder();
  info->path = node->GetPath();
  if (info->is_folder) return kOk;
  return FillPartInfo(info, revision_limit);
}

Status PackageContainer::FillPartInfo(PartInfo* info, int revision_limit) {
  const RecordList* records = FindRecords(info->path);
  if (records == nullptr) return kOk;
  if (records->empty()) return kSiteEmptyRecordList;

  bool newest_considered = true;
  bool full_seen = false;
  for (auto it = records->rbegin(); it != records->rend(); ++it) {
    ItemRecord* record = *it;
    if (!record->present) continue;
    if (info->revisions.empty() || info->revisions.back() != record->revision) {
      info->revisions.push_back(record->revision);
    }
    if (revision_limit != 0 && record->revision >= revision_limit) continue;
    if (record->type == kRecordNone) continue;
    // Deleted when the newest record at the limit is a deletion.
    if (newest_considered) info->deleted = record->type == kRecordDeleted;
    newest_considered = false;
    if (!record->HasData()) continue;
    int code = LoadData(record);
    if (code != kOk) return code;
    info->position = entries_[record->revision]->facts.bitstream + record->data_offset;
    info->total_size += record->Stored().stored_size;
    if (record->IsFull() && !full_seen) {
      full_seen = true;
      info->codes = record->Stored().codes;
      info->code_count = record->Stored().code_count;
      info->size = record->Stored().stored_size;
      info->skippable = record->skippable;
    }
  }
  return kOk;
}

Status PackageContainer::GetPartLocation(const std::u16string& path, int64_t* position,
                                      int64_t* stored_size) {
  WriteLockGuard guard(lock_);
  if (position == nullptr || stored_size == nullptr) return kInvalidArgument;
  std::u16string normalized;
  int code = NormalizePath(path, &normalized);
  if (code != kOk) return code;
  const RecordList* records = FindRecords(normalized);
  if (records == nullptr) return kNoSuchNode;
  if (records->empty()) return kSiteLocationEmptyList;
  ItemRecord* first = records->front();
  if (first->type == kRecordDeleted) return kSiteLocationDeleted;
  code = LoadData(first);
  if (code != kOk) return code;
  *position = entries_[first->revision]->facts.bitstream + first->data_offset;
  *stored_size = first->Stored().stored_size;
  return kOk;
}

Status PackageContainer::ReadRawPackage(void* buffer, int64_t* length) {
  WriteLockGuard guard(lock_);
  if (length == nullptr) return kInvalidArgument;
  if (!IsOpenLocked()) return kNoStream;
  int64_t size = stream_->GetLength();
  if (size < 0) return kSiteRawSeek;
  if (buffer == nullptr) {
    *length = size;
    return kOk;
  }
  if (*length < size) return kSiteRawBufferTooSmall;
  int64_t position = stream_->Tell();
  int code = size == 0 ? kOk : ReadExactAt(stream_, 0, buffer, size);
  if (position >= 0 && stream_->Seek(position, kSeekSet) != kOk && code == kOk) {
    code = kSiteRawRestore;
  }
  if (code != kOk) return code;
  *length = size;
  return kOk;
}

}  // namespace zoq
