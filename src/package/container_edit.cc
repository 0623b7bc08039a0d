// Editing: the working revision, encoding new data into temporary storage,
// the nine add/replace/append operations, deletion, re-encoding, and
// starting a new package.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "package/container_impl.h"
#include "package/edit_state.h"
#include "package/entry_writer.h"
#include "package/package_editor.h"
#include "package/temp_files.h"
#include "stream/dynamic_memory_stream.h"
#include "stream/file_stream.h"

namespace zoq {

FileIdentity IdentityOfDescriptor(int fd) {
  FileIdentity id;
  struct stat st;
  if (fstat(fd, &st) != 0) return id;
  id.known = true;
  id.device = st.st_dev;
  id.inode = st.st_ino;
  id.size = st.st_size;
  id.modified = st.st_mtim;
  return id;
}

FileIdentity IdentityOfPath(const std::string& path) {
  FileIdentity id;
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return id;
  id.known = true;
  id.device = st.st_dev;
  id.inode = st.st_ino;
  id.size = st.st_size;
  id.modified = st.st_mtim;
  return id;
}

bool SameIdentity(const FileIdentity& a, const FileIdentity& b) {
  return a.known && b.known && a.device == b.device && a.inode == b.inode && a.size == b.size &&
         a.modified.tv_sec == b.modified.tv_sec && a.modified.tv_nsec == b.modified.tv_nsec;
}

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

void PackageContainer::RememberFileIdentity() {
  if (!edit_) edit_.reset(new (std::nothrow) EditState());
  if (!edit_) return;
  edit_->identity = package_path_.empty() ? FileIdentity{} : IdentityOfPath(package_path_);
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

int PackageEditor::EnsureWorkingRevision() {
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

// Builds the decorator stack that applies `codes` in list order over `sink`
// (taking it over) and opens it for writing.
int PackageEditor::StackEncoders(const uint8_t* codes, const EcsCodeArg* args, int count,
                                 Stream* sink, Stream** out) {
  *out = nullptr;
  Stream* stream = sink;
  for (int i = count - 1; i >= 0; --i) {
    Stream* next = nullptr;
    int result = kOk;
    switch (codes[i]) {
      case kEcsZip: {
        DeflateStreamArgs a;
        a.inner = stream;
        result = CreateStream(kModeClose, &a, &next, kDeflateStream);
        if (result != kOk) delete a.inner;
        break;
      }
      case kEcsAdm: {
        const KeyInfo* key = args != nullptr ? args[i].key : nullptr;
        if (key == nullptr || key->key == nullptr || key->key_length <= 0) {
          delete stream;
          return kSiteNoKey;
        }
        AdmStreamArgs a;
        a.inner = stream;
        a.key = key->key;
        a.key_length = key->key_length;
        a.algorithm = key->algorithm;
        a.iv_header = c_.version_code_ > 257;
        result = CreateStream(kModeClose, &a, &next, kAdmStream);
        if (result != kOk) delete a.inner;
        break;
      }
      case kEcsSxc: {
        if (c_.temp_dir_.empty()) {
          delete stream;
          return kSiteSxcWithoutTempDir;
        }
        std::string schema = c_.SchemaPathLocked();
        if (schema.empty()) {
          delete stream;
          return kSchemaFileMissing;
        }
        SxcStreamArgs a;
        a.inner = stream;
        a.schema_path = schema;
        a.temp_dir = c_.temp_dir_;
        result = CreateStream(kModeClose, &a, &next, kSxcStream);
        if (result != kOk) delete a.inner;
        break;
      }
      default:
        delete stream;
        return kSiteUnknownAddCode;
    }
    if (result != kOk) return AtSite(result, kEncodeFailed);
    stream = next;
  }
  int result = stream->Open(kModeWrite);
  if (result != kOk) {
    delete stream;
    return AtSite(result, kEncodeFailed);
  }
  *out = stream;
  return kOk;
}

int PackageEditor::NewStorageFile(std::string* path, std::unique_ptr<Stream>* out) {
  EditState* s = state();
  int code = MakeTempFile(c_.temp_dir_, path);
  if (code != kOk) return code;
  s->files.push_back(*path);
  FileStreamArgs args;
  args.path = *path;
  Stream* made = nullptr;
  if (CreateStream(kModeReadWrite, &args, &made, kFileStream) != kOk) return kTempFileProblem;
  out->reset(made);
  return kOk;
}

// A closed read-only window of `length` bytes at `offset` in the file.
int PackageEditor::FileWindow(const std::string& path, int64_t offset, int64_t length,
                              std::unique_ptr<Stream>* out) {
  FileStreamArgs file;
  file.path = path;
  file.shared = true;
  Stream* inner = nullptr;
  if (CreateStream(kModeClose, &file, &inner, kFileStream) != kOk) return kTempFileProblem;
  SubStreamArgs sub;
  sub.inner = inner;
  sub.offset = offset;
  sub.length = length;
  Stream* window = nullptr;
  if (CreateStream(kModeClose, &sub, &window, kReadOnlySubStream) != kOk) {
    delete sub.inner;
    return kTempFileProblem;
  }
  out->reset(window);
  return kOk;
}

int PackageEditor::Encode(Stream* source, const uint8_t* codes, const EcsCodeArg* args,
                          int count, int64_t source_length, ItemRecord* record) {
  const bool large = source_length < 0 || source_length >= kLargeSource;
  std::unique_ptr<Stream> file_sink;
  std::string file_sink_path;
  Stream* sink = nullptr;
  CVelDynamicMemoryStream* memory = nullptr;
  if (large && !c_.temp_dir_.empty()) {
    int code = NewStorageFile(&file_sink_path, &file_sink);
    if (code != kOk) return code;
    // The encoder stack owns what it writes to; the storage file stays ours
    // through a second stream on the same file.
    FileStreamArgs args2;
    args2.path = file_sink_path;
    if (CreateStream(kModeClose, &args2, &sink, kFileStream) != kOk) return kTempFileProblem;
    file_sink.reset();
  } else {
    memory = new (std::nothrow) CVelDynamicMemoryStream();
    if (memory == nullptr) return kOutOfMemory;
    sink = memory;
  }
  // Keep the memory sink alive after the stack closes: the stack owns it,
  // so take the bytes out before the stack is destroyed.
  Stream* top = nullptr;
  int code = StackEncoders(codes, args, count, sink, &top);
  if (code != kOk) return code;
  std::unique_ptr<Stream> stack(top);
  code = CopyStream(stack.get(), source, nullptr, kSeekSet, 0);
  if (code == kOk) code = stack->Flush();
  if (code == kOk) code = stack->Close();
  if (code != kOk) return AtSite(code, kEncodeFailed);

  if (!file_sink_path.empty()) {
    stack.reset();
    FileIdentity id = IdentityOfPath(file_sink_path);
    if (!id.known) return kTempFileProblem;
    return StoreFromFile(file_sink_path, id.size, record);
  }
  // Encoded in memory: reopen for reading and store it.
  if (memory->Open(kModeRead) != kOk) return kEncodeFailed;
  return StoreFromMemory(memory, record);
}

int PackageEditor::StoreFromFile(const std::string& path, int64_t size, ItemRecord* record) {
  std::unique_ptr<Stream> window;
  int code = FileWindow(path, 0, size, &window);
  if (code != kOk) return code;
  if (state()->direct_write) return StoreDirect(window.get(), size, record);
  std::unique_ptr<Stream> reader(window->Clone());
  if (!reader || reader->Open(kModeRead) != kOk) return kTempFileProblem;
  uint8_t check = 0;
  std::unique_ptr<uint8_t[]> piece(new (std::nothrow) uint8_t[65536]);
  if (!piece) return kOutOfMemory;
  for (;;) {
    int64_t done = 0;
    if (reader->Read(piece.get(), 65536, &done) != kOk) return kTempFileProblem;
    if (done <= 0) break;
    for (int64_t i = 0; i < done; ++i) check ^= piece[i];
  }
  record->data = std::move(window);
  record->check_byte = check;
  record->stored_size = size;
  return kOk;
}

int PackageEditor::StoreFromMemory(Stream* memory, ItemRecord* record) {
  EditState* s = state();
  const int64_t size = memory->GetLength();
  if (size < 0) return kEncodeFailed;
  if (s->direct_write) return StoreDirect(memory, size, record);
  uint8_t check = 0;
  if (c_.temp_dir_.empty()) {
    // No temporary directory: the record keeps its own memory copy.
    auto* copy = new (std::nothrow) CVelDynamicMemoryStream();
    if (copy == nullptr) return kOutOfMemory;
    std::unique_ptr<Stream> owned(copy);
    if (copy->Open(kModeReadWriteNew) != kOk ||
        CopyStream(copy, memory, &check, kSeekSet, 0) != kOk || copy->Close() != kOk) {
      return kEncodeFailed;
    }
    Stream* inner = owned.release();
    SubStreamArgs sub;
    sub.inner = inner;
    sub.offset = 0;
    sub.length = size;
    Stream* window = nullptr;
    if (CreateStream(kModeClose, &sub, &window, kReadOnlySubStream) != kOk) {
      delete sub.inner;
      return kEncodeFailed;
    }
    record->data.reset(window);
    record->check_byte = check;
    record->stored_size = size;
    return kOk;
  }
  // Append to the current storage file, starting a new one past 1 GiB.
  if (!s->current || s->current->GetLength() > kStorageFileLimit) {
    s->current.reset();
    int code = NewStorageFile(&s->current_path, &s->current);
    if (code != kOk) return code;
  }
  const int64_t offset = s->current->GetLength();
  if (offset < 0 || CopyStream(s->current.get(), memory, &check, kSeekEnd, 0) != kOk ||
      s->current->Flush() != kOk) {
    // Whatever was appended is never referred to.
    return kTempFileProblem;
  }
  std::unique_ptr<Stream> window;
  int code = FileWindow(s->current_path, offset, size, &window);
  if (code != kOk) return code;
  record->data = std::move(window);
  record->check_byte = check;
  record->stored_size = size;
  return kOk;
}

// Direct-write mode: the data record goes straight into the package file at
// the end of the working revision's BitStream.
int PackageEditor::StoreDirect(Stream* encoded, int64_t size, ItemRecord* record) {
  EditState* s = state();
  Stream* package = c_.stream_;
  if (package->Seek(s->direct_end, kSeekSet) != kOk) return kSiteDirectWrite;
  uint8_t check = 0;
  int64_t stored = 0;
  int code = WriteDataRecord(package, c_.header_.width, record->codes.data(), record->code_count,
                             encoded, size, &check, &stored);
  if (code != kOk) return stored != size && code == kBitStreamWriteFailed ? kSiteEncodedSize : code;
  if (package->Flush() != kOk) return kSiteDirectWrite;
  // Our own writes are no change by someone else.
  const std::string& file = !s->created_temp.empty() ? s->created_temp : c_.package_path_;
  if (!file.empty()) s->identity = IdentityOfPath(file);
  record->data_offset = s->direct_end - s->bitstream;
  s->direct_end = package->Tell();
  record->data.reset();  // read back from the package when needed
  record->check_byte = check;
  record->stored_size = stored;
  return kOk;
}

void PackageEditor::Insert(ItemRecord* record) {
  PackageContainer::PathEntry& slot = c_.PathSlot(record->path);
  record->path = slot.first;
  PackageContainer::RecordList& list = slot.second;
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
    old->data.reset();
    list.pop_back();
  }
  if (list.empty() || list.back()->type == kRecordDeleted) {
    if (record->type == kRecordDeleted) {
      // Nothing is recorded. The record keeps pointing at a path that
      // outlives the map entry.
      record->present = false;
      record->path = u"/";
      if (list.empty()) c_.ErasePath(c_.path_map_.find(slot.first));
      return;
    }
    record->type = kRecordCreated;
  }
  list.push_back(record);
}

// Removes the part's node and the folders that became empty above it.
int PackageEditor::RemoveFromTree(const std::u16string& path) {
  if (c_.no_tree_ || !c_.root_) return kOk;
  PathNode* node = FindPathInTree(c_.root_.get(), path);
  if (node == nullptr) return kOk;
  if (node->IsFolder()) return kRemoveNodeFailed;
  for (;;) {
    PathNode* parent = node->GetParent();
    if (parent == nullptr) return kOk;
    if (parent->RemoveChild(node->GetName()) != kOk) return kRemoveNodeFailed;
    if (parent->IsRoot() || parent->HasChildren()) return kOk;
    node = parent;
  }
}

int PackageEditor::CheckCodes(const EcsCodeArg* codes, int count, std::vector<uint8_t>* out) {
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

int PackageEditor::Add(const std::u16string& path, Stream* source, const EcsCodeArg* codes,
                       int code_count, bool skippable, bool append) {
  if (!c_.IsOpenLocked()) return kSiteNoPackageOpen;
  if (state() == nullptr) return kOutOfMemory;
  std::vector<uint8_t> list;
  int code = CheckCodes(codes, code_count, &list);
  if (code != kOk) return code;
  if ((c_.version_code_ != 0 && c_.version_code_ < 258) || c_.header_.version != 0x0101) {
    skippable = false;
  }
  std::u16string normalized;
  code = NormalizePath(path, &normalized);
  if (code != kOk) return code;
  if (normalized.back() == u'/') return kIllegalPath;
  const PackageContainer::RecordList* existing = c_.FindRecords(normalized);
  int type = kRecordCreated;
  if (existing != nullptr && !existing->empty() && existing->back()->type != kRecordDeleted) {
    type = append ? kRecordAppended : kRecordReplaced;
  }
  // A new part may not run through an existing part, nor be a folder.
  if (!c_.no_tree_ && c_.root_ && (existing == nullptr || existing->empty() ||
                                   existing->back()->type == kRecordDeleted)) {
    PathNode* node = FindPathInTree(c_.root_.get(), normalized);
    if (node != nullptr && node->IsFolder()) return kAddNodeFailed;
  }
  code = EnsureWorkingRevision();
  if (code != kOk) return code;
  Entry* entry = Working();

  if (!source->IsOpen() && source->Open(kModeRead) != kOk) return kAddSourceFailed;
  ItemRecord scratch;
  scratch.code_count = static_cast<int>(list.size());
  std::copy(list.begin(), list.end(), scratch.codes.begin());
  // ADM keys go with the caller's list; pass the elements that hold codes.
  std::vector<EcsCodeArg> args(codes, codes + (code_count > 0 ? code_count : 0));
  code = Encode(source, scratch.codes.data(), args.empty() ? nullptr : args.data(),
                scratch.code_count, source->GetLength(), &scratch);
  if (code != kOk) return code;

  ItemRecord& record = entry->records.emplace_back();
  record.revision = entry->facts.revision;
  record.type = type;
  record.present = true;
  record.skippable = skippable;
  record.codes = scratch.codes;
  record.code_count = scratch.code_count;
  record.data = std::move(scratch.data);
  record.data_offset = scratch.data_offset;
  record.check_byte = scratch.check_byte;
  record.stored_size = scratch.stored_size;
  record.path = normalized;
  Number(&record);
  if (std::find(list.begin(), list.end(), kEcsSxc) != list.end()) c_.sxc_used_ = true;
  c_.ReleaseCopies(normalized);
  Insert(&record);
  if (!c_.no_tree_ && c_.root_ && FindPathInTree(c_.root_.get(), normalized) == nullptr) {
    if (c_.anchor_ >= 0) {
      // Placed after the anchor's part: the tree is ordered anew.
      c_.BuildTree();
    } else {
      AddPathToTree(c_.root_.get(), normalized, nullptr);
    }
  }
  c_.modified_ = true;
  return kOk;
}

int PackageEditor::AddMemory(const std::u16string& path, const void* bytes, int64_t length,
                             const EcsCodeArg* codes, int code_count, bool skippable,
                             bool append) {
  if ((bytes == nullptr && length != 0) || length < 0) return kBadAddArguments;
  static const uint8_t kNothing = 0;
  MemoryStreamArgs args;
  args.buffer = const_cast<void*>(bytes != nullptr ? bytes : &kNothing);
  args.capacity = length;
  args.length = length;
  Stream* made = nullptr;
  if (CreateStream(kModeRead, &args, &made, kMemoryStream) != kOk) return kAddSourceFailed;
  std::unique_ptr<Stream> source(made);
  return Add(path, source.get(), codes, code_count, skippable, append);
}

int PackageEditor::AddFile(const std::u16string& path, const std::string& file,
                           const EcsCodeArg* codes, int code_count, bool skippable, bool append) {
  if (file.empty()) return kBadAddArguments;
  FileStreamArgs args;
  args.path = file;
  args.shared = true;
  Stream* made = nullptr;
  if (CreateStream(kModeRead, &args, &made, kFileStream) != kOk) return kAddSourceFailed;
  std::unique_ptr<Stream> source(made);
  return Add(path, source.get(), codes, code_count, skippable, append);
}

int PackageEditor::Delete(const std::u16string& path) {
  if (!c_.IsOpenLocked()) return kSiteNoPackageOpen;
  std::u16string normalized;
  int code = NormalizePath(path, &normalized);
  if (code != kOk) return code;
  const PackageContainer::RecordList* existing = c_.FindRecords(normalized);
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
  record.path = normalized;
  Number(&record);
  c_.ReleaseCopies(normalized);
  Insert(&record);
  c_.modified_ = true;
  return kOk;
}

int PackageEditor::Reencode(const std::u16string& path, const EcsCodeArg* codes, int count) {
  if (!c_.IsOpenLocked()) return kSiteNoPackageOpen;
  if (count == 0 || (codes != nullptr && codes[0].code == kEcsEnd)) return kOk;
  std::vector<uint8_t> list;
  int code = CheckCodes(codes, count, &list);
  if (code == kSiteUnknownAddCode || code == kSiteTooManyAddCodes) return kSiteReencodeCodes;
  if (code != kOk) return code;
  std::u16string normalized;
  code = NormalizePath(path, &normalized);
  if (code != kOk) return code;
  PackageContainer::RecordList content;
  code = c_.CollectContent(normalized, 0, &content);
  if (code != kOk) return code;
  if (content.empty()) return kNoSuchNode;
  // Encode every record first, so that a failure changes nothing.
  std::vector<ItemRecord> encoded(content.size());
  for (size_t i = 0; i < content.size(); ++i) {
    ItemRecord* old = content[i];
    code = c_.LoadData(old);
    if (code != kOk) return code;
    if (old->code_count + static_cast<int>(list.size()) > kMaxStoredCodes) {
      return kSiteReencodeCodes;
    }
    std::unique_ptr<Stream> stored(old->data->Clone());
    if (!stored || stored->Open(kModeRead) != kOk) return kBitStreamReadFailed;
    ItemRecord& fresh = encoded[i];
    fresh.codes = old->codes;
    fresh.code_count = old->code_count;
    for (uint8_t c : list) fresh.codes[fresh.code_count++] = c;
    fresh.skippable = old->skippable;
    code = EnsureWorkingRevision();
    if (code != kOk) return code;
    code = Encode(stored.get(), list.data(), codes, static_cast<int>(list.size()),
                  old->stored_size, &fresh);
    if (code != kOk) return code;
  }
  Entry* entry = Working();
  for (size_t i = 0; i < encoded.size(); ++i) {
    ItemRecord& record = entry->records.emplace_back(std::move(encoded[i]));
    record.revision = entry->facts.revision;
    record.type = i == 0 ? kRecordReplaced : kRecordAppended;
    record.present = true;
    record.path = normalized;
    Number(&record);
    Insert(&record);
  }
  if (std::find(list.begin(), list.end(), kEcsSxc) != list.end()) c_.sxc_used_ = true;
  c_.ReleaseCopies(normalized);
  c_.modified_ = true;
  return kOk;
}

// --- The Container slots. -------------------------------------------------

int PackageContainer::AddPartFromStream(const std::u16string& path, Stream* source,
                                        const EcsCodeArg* codes, int code_count, bool skippable) {
  WriteLockGuard guard(lock_);
  if (source == nullptr) return kSiteNoSourceStream;
  return PackageEditor(*this).Add(path, source, codes, code_count, skippable, false);
}

int PackageContainer::AddPartFromMemory(const std::u16string& path, const void* bytes,
                                        int64_t length, const EcsCodeArg* codes, int code_count,
                                        bool skippable) {
  WriteLockGuard guard(lock_);
  return PackageEditor(*this).AddMemory(path, bytes, length, codes, code_count, skippable, false);
}

int PackageContainer::AddPartFromFile(const std::u16string& path, const std::string& file,
                                      const EcsCodeArg* codes, int code_count, bool skippable) {
  WriteLockGuard guard(lock_);
  return PackageEditor(*this).AddFile(path, file, codes, code_count, skippable, false);
}

int PackageContainer::ReplacePartFromStream(const std::u16string& path, Stream* source,
                                            const EcsCodeArg* codes, int code_count,
                                            bool skippable) {
  WriteLockGuard guard(lock_);
  if (source == nullptr) return kSiteNoSourceStream;
  return PackageEditor(*this).Add(path, source, codes, code_count, skippable, false);
}

int PackageContainer::ReplacePartFromMemory(const std::u16string& path, const void* bytes,
                                            int64_t length, const EcsCodeArg* codes,
                                            int code_count, bool skippable) {
  WriteLockGuard guard(lock_);
  return PackageEditor(*this).AddMemory(path, bytes, length, codes, code_count, skippable, false);
}

int PackageContainer::ReplacePartFromFile(const std::u16string& path, const std::string& file,
                                          const EcsCodeArg* codes, int code_count,
                                          bool skippable) {
  WriteLockGuard guard(lock_);
  return PackageEditor(*this).AddFile(path, file, codes, code_count, skippable, false);
}

int PackageContainer::AppendToPartFromStream(const std::u16string& path, Stream* source,
                                             const EcsCodeArg* codes, int code_count) {
  WriteLockGuard guard(lock_);
  if (source == nullptr) return kSiteNoSourceStream;
  return PackageEditor(*this).Add(path, source, codes, code_count, false, true);
}

int PackageContainer::AppendToPartFromMemory(const std::u16string& path, const void* bytes,
                                             int64_t length, const EcsCodeArg* codes,
                                             int code_count) {
  WriteLockGuard guard(lock_);
  return PackageEditor(*this).AddMemory(path, bytes, length, codes, code_count, false, true);
}

int PackageContainer::AppendToPartFromFile(const std::u16string& path, const std::string& file,
                                           const EcsCodeArg* codes, int code_count) {
  WriteLockGuard guard(lock_);
  return PackageEditor(*this).AddFile(path, file, codes, code_count, false, true);
}

int PackageContainer::DeletePart(const std::u16string& path) {
  WriteLockGuard guard(lock_);
  return PackageEditor(*this).Delete(path);
}

int PackageContainer::AddPartEncoding(const std::u16string& path, const EcsCodeArg* codes,
                                      int code_count) {
  WriteLockGuard guard(lock_);
  return PackageEditor(*this).Reencode(path, codes, code_count);
}

}  // namespace zoq
