// Adding parts: the checks of an add, filing encoded content as a record of
// the working revision, and the add, replace and append slots, which
// encode outside the container's write lock.
#include <algorithm>

#include "package/container_impl.h"
#include "package/package_editor.h"
#include "stream/file_stream.h"

namespace zoq {

bool PackageEditor::UsesSxc(const std::vector<uint8_t>& codes) {
  return std::find(codes.begin(), codes.end(), kEcsSxc) != codes.end();
}

EncodeSettings PackageEditor::SettingsOf(const PackageContainer& c) {
  EncodeSettings settings;
  settings.owner = &c;
  settings.temp_dir = c.temp_dir_;
  settings.iv_header = c.version_code_ > 257;
  return settings;
}

bool PackageEditor::Stale(const PackageContainer& c, const EncodedPart& part) {
  return part.uses_adm_ && part.iv_header_ != SettingsOf(c).iv_header;
}

Status PackageEditor::CheckCodesOfAdd(const PackageContainer& c, const EcsCodeArg* codes,
                                   int count, std::vector<uint8_t>* list) {
  if (!c.IsOpenLocked()) return kSiteNoPackageOpen;
  return CheckCodes(codes, count, list);
}

Status PackageEditor::CheckAdd(const PackageContainer& c, const std::u16string& path, bool append,
                            AddTarget* out) {
  int code = NormalizePath(path, &out->normalized);
  if (code != kOk) return code;
  if (out->normalized.back() == u'/') return kIllegalPath;
  const RecordList* existing = c.FindRecords(out->normalized);
  const bool exists =
      existing != nullptr && !existing->empty() && existing->back()->type != kRecordDeleted;
  out->type = exists ? (append ? kRecordAppended : kRecordReplaced) : kRecordCreated;
  // A new part may not stand below an existing part, nor where a folder is.
  if (!exists) {
    const std::u16string_view path = out->normalized;
    for (size_t slash = path.find(u'/', 1); slash != std::u16string_view::npos;
         slash = path.find(u'/', slash + 1)) {
      const RecordList* above = c.FindRecords(path.substr(0, slash));
      if (above != nullptr && PackageContainer::Exists(*above)) return kAddNodeFailed;
    }
    if (!c.no_tree_ && c.root_) {
      PathNode* node = FindPathInTree(c.root_.get(), path);
      if (node != nullptr && node->IsFolder()) return kAddNodeFailed;
    } else {
      const std::u16string folder = out->normalized + u'/';
      const auto [first, last] = c.SortedRange(folder);
      for (size_t i = first; i < last; ++i) {
        if (PackageContainer::Exists(c.SortedPaths()[i]->records)) return kAddNodeFailed;
      }
    }
  }
  // A working revision must be possible.
  const bool working = c.edit_ && c.edit_->working;
  if (!working && c.header_.width == 0) return kSiteNoHeader;
  return kOk;
}

Status PackageEditor::Add(const std::u16string& path, Stream* source, const EcsCodeArg* codes,
                       int code_count, bool skippable, bool append) {
  std::vector<uint8_t> list;
  int code = CheckCodesOfAdd(c_, codes, code_count, &list);
  if (code != kOk) return code;
  AddTarget target;
  code = CheckAdd(c_, path, append, &target);
  if (code != kOk) return code;
  if (!source->IsOpen() && source->Open(kModeRead) != kOk) return kAddSourceFailed;
  EncodeSettings settings = SettingsOf(c_);
  if (UsesSxc(list) && !settings.temp_dir.empty()) settings.schema = c_.SchemaPathLocked();
  std::unique_ptr<EncodedPart> part;
  code = Encode(settings, source, list, code_count > 0 ? codes : nullptr, &part);
  if (code != kOk) return code;
  return FileEncoded(path, part.get(), skippable, append);
}

Status PackageEditor::AddFile(const std::u16string& path, const std::string& file,
                           const EcsCodeArg* codes, int code_count, bool skippable, bool append) {
  std::unique_ptr<Stream> source;
  Status code = OpenSourceFile(file, &source);
  return code != kOk ? code : Add(path, source.get(), codes, code_count, skippable, append);
}

Status PackageEditor::FileEncoded(const std::u16string& path, EncodedPart* part, bool skippable,
                               bool append) {
  if (!c_.IsOpenLocked()) return kSiteNoPackageOpen;
  if (state() == nullptr) return kOutOfMemory;
  if (part == nullptr || part->owner_ != &c_ || (part->memory_ == nullptr && part->file_.empty())) {
    return kBadAddArguments;
  }
  if (Stale(c_, *part)) return kEncodeFailed;
  AddTarget target;
  int code = CheckAdd(c_, path, append, &target);
  if (code != kOk) return code;
  if ((c_.version_code_ != 0 && c_.version_code_ < 258) || c_.header_.version != 0x0101) {
    skippable = false;
  }
  code = EnsureWorkingRevision();
  if (code != kOk) return code;
  Entry* entry = Working();
  ItemRecord scratch;
  code = Store(part, &scratch);
  if (code != kOk) return code;
  part->Drop();

  ItemRecord& record = entry->records.emplace_back(std::move(scratch));
  record.revision = entry->facts.revision;
  record.type = target.type;
  record.present = true;
  record.skippable = skippable;
  record.SetPath(target.normalized);
  Number(&record);
  if (part->uses_sxc_) c_.sxc_used_ = true;
  c_.ReleaseCopies(target.normalized);
  Insert(&record);
  if (!c_.no_tree_ && c_.root_ && FindPathInTree(c_.root_.get(), target.normalized) == nullptr) {
    if (c_.anchor_ >= 0) {
      // Placed after the anchor's part: the tree is ordered anew.
      c_.BuildTree();
    } else {
      // A path that cannot join the tree (it runs through a part) stays out
      // of it; it is still reachable by path.
      AddPathToTree(c_.root_.get(), target.normalized, nullptr).IgnoreError();
    }
  }
  c_.modified_ = true;
  return kOk;
}

// --- Adding with the encoding outside the write lock. ---------------------

namespace {

Status OpenSource(int type, void* args, std::unique_ptr<Stream>* out) {
  Stream* made = nullptr;
  if (CreateStream(kModeRead, args, &made, type) != kOk) return kAddSourceFailed;
  out->reset(made);
  return kOk;
}

}  // namespace

Status PackageEditor::OpenSourceFile(const std::string& file, std::unique_ptr<Stream>* out) {
  if (file.empty()) return kBadAddArguments;
  FileStreamArgs args;
  args.path = file;
  args.shared = true;
  return OpenSource(kFileStream, &args, out);
}

Status PackageEditor::OpenSourceMemory(const void* bytes, int64_t length,
                                    std::unique_ptr<Stream>* out) {
  if ((bytes == nullptr && length != 0) || length < 0) return kBadAddArguments;
  static const uint8_t kNothing = 0;
  MemoryStreamArgs args;
  args.buffer = const_cast<void*>(bytes != nullptr ? bytes : &kNothing);
  args.capacity = length;
  args.length = length;
  return OpenSource(kMemoryStream, &args, out);
}

// Checks under the read lock, encodes without a lock, files under the
// write lock. SXC encoding reads the schema in effect, which may have to be
// extracted from the package: it stays under the write lock. Should the
// settings the content was encoded with have changed before it is filed,
// the add runs again wholly under the write lock.
Status PackageEditor::AddShared(PackageContainer& c, const std::u16string& path, Stream* source,
                             const EcsCodeArg* codes, int code_count, bool skippable,
                             bool append) {
  if (source == nullptr) return kSiteNoSourceStream;
  std::vector<uint8_t> list;
  EncodeSettings settings;
  {
    ReadLockGuard guard(c.lock_);
    int code = CheckCodesOfAdd(c, codes, code_count, &list);
    AddTarget target;
    if (code == kOk) code = CheckAdd(c, path, append, &target);
    if (code != kOk) return code;
    settings = SettingsOf(c);
  }
  if (!UsesSxc(list)) {
    if (!source->IsOpen() && source->Open(kModeRead) != kOk) return kAddSourceFailed;
    std::unique_ptr<EncodedPart> part;
    int code = Encode(settings, source, list, code_count > 0 ? codes : nullptr, &part);
    if (code != kOk) return code;
    WriteLockGuard guard(c.lock_);
    if (!Stale(c, *part)) return PackageEditor(c).FileEncoded(path, part.get(), skippable, append);
  }
  WriteLockGuard guard(c.lock_);
  return PackageEditor(c).Add(path, source, codes, code_count, skippable, append);
}

Status PackageEditor::AddSharedMemory(PackageContainer& c, const std::u16string& path,
                                   const void* bytes, int64_t length, const EcsCodeArg* codes,
                                   int code_count, bool skippable, bool append) {
  std::unique_ptr<Stream> source;
  Status code = OpenSourceMemory(bytes, length, &source);
  return code != kOk ? code
                     : AddShared(c, path, source.get(), codes, code_count, skippable, append);
}

Status PackageEditor::AddSharedFile(PackageContainer& c, const std::u16string& path,
                                 const std::string& file, const EcsCodeArg* codes,
                                 int code_count, bool skippable, bool append) {
  std::unique_ptr<Stream> source;
  Status code = OpenSourceFile(file, &source);
  return code != kOk ? code
                     : AddShared(c, path, source.get(), codes, code_count, skippable, append);
}

Status PackageEditor::EncodeShared(PackageContainer& c, Stream* source, const EcsCodeArg* codes,
                                int code_count, std::unique_ptr<EncodedPart>* out) {
  if (out == nullptr) return kBadAddArguments;
  if (source == nullptr) return kSiteNoSourceStream;
  std::vector<uint8_t> list;
  EncodeSettings settings;
  {
    ReadLockGuard guard(c.lock_);
    int code = CheckCodesOfAdd(c, codes, code_count, &list);
    if (code != kOk) return code;
    settings = SettingsOf(c);
  }
  if (!source->IsOpen() && source->Open(kModeRead) != kOk) return kAddSourceFailed;
  const EcsCodeArg* args = code_count > 0 ? codes : nullptr;
  if (!UsesSxc(list)) return Encode(settings, source, list, args, out);
  WriteLockGuard guard(c.lock_);
  if (!c.IsOpenLocked()) return kSiteNoPackageOpen;
  settings = SettingsOf(c);
  if (!settings.temp_dir.empty()) settings.schema = c.SchemaPathLocked();
  return Encode(settings, source, list, args, out);
}

// --- The Container slots. -------------------------------------------------

Status PackageContainer::AddPartFromStream(const std::u16string& path, Stream* source,
                                        const EcsCodeArg* codes, int code_count, bool skippable) {
  return PackageEditor::AddShared(*this, path, source, codes, code_count, skippable, false);
}

Status PackageContainer::AddPartFromMemory(const std::u16string& path, const void* bytes,
                                        int64_t length, const EcsCodeArg* codes, int code_count,
                                        bool skippable) {
  return PackageEditor::AddSharedMemory(*this, path, bytes, length, codes, code_count, skippable,
                                        false);
}

Status PackageContainer::AddPartFromFile(const std::u16string& path, const std::string& file,
                                      const EcsCodeArg* codes, int code_count, bool skippable) {
  return PackageEditor::AddSharedFile(*this, path, file, codes, code_count, skippable, false);
}

// Replacing is adding over an existing part: the record type follows from
// what the path holds.
Status PackageContainer::ReplacePartFromStream(const std::u16string& path, Stream* source,
                                            const EcsCodeArg* codes, int code_count,
                                            bool skippable) {
  return AddPartFromStream(path, source, codes, code_count, skippable);
}

Status PackageContainer::ReplacePartFromMemory(const std::u16string& path, const void* bytes,
                                            int64_t length, const EcsCodeArg* codes,
                                            int code_count, bool skippable) {
  return AddPartFromMemory(path, bytes, length, codes, code_count, skippable);
}

Status PackageContainer::ReplacePartFromFile(const std::u16string& path, const std::string& file,
                                          const EcsCodeArg* codes, int code_count,
                                          bool skippable) {
  return AddPartFromFile(path, file, codes, code_count, skippable);
}

Status PackageContainer::AppendToPartFromStream(const std::u16string& path, Stream* source,
                                             const EcsCodeArg* codes, int code_count) {
  return PackageEditor::AddShared(*this, path, source, codes, code_count, false, true);
}

Status PackageContainer::AppendToPartFromMemory(const std::u16string& path, const void* bytes,
                                             int64_t length, const EcsCodeArg* codes,
                                             int code_count) {
  return PackageEditor::AddSharedMemory(*this, path, bytes, length, codes, code_count, false,
                                        true);
}

Status PackageContainer::AppendToPartFromFile(const std::u16string& path, const std::string& file,
                                           const EcsCodeArg* codes, int code_count) {
  return PackageEditor::AddSharedFile(*this, path, file, codes, code_count, false, true);
}

Status PackageContainer::EncodePartFromStream(Stream* source, const EcsCodeArg* codes,
                                           int code_count, std::unique_ptr<EncodedPart>* out) {
  return PackageEditor::EncodeShared(*this, source, codes, code_count, out);
}

Status PackageContainer::EncodePartFromFile(const std::string& file, const EcsCodeArg* codes,
                                         int code_count, std::unique_ptr<EncodedPart>* out) {
  std::unique_ptr<Stream> source;
  Status code = PackageEditor::OpenSourceFile(file, &source);
  return code != kOk ? code
                     : PackageEditor::EncodeShared(*this, source.get(), codes, code_count, out);
}

Status PackageContainer::AddEncodedPart(const std::u16string& path, EncodedPart* part,
                                     bool skippable, bool append) {
  WriteLockGuard guard(lock_);
  return PackageEditor(*this).FileEncoded(path, part, skippable, append);
}

}  // namespace zoq
