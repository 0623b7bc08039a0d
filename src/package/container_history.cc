// The history operations: every path's records across the revisions, and
// bringing back the content a part had at an earlier revision.
#include <algorithm>
#include <climits>
#include <memory>

#include "package/container_impl.h"
#include "package/package_editor.h"
#include "package/path.h"

namespace zoq {

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
    const RecordList& records = entry->records;
    if (records.empty()) continue;
    PathHistory& history = out->emplace_back();
    history.path = entry->path;
    history.records.reserve(records.size());
    for (const ItemRecord* record : records) {
      if (!record->present) continue;
      history.records.push_back({record->revision, record->type, record->skippable});
    }
  }
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
