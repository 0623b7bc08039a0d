// Editing: the working revision, storing encoded data in temporary storage
// or straight into a new package, deletion and re-encoding.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "package/container_impl.h"
#include "package/data_record.h"
#include "package/edit_state.h"
#include "package/entry_writer.h"
#include "package/package_editor.h"
#include "package/temp_files.h"
#include "stream/dynamic_memory_stream.h"
#include "stream/file_stream.h"

namespace zoq {

EditState::~EditState() {
  current.reset();
  for (const std::string& file : files) unlink(file.c_str());
  if (!created_temp.empty()) unlink(created_temp.c_str());
}

void EditStateDeleter::operator()(EditState* state) const { delete state; }

void PackageContainer::ResetEditing() {
  // Windows over storage files are released with their records; the files
  // themselves go with the state.
  edit_.reset();
}

void PackageContainer::RememberFileIdentity(const FileIdentity& identity) {
  if (!edit_) edit_.reset(new (std::nothrow) EditState());
  if (!edit_) return;
  edit_->identity = identity;
}

PackageEditor::PackageEditor(PackageContainer& c) : c_(c) {
  if (!c_.edit_) c_.edit_.reset(new (std::nothrow) EditState());
}

EditState* PackageEditor::state() { return c_.edit_.get(); }

Entry* PackageEditor::Working() {
  EditState* s = state();
  if (s == nullptr || !s->working || c_.entries_.empty()) return nullptr;
  return c_.entries_.back().get();
}

Status PackageEditor::EnsureWorkingRevision() {
  EditState* s = state();
  if (s == nullptr) return kOutOfMemory;
  if (s->working) return kOk;
  if (c_.header_.width == 0) return kSiteNoHeader;
  auto entry = std::make_unique<Entry>();
  entry->facts.revision = static_cast<int>(c_.entries_.size());
  entry->facts.table_flags = c_.table_flags_;
  c_.entries_.push_back(std::move(entry));
  s->working = true;
  return kOk;
}

void PackageEditor::Number(ItemRecord* record) {
  if (c_.anchor_ < 0) {
    record->item_number = c_.next_item_++;
    record->sequence = 0;
  } else {
    record->item_number = c_.anchor_;
    record->sequence = ++c_.anchor_sequence_[c_.anchor_];
  }
}

// Files the encoded bytes of `part` for `record`: into the package itself
// in direct-write mode, else into temporary storage.
Status PackageEditor::Store(EncodedPart* part, ItemRecord* record) {
  record->Stored().codes = part->codes_;
  record->Stored().code_count = part->code_count_;
  if (state()->direct_write) {
    if (part->memory_ != nullptr) return StoreDirect(part->memory_, part->size_, record);
    std::unique_ptr<Stream> window;
    Status code = FileWindow(part->file_, 0, part->size_, &window);
    return code != kOk ? code : StoreDirect(window.get(), part->size_, record);
  }
  return part->memory_ != nullptr ? StoreInMemory(part, record) : StoreInStorageFile(part, record);
}

// A part encoded into a file of its own: the record reads it there, and
// the file is the container's from now on.
Status PackageEditor::StoreInStorageFile(EncodedPart* part, ItemRecord* record) {
  std::unique_ptr<Stream> window;
  int code = FileWindow(part->file_, 0, part->size_, &window);
  if (code != kOk) return code;
  state()->files.push_back(part->file_);
  part->file_.clear();
  record->Stored().data = std::move(window);
  record->Stored().check_byte = part->check_;
  record->Stored().stored_size = part->size_;
  return kOk;
}

Status PackageEditor::StoreInMemory(EncodedPart* part, ItemRecord* record) {
  EditState* s = state();
  const int64_t size = part->size_;
  uint8_t check = 0;
  if (c_.temp_dir_.empty()) {
    // No temporary directory: the record keeps its own memory copy.
    std::unique_ptr<Stream> copy(part->memory_->Clone());
    if (!copy || copy->Open(kModeRead) != kOk || ExclusiveOrOf(copy.get(), &check) != kOk ||
        copy->Close() != kOk) {
      return kEncodeFailed;
    }
    if (ReadOnlyWindow(copy.release(), 0, size, &record->Stored().data) != kOk) {
      return kEncodeFailed;
    }
    record->Stored().check_byte = check;
    record->Stored().stored_size = size;
    return kOk;
  }
  // Append to the current storage file, starting a new one past 1 GiB.
  if (!s->current || s->current->GetLength() > kStorageFileLimit) {
    s->current.reset();
    std::string path;
    int code = MakeTempFile(c_.temp_dir_, &path);
    if (code != kOk) return code;
    s->files.push_back(path);
    FileStreamArgs args;
    args.path = path;
    Stream* made = nullptr;
    if (CreateStream(kModeReadWrite, &args, &made, kFileStream) != kOk) return kTempFileProblem;
    s->current.reset(made);
    s->current_path = path;
  }
  const int64_t offset = s->current->GetLength();
  if (offset < 0 || CopyStream(s->current.get(), part->memory_, &check, kSeekEnd, 0) != kOk ||
      s->current->Flush() != kOk) {
    // Whatever was appended is never referred to.
    return kTempFileProblem;
  }
  std::unique_ptr<Stream> window;
  int code = FileWindow(s->current_path, offset, size, &window);
  if (code != kOk) return code;
  record->Stored().data = std::move(window);
  record->Stored().check_byte = check;
  record->Stored().stored_size = size;
  return kOk;
}

// Direct-write mode: the data record goes straight into the package file at
// the end of the working revision's BitStream.
Status PackageEditor::StoreDirect(Stream* encoded, int64_t size, ItemRecord* record) {
  EditState* s = state();
  Stream* package = c_.stream_;
  // The record, and the entry that the first save puts after it, must be
  // addressable with the package's offset width.
  const int width = c_.header_.width;
  StoredData& facts = record->Stored();
  const uint64_t end = static_cast<uint64_t>(s->direct_end) + 2 + width + facts.code_count;
  if (size < 0 || !FitsWidth(static_cast<uint64_t>(s->direct_end - s->bitstream), width) ||
      !FitsWidth(static_cast<uint64_t>(size), width) ||
      !FitsWidth(end + static_cast<uint64_t>(size), width)) {
    return kOffsetWidthTooSmall;
  }
  if (package->Seek(s->direct_end, kSeekSet) != kOk) return kSiteDirectWrite;
  uint8_t check = 0;
  int64_t stored = 0;
  int code = WriteDataRecord(package, width, facts.codes.data(), facts.code_count, encoded,
                             size, &check, &stored);
  if (code == kOk && package->Flush() != kOk) code = kSiteDirectWrite;
  if (code != kOk) {
    // What was written of the record goes again.
    // The failure of the write is what the caller learns; cutting back is
    // tried whatever it answers.
    package->SetLength(s->direct_end).IgnoreError();
    package->Flush().IgnoreError();
    return stored != size && code == kBitStreamWriteFailed ? kSiteEncodedSize : code;
  }
  // Our own writes are no change by someone else.
  const std::string& file = !s->created_temp.empty() ? s->created_temp : c_.package_path_;
  if (!file.empty()) s->identity = IdentityOfPath(file);
  record->data_offset = s->direct_end - s->bitstream;
  s->direct_end = package->Tell();
  facts.data.reset();  // read back from the package when needed
  facts.check_byte = check;
  facts.stored_size = stored;
  return kOk;
}

void PackageEditor::Insert(ItemRecord* record) {
  PackageContainer::PathEntry& slot = c_.PathSlot(record->path());
  record->SetPath(slot.path);
  RecordList& list = slot.records;
  if (record->type == kRecordAppended && !list.empty()) {
    record->skippable = list.back()->skippable;
    list.push_back(record);
    return;
  }
  while (!list.empty() && list.back()->revision == record->revision) {
    ItemRecord* old = list.back();
    record->item_number = old->item_number;
    record->sequence = old->sequence;
    old->present = false;
    old->DropWindow();
    list.pop_back();
  }
  if (list.empty() || list.back()->type == kRecordDeleted) {
    if (record->type == kRecordDeleted) {
      // Nothing is recorded. The record keeps pointing at a path that
      // outlives the map entry.
      record->present = false;
      record->SetPath(u"/");
      if (list.empty()) c_.ErasePath(&slot);
      return;
    }
    record->type = kRecordCreated;
  }
  list.push_back(record);
}

// Removes the part's node and the folders that became empty above it.
Status PackageEditor::RemoveFromTree(const std::u16string& path) {
  if (c_.no_tree_ || !c_.root_) return kOk;
  PathNode* node = FindPathInTree(c_.root_.get(), path);
  if (node == nullptr) return kOk;
  if (node->IsFolder()) return kRemoveNodeFailed;
  for (;;) {
    PathNode* parent = node->GetParent();
    if (parent == nullptr) return kOk;
    // The node itself: a part and a folder may share its name.
    static_cast<TreeNode*>(parent)->Remove(static_cast<TreeNode*>(node));
    if (parent->IsRoot() || parent->HasChildren()) return kOk;
    node = parent;
  }
}

Status PackageEditor::CheckCodes(const EcsCodeArg* codes, int count, std::vector<uint8_t>* out) {
  out->clear();
  if (count < 0) return kSiteBadAddCodes;
  if (count == 0) return kOk;
  if (codes == nullptr || count > kMaxCodes) return kSiteBadAddCodes;
  const int first = codes[0].code;
  if (first != kEcsSxc && first != kEcsZip && first != kEcsAdm && first != kEcsEnd) {
    return kSiteBadAddCodes;
  }
  for (int i = 0; i < count; ++i) {
    const int code = codes[i].code;
    if (code == kEcsEnd) break;
    if (code != kEcsSxc && code != kEcsZip && code != kEcsAdm) return kSiteUnknownAddCode;
    if (out->size() == kMaxStoredCodes) return kSiteTooManyAddCodes;
    out->push_back(static_cast<uint8_t>(code));
  }
  return kOk;
}

Status PackageEditor::Delete(const std::u16string& path) {
  if (!c_.IsOpenLocked()) return kSiteNoPackageOpen;
  std::u16string normalized;
  int code = NormalizePath(path, &normalized);
  if (code != kOk) return code;
  const RecordList* existing = c_.FindRecords(normalized);
  if (existing == nullptr || existing->empty()) return kOk;
  if (existing->back()->type == kRecordDeleted) return kOk;
  code = EnsureWorkingRevision();
  if (code != kOk) return code;
  code = RemoveFromTree(normalized);
  if (code != kOk) return code;
  Entry* entry = Working();
  ItemRecord& record = entry->records.emplace_back();
  record.revision = entry->facts.revision;
  record.type = kRecordDeleted;
  record.present = true;
  record.SetPath(normalized);
  Number(&record);
  c_.ReleaseCopies(normalized);
  Insert(&record);
  c_.modified_ = true;
  return kOk;
}

Status PackageEditor::Reencode(const std::u16string& path, const EcsCodeArg* codes, int count) {
  if (!c_.IsOpenLocked()) return kSiteNoPackageOpen;
  if (count == 0 || (codes != nullptr && codes[0].code == kEcsEnd)) return kOk;
  std::vector<uint8_t> list;
  int code = CheckCodes(codes, count, &list);
  if (code == kSiteUnknownAddCode || code == kSiteTooManyAddCodes) return kSiteReencodeCodes;
  if (code != kOk) return code;
  std::u16string normalized;
  code = NormalizePath(path, &normalized);
  if (code != kOk) return code;
  PackageContainer::RecordRefs content;
  code = c_.CollectContent(normalized, 0, &content);
  if (code != kOk) return code;
  if (content.empty()) return kNoSuchNode;
  EncodeSettings settings = SettingsOf(c_);
  if (UsesSxc(list) && !settings.temp_dir.empty()) settings.schema = c_.SchemaPathLocked();
  // Encode every record first, so that a failure changes nothing.
  std::vector<ItemRecord> encoded(content.size());
  for (size_t i = 0; i < content.size(); ++i) {
    ItemRecord* old = content[i];
    code = c_.LoadData(old);
    if (code != kOk) return code;
    if (old->Stored().code_count + static_cast<int>(list.size()) > kMaxStoredCodes) {
      return kSiteReencodeCodes;
    }
    std::unique_ptr<Stream> stored(old->Stored().data->Clone());
    if (!stored || stored->Open(kModeRead) != kOk) return kBitStreamReadFailed;
    ItemRecord& fresh = encoded[i];
    fresh.skippable = old->skippable;
    std::unique_ptr<EncodedPart> part;
    code = Encode(settings, stored.get(), list, codes, &part);
    if (code != kOk) return code;
    // The stored codes are the old ones followed by the new.
    part->codes_ = old->Stored().codes;
    part->code_count_ = old->Stored().code_count;
    for (uint8_t c : list) part->codes_[part->code_count_++] = c;
    code = EnsureWorkingRevision();
    if (code == kOk) code = Store(part.get(), &fresh);
    if (code != kOk) return code;
  }
  Entry* entry = Working();
  for (size_t i = 0; i < encoded.size(); ++i) {
    ItemRecord& record = entry->records.emplace_back(std::move(encoded[i]));
    record.revision = entry->facts.revision;
    record.type = i == 0 ? kRecordReplaced : kRecordAppended;
    record.present = true;
    record.SetPath(normalized);
    Number(&record);
    Insert(&record);
  }
  if (UsesSxc(list)) c_.sxc_used_ = true;
  c_.ReleaseCopies(normalized);
  c_.modified_ = true;
  return kOk;
}

// --- The Container slots. -------------------------------------------------

Status PackageContainer::DeletePart(const std::u16string& path) {
  WriteLockGuard guard(lock_);
  return PackageEditor(*this).Delete(path);
}

Status PackageContainer::AddPartEncoding(const std::u16string& path, const EcsCodeArg* codes,
                                      int code_count) {
  WriteLockGuard guard(lock_);
  return PackageEditor(*this).Reencode(path, codes, code_count);
}

}  // namespace zoq
