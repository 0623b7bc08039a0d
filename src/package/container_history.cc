// The history operations: every path's records across the revisions, and
// bringing back the content a part had at an earlier revision.
#include <algorithm>
#include <climits>
#include <memory>

#include "package/container_impl.h"
#include "package/package_editor.h"
#include "package/path.h"

namespace zoq {
namespace {

// The path and present records of one index entry, as a history.
void AppendHistory(const PathIndex::Slot& entry, std::vector<PathHistory>* out) {
  PathHistory& history = out->emplace_back();
  history.path = entry.path;
  history.records.reserve(entry.records.size());
  for (const ItemRecord* record : entry.records) {
    if (!record->present) continue;
    history.records.push_back({record->revision, record->type, record->skippable});
  }
}

}  // namespace

Status PackageContainer::ListPathHistories(const std::u16string& folder,
                                        std::vector<PathHistory>* out) {
  ReadLockGuard guard(lock_);
  if (out == nullptr) return kInvalidArgument;
  if (!IsOpenLocked()) return kNoStream;
  std::span<PathEntry* const> entries;
  if (Status code = FolderEntries(folder, &entries); !code.ok()) return code;
  out->clear();
  out->reserve(entries.size());
  for (const PathEntry* entry : entries) {
    if (!entry->records.empty()) AppendHistory(*entry, out);
  }
  return kOk;
}

Status PackageContainer::ListPathHistoriesChangedIn(const std::u16string& folder,
                                                 int from_revisions, int to_revisions,
                                                 std::vector<PathHistory>* out) {
  ReadLockGuard guard(lock_);
  if (out == nullptr || from_revisions < 0 || to_revisions < 0) return kInvalidArgument;
  if (!IsOpenLocked()) return kNoStream;
  std::u16string prefix;
  if (Status code = NormalizePath(folder, &prefix); !code.ok()) return code;
  if (prefix.back() != u'/') return kInvalidArgument;
  const int low = std::min(from_revisions, to_revisions);
  const int high = std::max(from_revisions, to_revisions);
  auto in_range = [low, high](const ItemRecord* record) {
    return record->present && record->revision >= low && record->revision < high;
  };
  // The records of the revisions in the range name the candidates: only
  // those revisions are read, and only their paths are sorted (not every
  // path of the package, as the ordinal order of all of them would need).
  // A candidate counts when its own list holds a record in the range (a
  // list can drop records its revision still holds: a re-embedded schema).
  std::vector<const PathEntry*> changed;
  std::vector<bool> seen(paths_.slot_count());
  for (const auto& entry : entries_) {
    const int revision = entry->facts.revision;
    if (revision < low || revision >= high) continue;
    for (const ItemRecord& record : entry->records) {
      if (!in_range(&record) || record.path().substr(0, prefix.size()) != prefix) continue;
      const PathEntry* slot = paths_.Find(record.path());
      if (slot == nullptr || seen[paths_.IdOf(slot)]) continue;
      seen[paths_.IdOf(slot)] = true;
      if (std::any_of(slot->records.begin(), slot->records.end(), in_range)) {
        changed.push_back(slot);
      }
    }
  }
  std::sort(changed.begin(), changed.end(), [](const PathEntry* a, const PathEntry* b) {
    return PathLess()(a->path, b->path);
  });
  out->clear();
  out->reserve(changed.size());
  for (const PathEntry* slot : changed) AppendHistory(*slot, out);
  return kOk;
}

Status PackageContainer::GetPathInfo(PartInfo* info, const std::u16string& path,
                                  int revision_limit) {
  WriteLockGuard guard(lock_);
  if (info == nullptr || revision_limit < 0) return kInvalidArgument;
  if (!IsOpenLocked()) return kNoStream;
  std::u16string normalized;
  int code = NormalizePath(path, &normalized);
  if (code != kOk) return code;
  const RecordList* records = FindRecords(normalized);
  if (records == nullptr || records->empty()) return kNoSuchNode;
  *info = PartInfo{};
  info->path = normalized;
  info->name = normalized.substr(normalized.rfind(u'/') + 1);
  return FillPartInfo(info, revision_limit);
}

Status PackageContainer::RestorePart(const std::u16string& path, int revision_limit,
                                  const KeyInfo* key) {
  WriteLockGuard guard(lock_);
  return PackageEditor(*this).Restore(path, revision_limit, key);
}

Status PackageEditor::Restore(const std::u16string& path, int revision_limit, const KeyInfo* key) {
  if (!c_.IsOpenLocked()) return kSiteNoPackageOpen;
  if (revision_limit < 0) return kInvalidArgument;
  std::u16string normalized;
  int code = NormalizePath(path, &normalized);
  if (code != kOk) return code;
  PackageContainer::RecordRefs content;
  code = c_.CollectContent(normalized, revision_limit, &content);
  if (code != kOk) return code;
  ItemRecord* full = content.front();
  code = c_.LoadData(full);
  if (code != kOk) return code;
  std::array<uint8_t, 8> codes = full->Stored().codes;
  const int code_count = full->Stored().code_count;
  const bool skippable = full->skippable;

  std::vector<uint8_t> list(codes.begin(), codes.begin() + code_count);
  EncodeSettings settings = SettingsOf(c_);
  if (UsesSxc(list) && !settings.temp_dir.empty()) settings.schema = c_.SchemaPathLocked();
  std::unique_ptr<EncodedPart> part;
  if (content.size() == 1) {
    // One record: its stored bytes are the version, whatever its codes.
    std::unique_ptr<Stream> stored(full->Stored().data->Clone());
    if (!stored || stored->Open(kModeRead) != kOk) return kBitStreamReadFailed;
    code = Encode(settings, stored.get(), {}, nullptr, &part);
    if (code != kOk) return code;
    part->codes_ = codes;
    part->code_count_ = code_count;
    part->uses_adm_ = std::find(list.begin(), list.end(), kEcsAdm) != list.end();
    part->uses_sxc_ = UsesSxc(list);
  } else {
    // Appended content becomes one record: decoded and encoded again.
    DecodeOptions decode;
    decode.key = key;
    Stream* raw = nullptr;
    code = c_.OpenContent(normalized, revision_limit, &decode, false, false, &raw, nullptr);
    if (code != kOk) return code;
    std::unique_ptr<Stream> decoded(raw);
    std::vector<EcsCodeArg> args(code_count);
    for (int i = 0; i < code_count; ++i) {
      args[i].code = codes[i];
      args[i].key = codes[i] == kEcsAdm ? key : nullptr;
    }
    code = Encode(settings, decoded.get(), list, args.data(), &part);
    if (code != kOk) return code;
  }
  return FileEncoded(normalized, part.get(), skippable, false);
}

}  // namespace zoq
