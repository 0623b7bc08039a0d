// Starting a new package and saving: incremental (append one entry and link
// it), merged into the previous revision, or compacted into one revision.
//
// Durability: an incremental save over a file makes the new entry durable
// before the link that makes it visible, and raises the header's entry
// count last, so that an interrupted save leaves the package as it was.
// A merge, a compact save and every save into another file build the
// complete result in a new file beside the target and rename it over the
// target, so the old file stays intact until the new one is complete.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <tuple>

#include "package/byte_io.h"
#include "package/header.h"
#include "package/package_editor.h"
#include "package/path.h"
#include "package/temp_files.h"
#include "stream/dynamic_memory_stream.h"
#include "stream/file_pool.h"

namespace zoq {
namespace {

// An open descriptor closed on scope exit.
class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  void reset(int fd) {
    if (fd_ >= 0) close(fd_);
    fd_ = fd;
  }

 private:
  int fd_;
};

Status Sync(Stream* out, int fd) {
  if (out->Flush() != kOk) return kFailed;
  if (fd >= 0 && fsync(fd) != 0) return kFailed;
  return kOk;
}

std::string DirectoryOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

Status SyncDirectory(const std::string& dir) {
  Fd fd(open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd.get() < 0 || fsync(fd.get()) != 0) return kFailed;
  return kOk;
}

// Puts a package stream back as it was before a failed save.
// The save's own failure is what the caller learns: every step here is
// tried whatever the one before answered.
void RestoreStream(Stream* out, int width, const SavePoint& point) {
  PatchNextEntry(out, width, point.previous, 0).IgnoreError();
  PatchEntryCount(out, point.count).IgnoreError();
  out->SetLength(point.length).IgnoreError();
  out->Flush().IgnoreError();
}

// The same on the file itself, through a descriptor of its own: the
// stream that failed may hold bytes it could not write.
void RestoreFile(const std::string& path, int width, const SavePoint& point) {
  Fd fd(open(path.c_str(), O_WRONLY | O_CLOEXEC));
  if (fd.get() < 0) return;
  uint8_t field[8] = {};
  const int64_t at = point.previous == 0 ? kHeaderFixedSize : point.previous + 8 + width;
  uint8_t count[4];
  StoreLittle(count, static_cast<uint32_t>(point.count), 4);
  if (pwrite(fd.get(), field, static_cast<size_t>(width), at) == width &&
      pwrite(fd.get(), count, 4, 16) == 4 && ftruncate(fd.get(), point.length) == 0) {
    fsync(fd.get());
  }
}

}  // namespace

// --- Collecting the records to write. -------------------------------------

Status PackageEditor::DataOf(ItemRecord* record, std::vector<std::unique_ptr<Stream>>* streams,
                          RecordToWrite* out) {
  out->type = record->type;
  out->skippable = record->skippable;
  out->path = std::u16string(record->path());
  if (!record->HasData()) return kOk;
  int code = c_.LoadData(record);
  if (code != kOk) return code;
  Stream* clone = record->Stored().data->Clone();
  if (clone == nullptr) return kBitStreamReadFailed;
  streams->emplace_back(clone);
  // Opened once to find out now whether it can be read, then closed: the
  // writer opens each record's data only while it copies it, so a save of
  // many parts holds one read window at a time, not one per part.
  if (clone->Open(kModeRead) != kOk) return kBitStreamReadFailed;
  clone->Close().IgnoreError();  // opened for reading only
  out->data = clone;
  out->codes = record->Stored().codes;
  out->code_count = record->Stored().code_count;
  out->stored_size = record->Stored().stored_size;
  return kOk;
}

Status PackageEditor::CollectWorking(std::vector<RecordToWrite>* out,
                                  std::vector<ItemRecord*>* from,
                                  std::vector<std::unique_ptr<Stream>>* streams) {
  Entry* entry = Working();
  if (entry == nullptr) return kOk;
  for (ItemRecord& record : entry->records) {
    if (!record.present) continue;
    RecordToWrite w;
    int code = DataOf(&record, streams, &w);
    if (code != kOk) return code;
    out->push_back(std::move(w));
    from->push_back(&record);
  }
  return kOk;
}

Status PackageEditor::CollectCompact(std::vector<RecordToWrite>* out,
                                  std::vector<std::unique_ptr<Stream>>* streams) {
  struct Group {
    std::tuple<int64_t, int, int> order;
    std::vector<ItemRecord*> records;
    bool first_of_path;
  };
  std::vector<Group> groups;
  for (PackageContainer::PathEntry* slot : c_.SortedPaths()) {
    const std::u16string path(slot->path);
    const RecordList& records = slot->records;
    // A newest record of type 0 carries nothing and ends the part's
    // content, as a deletion does: the part is not there.
    if (records.empty() || records.back()->type == kRecordDeleted ||
        records.back()->type == kRecordNone) {
      continue;
    }
    PackageContainer::RecordRefs content;
    int code = c_.CollectContent(path, 0, &content);
    if (code != kOk) return code;
    for (size_t i = 0; i < content.size(); ++i) {
      ItemRecord* r = content[i];
      if (r->revision < 0 || r->revision >= static_cast<int>(c_.entries_.size())) {
        return kBadRevisionReference;
      }
      // A new group starts where the skippable flag turns on, so that
      // skippable appended data may follow other parts' data.
      // The first group stands where the part stands in the tree (its
      // oldest record), later groups where their own first record does.
      const ItemRecord* key = i == 0 ? records.front() : r;
      if (i == 0 || (r->skippable && !content[i - 1]->skippable)) {
        groups.push_back({{key->item_number, key->sequence, key->revision}, {}, i == 0});
      }
      groups.back().records.push_back(r);
    }
  }
  std::stable_sort(groups.begin(), groups.end(),
                   [](const Group& a, const Group& b) { return a.order < b.order; });
  for (const Group& group : groups) {
    for (size_t i = 0; i < group.records.size(); ++i) {
      RecordToWrite w;
      int code = DataOf(group.records[i], streams, &w);
      if (code != kOk) return code;
      w.type = group.first_of_path && i == 0 ? kRecordCreated : kRecordAppended;
      out->push_back(std::move(w));
    }
  }
  return kOk;
}

Status PackageEditor::CollectMerged(std::vector<RecordToWrite>* out,
                                 std::vector<std::unique_ptr<Stream>>* streams) {
  Entry* working = Working();
  Entry* previous = c_.entries_[c_.entries_.size() - 2].get();
  // Per path, its records in each revision, and the order of first mention.
  std::vector<const std::u16string*> order;
  std::map<std::u16string, std::pair<std::vector<ItemRecord*>, std::vector<ItemRecord*>>> by_path;
  auto note = [&](ItemRecord& r, bool is_working) {
    if (!r.present) return;
    auto [it, fresh] = by_path.try_emplace(std::u16string(r.path()));
    if (fresh) order.push_back(&it->first);
    (is_working ? it->second.second : it->second.first).push_back(&r);
  };
  for (ItemRecord& r : previous->records) note(r, false);
  for (ItemRecord& r : working->records) note(r, true);
  for (const std::u16string* path : order) {
    auto& [p, l] = by_path[*path];
    std::vector<ItemRecord*> keep;
    int first_type = l.empty() ? static_cast<int>(kRecordNone) : l.front()->type;
    bool p_began_new =
        !p.empty() && (p.front()->type == kRecordCreated || p.front()->type == kRecordDeleted);
    int override_first = -1;
    switch (first_type) {
      case kRecordNone:
        keep = p;
        break;
      case kRecordAppended:
        keep = p;
        keep.insert(keep.end(), l.begin(), l.end());
        break;
      case kRecordCreated:
        keep = l;
        break;
      case kRecordReplaced:
        keep = l;
        if (p_began_new) override_first = kRecordCreated;
        break;
      case kRecordDeleted:
        if (!p.empty() && p.front()->type == kRecordCreated) break;
        keep = l;
        break;
      default:
        keep = l;
    }
    for (size_t i = 0; i < keep.size(); ++i) {
      RecordToWrite w;
      int code = DataOf(keep[i], streams, &w);
      if (code != kOk) return code;
      if (i == 0 && override_first >= 0) w.type = override_first;
      out->push_back(std::move(w));
    }
  }
  return kOk;
}

// The previous revision may be merged when all of it lies after every
// older revision; *start is where its area begins.
bool PackageEditor::CanMerge(int64_t* start) {
  const size_t written = c_.entries_.size() - 1;
  if (written < 1) return false;
  const int width = c_.header_.width;
  auto end_of = [&](Entry* e, int64_t* end) {
    *end = std::max<int64_t>(e->facts.offset + e->facts.length, e->facts.bitstream + 4);
    for (ItemRecord& r : e->records) {
      if (!r.HasData()) continue;
      if (c_.LoadData(&r) != kOk) return false;
      const StoredData& stored = r.Stored();
      *end = std::max(*end, e->facts.bitstream + r.data_offset + 2 + width + stored.code_count +
                                stored.stored_size);
    }
    return true;
  };
  Entry* previous = c_.entries_[written - 1].get();
  *start = std::min(previous->facts.offset, previous->facts.bitstream);
  for (size_t i = 0; i + 1 < written; ++i) {
    int64_t end = 0;
    if (!end_of(c_.entries_[i].get(), &end) || end > *start) return false;
  }
  return *start >= kHeaderFixedSize + width;
}

// The end of the bytes the saved revisions link (their tables, BitStream
// markers and data records), read from `fd`; -1 when it cannot be told for
// sure. Bytes after it are unlinked: what a save that was killed wrote.
int64_t PackageEditor::LinkedEnd(int fd, int64_t file_length) {
  const size_t written = c_.entries_.size() - 1;
  const int width = c_.header_.width;
  if (written == 0) return -1;
  // The end of one data record, from its head (check byte, stored size,
  // codes and their end mark).
  auto record_end = [&](const Entry& e, const ItemRecord& r) -> int64_t {
    if (r.data_offset <= 0 || e.facts.bitstream <= 0) return -1;
    const int64_t at = e.facts.bitstream + r.data_offset;
    uint8_t head[1 + 8 + kMaxStoredCodes + 1];
    const ssize_t got = pread(fd, head, sizeof head, at);
    if (got < 1 + width) return -1;
    for (ssize_t i = 1 + width; i < got && i <= 1 + width + kMaxStoredCodes; ++i) {
      if (head[i] != 0xFF) continue;
      const int64_t size = LoadOffset(head + 1, width);
      const int64_t start = at + i + 1;
      return size < 0 || size > file_length - start ? -1 : start + size;
    }
    return -1;
  };
  auto entry_end = [&](const Entry& e, bool every_record) -> int64_t {
    int64_t end = std::max<int64_t>(e.facts.offset + e.facts.length, e.facts.bitstream + 4);
    const ItemRecord* last = nullptr;
    for (const ItemRecord& r : e.records) {
      if (!r.HasData()) continue;
      if (every_record) {
        const int64_t record = record_end(e, r);
        if (record < 0) return -1;
        end = std::max(end, record);
      } else if (last == nullptr || r.data_offset > last->data_offset) {
        last = &r;
      }
    }
    if (last != nullptr) {
      const int64_t record = record_end(e, *last);
      if (record < 0) return -1;
      end = std::max(end, record);
    }
    return end;
  };
  const Entry& newest = *c_.entries_[written - 1];
  // The newest entry must end the chain on disk too: a link beyond it (a
  // save killed between linking and counting) leaves the tail in doubt.
  uint8_t next[8];
  if (pread(fd, next, static_cast<size_t>(width), newest.facts.offset + 8 + width) != width ||
      LoadOffset(next, width) != 0) {
    return -1;
  }
  // Usually the newest entry's last data record ends the file.
  int64_t end = entry_end(newest, false);
  if (end < 0 || end >= file_length) return end;
  // Bytes follow it: every structure of every revision is measured before
  // anything is cut.
  end = kHeaderFixedSize + width;
  for (size_t i = 0; i < written; ++i) {
    const int64_t entry = entry_end(*c_.entries_[i], true);
    if (entry < 0) return -1;
    end = std::max(end, entry);
  }
  return end;
}

void PackageEditor::CutUnlinkedTail(const std::string& path, int lock_fd) {
  struct stat st;
  if (fstat(lock_fd, &st) != 0 || !S_ISREG(st.st_mode)) return;
  const int64_t end = LinkedEnd(lock_fd, st.st_size);
  if (end <= 0 || end >= st.st_size) return;
  Fd fd(open(path.c_str(), O_WRONLY | O_CLOEXEC));
  struct stat opened;
  // The file cut is the one locked and measured.
  if (fd.get() < 0 || fstat(fd.get(), &opened) != 0 || opened.st_dev != st.st_dev ||
      opened.st_ino != st.st_ino) {
    return;
  }
  if (ftruncate(fd.get(), end) == 0) fsync(fd.get());
}

// --- Writing. -------------------------------------------------------------

Status PackageEditor::CompleteDirect(Stream* out, int sync_fd) {
  EditState* s = state();
  Entry* entry = Working();
  std::vector<RecordToWrite> records;
  for (ItemRecord& r : entry->records) {
    if (!r.present) continue;
    RecordToWrite w;
    w.type = r.type;
    w.skippable = r.skippable;
    w.path = std::u16string(r.path());
    w.data_offset = r.HasData() ? r.data_offset : 0;
    records.push_back(std::move(w));
  }
  EntryFacts facts;
  int code = WriteEntryAfterBitStream(out, c_.header_.width, c_.header_.version,
                                      c_.table_flags_, s->bitstream, records, &facts);
  if (code == kOk && Sync(out, sync_fd) != kOk) code = kEntryHeaderPatchFailed;
  if (code == kOk) code = PatchNextEntry(out, c_.header_.width, 0, facts.offset);
  if (code == kOk && Sync(out, sync_fd) != kOk) code = kHeaderPatchFailed;
  if (code == kOk) code = PatchEntryCount(out, 1);
  if (code == kOk && Sync(out, sync_fd) != kOk) code = kHeaderPatchFailed;
  if (code != kOk) return code;
  facts.revision = entry->facts.revision;
  entry->facts = facts;
  return kOk;
}

Status PackageEditor::AppendEntry(Stream* out, int sync_fd, std::vector<RecordToWrite>* records,
                               EntryFacts* facts) {
  const size_t written = c_.entries_.size() - 1;
  int code = WriteEntry(out, c_.header_.width, c_.header_.version, c_.table_flags_, records,
                        facts);
  if (code == kOk && Sync(out, sync_fd) != kOk) code = kBitStreamWriteFailed;
  if (code != kOk) return code;
  const int64_t previous = written == 0 ? 0 : c_.entries_[written - 1]->facts.offset;
  code = PatchNextEntry(out, c_.header_.width, previous, facts->offset);
  if (code == kOk && Sync(out, sync_fd) != kOk) code = kNextEntryPatchFailed;
  if (code == kOk) code = PatchEntryCount(out, static_cast<int>(written) + 1);
  if (code == kOk && Sync(out, sync_fd) != kOk) code = kHeaderPatchFailed;
  return code;
}

Status PackageEditor::SaveIncrementalInPlace(Stream* out, int sync_fd, SavePoint* point) {
  EditState* s = state();
  Entry* entry = Working();
  const size_t written = c_.entries_.size() - 1;
  // What the save may patch, and the length, as they are now.
  point->length = out->GetLength();
  point->previous = s->direct_write || written == 0 ? 0 : c_.entries_[written - 1]->facts.offset;
  point->count = s->direct_write ? 0 : static_cast<int>(written);
  if (point->length < 0) return kTargetFileFailed;
  if (s->direct_write) {
    bool any = std::any_of(entry->records.begin(), entry->records.end(),
                           [](const ItemRecord& r) { return r.present; });
    if (!any) return kOk;
    int code = CompleteDirect(out, sync_fd);
    if (code != kOk) return code;
    c_.header_.entry_count = 1;
    c_.header_.first_entry = entry->facts.offset;
  } else {
    std::vector<RecordToWrite> records;
    std::vector<ItemRecord*> from;
    std::vector<std::unique_ptr<Stream>> streams;
    int code = CollectWorking(&records, &from, &streams);
    if (code != kOk) return code;
    EntryFacts facts;
    code = AppendEntry(out, sync_fd, &records, &facts);
    if (code != kOk) return code;
    facts.revision = entry->facts.revision;
    entry->facts = facts;
    for (size_t i = 0; i < from.size(); ++i) {
      from[i]->DropWindow();  // reopened from the package when needed
      from[i]->data_offset = records[i].data_offset;
    }
    if (written == 0) {
      c_.header_.first_entry = facts.offset;
    } else {
      c_.entries_[written - 1]->facts.next = facts.offset;
    }
    c_.header_.entry_count = static_cast<int>(written) + 1;
  }
  for (ItemRecord& r : entry->records) {
    if (r.present && r.HasData()) r.DropWindow();
  }
  s->working = false;
  s->direct_write = false;
  s->current.reset();
  return kOk;
}

// Writes the whole result of a compact save, a merge, or an incremental
// save into another file, into the empty stream `out`.
Status PackageEditor::WriteRewrite(Stream* out, int mode, bool merge, int64_t merge_start,
                                int width) {
  EditState* s = state();
  std::vector<RecordToWrite> records;
  std::vector<std::unique_ptr<Stream>> streams;
  if (mode == kSaveCompact) {
    HeaderFacts header = c_.header_;
    header.entry_count = 0;
    header.first_entry = 0;
    header.width = width;
    header.width_byte = width;
    int code = WriteHeader(out, header);
    if (code != kOk) return code;
    code = CollectCompact(&records, &streams);
    if (code != kOk) return code;
    if (records.empty()) return kOk;
    EntryFacts facts;
    code = WriteEntry(out, width, c_.header_.version, c_.table_flags_, &records, &facts);
    if (code != kOk) return code;
    return LinkEntry(out, width, 0, facts.offset, 1);
  }
  // Copy the package (up to the previous revision when merging).
  Stream* package = c_.stream_;
  const int64_t length = merge ? merge_start : package->GetLength();
  if (length < 0 || package->Seek(0, kSeekSet) != kOk) return kSourceOpenFailed;
  if (CopyStream(out, package, nullptr, kSeekSet, length) != kOk) return kTargetFileFailed;
  const size_t written = c_.entries_.size() - 1;
  if (merge) {
    int code = CollectMerged(&records, &streams);
    if (code != kOk) return code;
    EntryFacts facts;
    code = WriteEntry(out, c_.header_.width, c_.header_.version, c_.table_flags_, &records,
                      &facts);
    if (code != kOk) return code;
    const int64_t before = written >= 2 ? c_.entries_[written - 2]->facts.offset : 0;
    return LinkEntry(out, c_.header_.width, before, facts.offset, static_cast<int>(written));
  }
  if (s->direct_write) {
    bool any = std::any_of(Working()->records.begin(), Working()->records.end(),
                           [](const ItemRecord& r) { return r.present; });
    if (!any) return kOk;
    return CompleteDirect(out, -1);
  }
  std::vector<ItemRecord*> from;
  int code = CollectWorking(&records, &from, &streams);
  if (code != kOk) return code;
  if (records.empty()) return kOk;
  EntryFacts facts;
  return AppendEntry(out, -1, &records, &facts);
}

Status PackageEditor::Reopen(const std::string& path, Stream* caller) {
  const bool read_only = c_.read_only_;
  const int subset = c_.subset_kind_;
  const int version = c_.version_code_;
  // A new package held in memory is the container's own stream: keep it
  // across the reopen, which treats it like a caller's stream.
  std::unique_ptr<Stream> kept;
  const bool in_memory = c_.source_kind_ == kSourceCreatedNoTemp;
  if (in_memory) kept = std::move(c_.own_stream_);
  int code = caller != nullptr
                 ? c_.OpenLocked(caller, nullptr, nullptr, 0, 0, read_only)
                 : c_.OpenLocked(nullptr, &path, nullptr, 0, 0, read_only);
  if (in_memory) {
    if (code == kOk) {
      c_.own_stream_ = std::move(kept);
      c_.source_kind_ = kSourceCreatedNoTemp;
    } else {
      kept.reset();
    }
  }
  if (code != kOk) return code;
  c_.subset_kind_ = subset;
  c_.version_code_ = version;
  // Looked up again when a part needs it; none found is reported then.
  c_.ResolveSchema().IgnoreError();
  return kOk;
}

Status PackageEditor::EmbedSchema() {
  static const char16_t kSchemaPart[] = u"/__ECSEnv/01/Schema.bsg";
  PackageContainer::PathEntry* held = c_.paths_.Find(kSchemaPart);
  if (held != nullptr && !held->records.empty() &&
      held->records.back()->type != kRecordDeleted) {
    return kOk;
  }
  const std::string schema = c_.SchemaPathLocked();
  if (schema.empty()) return kSchemaFileMissing;
  // Only the new record stays in the model: it is the part's whole story.
  // A deletion pending in the working revision is withdrawn.
  if (held != nullptr) {
    const Entry* working = Working();
    for (ItemRecord* record : held->records) {
      if (working != nullptr && record->revision == working->facts.revision) {
        record->present = false;
      }
    }
    held->records.clear();
  }
  EcsCodeArg zip;
  zip.code = kEcsZip;
  if (AddFile(kSchemaPart, schema, &zip, 1, false, false) != kOk) return kAddSchemaFailed;
  return kOk;
}

// A working revision whose changes cancelled out (a part added and deleted
// again) holds no record to write: it goes, so that no empty revision is
// saved.
void PackageEditor::DropEmptyWorkingRevision() {
  EditState* s = state();
  Entry* entry = Working();
  if (entry == nullptr || s->direct_write) return;
  if (std::any_of(entry->records.begin(), entry->records.end(),
                  [](const ItemRecord& r) { return r.present; })) {
    return;
  }
  c_.entries_.pop_back();
  s->working = false;
}

Status PackageEditor::Save(const std::string* target, int mode, bool merge, int width) {
  if (!c_.IsOpenLocked() || state() == nullptr) return kSiteNoPackageOpen;
  EditState* s = state();
  if (c_.header_.version != 0x0100 && c_.header_.version != 0x0101) return kSiteSaveBadHeader;
  if (target != nullptr && target->empty()) return kSiteSaveAsEmptyPath;
  if (width == 0) width = c_.header_.width;
  if (width != 2 && width != 4 && width != 8) return kInvalidArgument;
  // Only a compact save writes every offset anew.
  if (width != c_.header_.width && mode != kSaveCompact) return kInvalidArgument;
  const bool own_file = c_.source_kind_ == kSourceFile || !s->created_temp.empty();
  const std::string own_path = !s->created_temp.empty() ? s->created_temp : c_.package_path_;
  const bool over = target == nullptr || (own_file && *target == own_path);
  if (over && c_.read_only_) return kReadOnlyPackage;
  // Written in place through the package stream itself: a caller's stream,
  // or a new package held in memory.
  const bool caller_stream =
      c_.own_stream_ == nullptr || c_.source_kind_ == kSourceCreatedNoTemp;
  if (over && !own_file && !caller_stream) return kSiteSaveNoTarget;  // a copy of caller memory
  if (c_.sxc_used_) {
    // Before any entry is written, so that a new package's first revision
    // holds the schema together with the parts that need it.
    int code = EmbedSchema();
    if (code != kOk) return code;
  }
  DropEmptyWorkingRevision();
  const bool working = s->working;
  if (over && mode != kSaveCompact && (!c_.modified_ || !working)) {
    // Nothing to write.
    c_.modified_ = false;
    return kOk;
  }
  const bool direct = s->direct_write;
  if (direct && mode == kSaveCompact && width == c_.header_.width) {
    // A new package saves its first revision in place either way.
    mode = kSaveIncremental;
  }
  int64_t merge_start = 0;
  const bool do_merge =
      mode != kSaveCompact && merge && working && !direct && CanMerge(&merge_start);

  // Over a file: hold the exclusive lock for the whole save and refuse when
  // the file is no longer the one the model was read from. Into another
  // file: wait for whoever may be writing it before replacing it.
  PackageLock lock;
  const std::string write_path = over ? own_path : *target;
  if (over && own_file) {
    int code = lock.Acquire(own_path, true, c_.lock_wait_ms_);
    if (code != kOk) return code == kPackageLocked ? code : kTargetFileFailed;
    if (s->identity.known && (!SameIdentity(s->identity, IdentityOfDescriptor(lock.fd())) ||
                              !HeaderStillLinks(lock.fd(), c_.header_))) {
      return kPackageChanged;
    }
  } else if (!over && IdentityOfPath(write_path).known) {
    // A file that cannot even be opened for reading is replaced unlocked.
    if (lock.Acquire(write_path, true, c_.lock_wait_ms_) == kPackageLocked) return kPackageLocked;
  }

  if (over && mode != kSaveCompact && !do_merge) {
    // In place: append and link; a failure puts the file back as it was.
    int code = kOk;
    Status reopened;
    SavePoint point;
    if (caller_stream || direct) {
      Stream* out = c_.stream_;
      if (caller_stream && !direct && out->Open(kModeReadWrite) != kOk) {
        return kTargetFileFailed;
      }
      code = SaveIncrementalInPlace(out, lock.fd(), &point);
      // A save is complete only when what the stream still holds is written.
      if (code == kOk && out->Flush() != kOk) code = kBitStreamWriteFailed;
      if (code != kOk && point.length >= 0) {
        if (own_file) {
          // Put back through a descriptor of its own: the stream's failure is
          // the one reported.
          out->Close().IgnoreError();
          RestoreFile(own_path, c_.header_.width, point);
        } else {
          RestoreStream(out, c_.header_.width, point);
        }
      }
      // A new package whose first save failed goes on taking its parts
      // straight into the file.
      reopened = out->Open(code != kOk && direct && own_file ? kModeReadWrite : kModeRead);
    } else {
      // Bytes a killed save left after the data go first; otherwise every
      // later save would append after them. Only when the file was found
      // unchanged since it was read: the entries in memory are its own.
      if (lock.held() && s->identity.known) CutUnlinkedTail(own_path, lock.fd());
      FileStreamArgs args;
      args.path = own_path;
      Stream* made = nullptr;
      if (CreateStream(kModeReadWrite, &args, &made, kFileStream) != kOk) {
        return kTargetFileFailed;
      }
      std::unique_ptr<Stream> out(made);
      code = SaveIncrementalInPlace(out.get(), lock.fd(), &point);
      if (out->Close() != kOk && code == kOk) code = kBitStreamWriteFailed;
      if (code != kOk && point.length >= 0) RestoreFile(own_path, c_.header_.width, point);
      reopened = c_.own_stream_->Open(kModeRead);
    }
    // Under the exclusive lock the file is as this save left it: our own
    // doing, whether it succeeded or was put back.
    if (lock.held()) s->identity = IdentityOfDescriptor(lock.fd());
    if (code != kOk) return code;
    if (!reopened.ok()) {
      // The revision is written but the package cannot be read again: the
      // container closes, as when a rewritten package cannot be opened, and
      // opening the package again shows the new revision.
      c_.CloseLocked();
      return AtSite(reopened, kSiteSaveReopen);
    }
    c_.modified_ = false;
    c_.ReleaseCopies(u"*");
    // Looked up again when a part needs it; none found is reported then.
    c_.ResolveSchema().IgnoreError();
    return kOk;
  }

  if (over && caller_stream) {
    // Build the new package in memory storage, then copy it over the
    // caller's stream.
    CVelDynamicMemoryStream built;
    if (built.Open(kModeReadWriteNew) != kOk) return kTempFileProblem;
    int code = WriteRewrite(&built, mode, do_merge, merge_start, width);
    if (code != kOk) return code;
    Stream* out = c_.stream_;
    // The caller's stream is emptied before the new package goes in: keep
    // its bytes so that a failed copy can put the package back as it was.
    CVelDynamicMemoryStream backup;
    if (backup.Open(kModeReadWriteNew) != kOk || out->Open(kModeRead) != kOk ||
        CopyStream(&backup, out, nullptr, kSeekSet, 0) != kOk) {
      out->Open(kModeRead).IgnoreError();  // the failure to keep a copy is what counts
      return kTempFileProblem;
    }
    if (out->Open(kModeReadWriteNew) != kOk || CopyStream(out, &built, nullptr, kSeekSet, 0) != kOk ||
        out->Flush() != kOk) {
      if (out->Open(kModeReadWriteNew) != kOk ||
          CopyStream(out, &backup, nullptr, kSeekSet, 0) != kOk || out->Flush() != kOk) {
        out->Open(kModeRead).IgnoreError();
        return kTargetFileFailed;  // the stream could not even be restored
      }
      out->Open(kModeRead).IgnoreError();  // put back: the failed copy is what counts
      return kTargetFileFailed;
    }
    code = Reopen(std::string(), out);
    return code;
  }

  // A new file beside the target, renamed over it when complete.
  // The temporary is ours while we hold its lock; one left by a killed
  // save has none and goes.
  const std::string dir = DirectoryOf(write_path);
  RemoveOwnerlessSaveTemporaries(write_path);
  std::string temp_path;
  OwnerLock temp;
  if (!MakeOwnedFile(dir, kSaveTempPrefix, &temp_path, &temp)) return kTargetFileFailed;
  auto fail = [&](int code) {
    unlink(temp_path.c_str());
    return code;
  };
  struct stat old;
  if (stat(write_path.c_str(), &old) == 0) {
    if (fchmod(temp.fd(), old.st_mode & 07777 & ~0002) != 0) return fail(kTargetFileFailed);
    if ((old.st_uid != geteuid() || old.st_gid != getegid()) &&
        fchown(temp.fd(), old.st_uid, old.st_gid) != 0) {
      return fail(kTargetFileFailed);
    }
  } else {
    mode_t mask = umask(0);
    umask(mask);
    if (fchmod(temp.fd(), 0666 & ~mask & ~0002) != 0) return fail(kTargetFileFailed);
  }
  {
    FileStreamArgs args;
    args.path = temp_path;
    Stream* made = nullptr;
    if (CreateStream(kModeReadWrite, &args, &made, kFileStream) != kOk) {
      return fail(kTargetFileFailed);
    }
    std::unique_ptr<Stream> out(made);
    int code = WriteRewrite(out.get(), mode, do_merge, merge_start, width);
    if (code == kOk && out->Close() != kOk) code = kTargetFileFailed;
    if (code != kOk) return fail(code);
  }
  if (fsync(temp.fd()) != 0) return fail(kTargetFileFailed);
  if (over && own_file && s->identity.known &&
      !SameIdentity(s->identity, IdentityOfPath(own_path))) {
    return fail(kPackageChanged);
  }
  if (rename(temp_path.c_str(), write_path.c_str()) != 0) return fail(kTargetFileFailed);
  // The file is the package now, no temporary: its owner's lock goes, or the
  // reopen below (and every other reader) would wait for it.
  temp.Reset();
  // The new file is in place; a file system that refuses to sync a folder
  // cannot undo that.
  SyncDirectory(dir).IgnoreError();
  FilePool::Instance().DropIdle(write_path);
  if (!over) c_.read_only_ = false;
  s->created_temp.clear();  // the package now lives at the target
  return Reopen(write_path, nullptr);
}

Status PackageEditor::Create(const std::string& path, int subset_kind, int version_code, int width,
                          int reserved) {
  if (width == 0) width = 4;
  if ((width != 2 && width != 4 && width != 8) || reserved != 0) return kContainerCreateFailed;
  if (c_.resource_dir_.empty() || (c_.temp_dir_.empty() && !c_.no_temp_dir_)) {
    return kContainerCreateFailed;
  }
  c_.CloseLocked();
  c_.read_only_ = false;
  c_.subset_kind_ = subset_kind;
  c_.version_code_ = version_code;
  c_.header_ = HeaderFacts{};
  c_.header_.width = width;
  c_.header_.width_byte = width;
  c_.header_.version = version_code == 0 || version_code > 257 ? 0x0101 : 0x0100;
  c_.edit_.reset(new (std::nothrow) EditState());
  EditState* s = state();
  if (s == nullptr) return kOutOfMemory;

  std::string file = path;
  if (path.empty()) {
    if (c_.temp_dir_.empty()) {
      auto* memory = new (std::nothrow) CVelDynamicMemoryStream();
      if (memory == nullptr) return kOutOfMemory;
      c_.own_stream_.reset(memory);
      if (memory->Open(kModeReadWriteNew) != kOk) {
        c_.CloseLocked();
        return kTempFileProblem;
      }
    } else {
      int code = MakeTempFile(c_.temp_dir_, &file);
      if (code != kOk) return code;
      s->created_temp = file;
    }
  }
  if (!file.empty()) {
    FileStreamArgs args;
    args.path = file;
    Stream* made = nullptr;
    int code = CreateStream(path.empty() ? kModeReadWrite : kModeReadWriteNew, &args, &made,
                            kFileStream);
    if (code != kOk) {
      c_.CloseLocked();
      return kTargetFileFailed;
    }
    c_.own_stream_.reset(made);
    c_.package_path_ = path;
  }
  c_.stream_ = c_.own_stream_.get();
  c_.source_kind_ = path.empty() ? (c_.temp_dir_.empty() ? kSourceCreatedNoTemp : kSourceCreated)
                                 : kSourceFile;
  Stream* out = c_.stream_;
  int64_t bitstream = 0;
  int code = WriteHeader(out, c_.header_);
  if (code == kOk) {
    bitstream = kHeaderFixedSize + width;
    if (out->Seek(bitstream, kSeekSet) != kOk || out->Write("C.BS", 4) != kOk ||
        out->Flush() != kOk) {
      code = kSiteDirectWrite;
    }
  }
  if (code != kOk) {
    c_.CloseLocked();
    return code;
  }
  code = EnsureWorkingRevision();
  if (code != kOk) {
    c_.CloseLocked();
    return code;
  }
  Working()->facts.bitstream = bitstream;
  s->direct_write = true;
  s->bitstream = bitstream;
  s->direct_end = bitstream + 4;
  c_.root_ = std::make_unique<TreeNode>();
  c_.modified_ = true;
  if (!file.empty()) s->identity = IdentityOfPath(file);
  // Looked up again when a part needs it; none found is reported then.
  c_.ResolveSchema().IgnoreError();
  return kOk;
}

// --- The Container slots. -------------------------------------------------

Status PackageContainer::CreatePackage(const std::string& path, int subset_kind, int version_code,
                                    int offset_width, int reserved_byte) {
  WriteLockGuard guard(lock_);
  return PackageEditor(*this).Create(path, subset_kind, version_code, offset_width,
                                     reserved_byte);
}

Status PackageContainer::Save(int mode, bool merge) {
  WriteLockGuard guard(lock_);
  return PackageEditor(*this).Save(nullptr, mode, merge, 0);
}

Status PackageContainer::SaveAs(const std::string& path, int mode, bool merge) {
  WriteLockGuard guard(lock_);
  return PackageEditor(*this).Save(&path, mode, merge, 0);
}

Status PackageContainer::SaveCompactWithWidth(const std::string& path, int offset_width) {
  WriteLockGuard guard(lock_);
  return PackageEditor(*this).Save(path.empty() ? nullptr : &path, kSaveCompact, false,
                                   offset_width);
}

}  // namespace zoq
