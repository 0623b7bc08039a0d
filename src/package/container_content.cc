// Part content: assembling a part from its records at a revision limit,
// undoing ECS codes through decoding streams, decoded copies in temporary
// storage, and the verification of data check bytes.
#include <algorithm>
#include <memory>

#include "stream/check_byte.h"
#include "package/checked_read.h"
#include "package/checked_stream.h"
#include "package/code_stack.h"
#include "package/container_impl.h"
#include "package/path.h"
#include "package/temp_files.h"

namespace zoq {
namespace {

std::vector<uint8_t> KeyBytes(const KeyInfo* key) {
  if (key == nullptr || key->key == nullptr || key->key_length <= 0) return {};
  return std::vector<uint8_t>(key->key, key->key + key->key_length);
}

}  // namespace

Status PackageContainer::CollectContent(const std::u16string& path, int revision_limit,
                                     RecordRefs* out) {
  out->clear();
  const RecordList* records = FindRecords(path);
  if (records == nullptr) return kNoSuchNode;
  bool full = false;
  for (auto it = records->rbegin(); it != records->rend(); ++it) {
    ItemRecord* record = *it;
    if (!record->present) continue;
    // Everything at or above the limit did not exist yet, deletions included.
    if (revision_limit != 0 && record->revision >= revision_limit) continue;
    if (record->type == kRecordAppended) {
      out->push_back(record);
      continue;
    }
    if (record->IsFull()) {
      out->push_back(record);
      full = true;
    }
    break;  // a full record, a deletion or an empty record ends the walk
  }
  if (!full) {
    out->clear();
    return kStoredDataProblem;
  }
  std::reverse(out->begin(), out->end());
  return kOk;
}

Status PackageContainer::DecodeRecord(ItemRecord* record, const DecodeOptions& request,
                                   CheckByteTap** tap, Stream** out) {
  *out = nullptr;
  int result = LoadData(record);
  if (result != kOk) return result;
  const StoredData& stored = record->Stored();
  const int code = request.code;
  int first = 0;  // index of the first code to undo
  if (code == 0) {
    first = stored.code_count;
  } else if (code != kEcsEnd) {
    if (stored.code_count == 0 || stored.codes[0] != code) return kSiteFirstCodeMismatch;
    first = 1;
  }
  Stream* stream = stored.data->Clone();
  if (stream == nullptr) return kBitStreamReadFailed;
  if (tap != nullptr) {
    *tap = new CheckByteTap(stream, stored.stored_size, stored.check_byte);
    stream = *tap;
  }
  CodeStackSettings settings;
  settings.iv_header = version_code_ > 257;
  settings.temp_dir = temp_dir_;
  settings.schema = [this] { return SchemaPathLocked(); };
  settings.stored_size = stored.stored_size;
  settings.max_output = request.max_output;
  settings.report = request.report;
  // Empty stored data is empty content whatever the codes say.
  for (int i = stored.code_count - 1; stored.stored_size > 0 && i >= first; --i) {
    Stream* next = nullptr;
    // No transformation known for a code: the part cannot be decoded.
    result = WrapForCode(stored.codes[i], stream, request.key, settings, kDecodeFailed,
                         kDecodeFailed, &next);
    if (result != kOk) return result;
    stream = next;
  }
  result = stream->Open(kModeRead);
  if (result != kOk) {
    delete stream;
    return AtSite(result, kBitStreamReadFailed);
  }
  *out = stream;
  return kOk;
}

DecodedCopy* PackageContainer::FindCopy(const std::u16string& path, int revision_limit, int code,
                                        const std::vector<uint8_t>& key, bool need_file) {
  auto it = copies_.find(path);
  if (it == copies_.end()) return nullptr;
  for (const auto& copy : it->second) {
    // Only a copy made for the same request holds the same bytes.
    if (!copy->unusable && copy->revision_limit == revision_limit && copy->code == code &&
        copy->key == key && (!need_file || !copy->file.empty())) {
      return copy.get();
    }
  }
  return nullptr;
}

Status PackageContainer::MakeCopy(const RecordRefs& records, const DecodeOptions& request,
                               bool need_file, std::unique_ptr<DecodedCopy>* out) {
  auto copy = std::make_unique<DecodedCopy>();
  Stream* storage = nullptr;
  if (!temp_dir_.empty()) {
    int result = MakeTempFile(temp_dir_, &copy->file);
    if (result != kOk) return result;
    FileStreamArgs args;
    args.path = copy->file;
    if (CreateStream(kModeReadWriteNew, &args, &storage, kFileStream) != kOk) {
      return kTempFileProblem;
    }
  } else {
    if (need_file) return kTempFileProblem;
    if (CreateStream(kModeReadWriteNew, nullptr, &storage, kDynamicMemoryStream) != kOk) {
      return kTempFileProblem;
    }
  }
  copy->storage.reset(storage);
  for (ItemRecord* record : records) {
    Stream* decoded = nullptr;
    int result = DecodeRecord(record, request, nullptr, &decoded);
    if (result != kOk) return result;
    std::unique_ptr<Stream> owner(decoded);
    result = CopyChecked(decoded, storage, &copy->length);
    if (result != kOk) return AtSite(result, kTempFileProblem);
  }
  if (storage->Flush() != kOk) return kTempFileProblem;
  // A copy in a file is reached again through clones that open the file by
  // its path, so its own stream need not stay open: a descriptor and a
  // window buffer per remembered copy would make reading many parts of
  // several records run out of descriptors and grow memory part by part.
  if (!copy->file.empty() && storage->Close() != kOk) return kTempFileProblem;
  *out = std::move(copy);
  return kOk;
}

Status PackageContainer::CheckCopy(DecodedCopy* copy, const RecordRefs& records) {
  if (copy->stored_check < 0) {
    copy->stored_check = kOk;
    for (ItemRecord* record : records) {
      const int code = VerifyRecord(record);
      if (code != kOk) {
        copy->stored_check = code;
        break;
      }
    }
  }
  return copy->stored_check;
}

Status PackageContainer::OpenCopy(DecodedCopy* copy, Stream** out) {
  Stream* clone = copy->storage->Clone();
  if (clone == nullptr) return kTempFileProblem;
  SubStreamArgs args;
  args.inner = clone;
  args.offset = 0;
  args.length = copy->length;
  Stream* window = nullptr;
  int code = CreateStream(kModeRead, &args, &window, kReadOnlySubStream);
  if (code != kOk) {
    delete args.inner;
    return kTempFileProblem;
  }
  *out = window;
  return kOk;
}

Status PackageContainer::OpenContent(const std::u16string& path, int revision_limit,
                                  const DecodeOptions* options, bool keep, bool need_file,
                                  Stream** out, DecodedCopy** copy_out) {
  if (!IsOpenLocked()) return kNoStream;
  if (revision_limit < 0) return kInvalidArgument;
  std::u16string normalized;
  int code = NormalizePath(path, &normalized);
  if (code != kOk) return code;
  RecordRefs records;
  code = CollectContent(normalized, revision_limit, &records);
  if (code != kOk) return code;
  DecodeOptions request = options == nullptr ? DecodeOptions() : *options;
  request.code &= 0xFF;

  if (records.size() == 1 && !keep && !need_file) {
    Stream* decoded = nullptr;
    CheckByteTap* tap = nullptr;
    code = DecodeRecord(records[0], request, request.check_stored ? &tap : nullptr, &decoded);
    if (code != kOk) return code;
    auto* checked = new CheckedStream(decoded);
    if (tap != nullptr) checked->Watch(tap);
    *out = checked;
    return kOk;
  }

  const std::vector<uint8_t> key_bytes = KeyBytes(request.key);
  for (int attempt = 0; attempt < 2; ++attempt) {
    DecodedCopy* copy = FindCopy(normalized, revision_limit, request.code, key_bytes, need_file);
    if (copy == nullptr) {
      std::unique_ptr<DecodedCopy> made;
      code = MakeCopy(records, request, need_file, &made);
      if (code != kOk) return code;
      made->revision_limit = revision_limit;
      made->code = request.code;
      made->key = key_bytes;
      copy = made.get();
      copies_[normalized].push_back(std::move(made));
    }
    const int check = request.check_stored ? CheckCopy(copy, records) : kOk;
    if (copy_out != nullptr) {
      *copy_out = copy;
      return check;
    }
    Stream* window = nullptr;
    code = OpenCopy(copy, &window);
    if (code == kOk) {
      auto* checked = new CheckedStream(window);
      if (request.check_stored) checked->SetVerdict(check);
      *out = checked;
      return kOk;
    }
    copy->unusable = true;  // its storage is gone: decode anew
  }
  return code;
}

Status PackageContainer::OpenPart(const std::u16string& path, Stream** out, int revision_limit,
                               const DecodeOptions* options, bool keep) {
  WriteLockGuard guard(lock_);
  if (out == nullptr) return kInvalidArgument;
  *out = nullptr;
  return OpenContent(path, revision_limit, options, keep, false, out, nullptr);
}

Status PackageContainer::ReadPart(const std::u16string& path, void* buffer, int64_t* length,
                               int revision_limit, const DecodeOptions* options) {
  WriteLockGuard guard(lock_);
  if (length == nullptr || (buffer != nullptr && *length < 0)) return kInvalidArgument;
  Stream* raw = nullptr;
  int code = OpenContent(path, revision_limit, options, false, false, &raw, nullptr);
  if (code != kOk) return code;
  auto content = std::unique_ptr<CheckedStream>(static_cast<CheckedStream*>(raw));
  // The stored-data check is answered below, once for the whole content.
  auto read = [&content](void* into, int64_t count, int64_t* done) {
    const int result = content->Read(into, count, done);
    return result == kChecksumFailed ? kOk : result;
  };
  int64_t total = 0;
  if (buffer == nullptr) {
    std::unique_ptr<uint8_t[]> piece(new uint8_t[65536]);
    for (;;) {
      int64_t done = 0;
      code = read(piece.get(), 65536, &done);
      if (code != kOk) return code;
      if (done <= 0) break;
      total += done;
    }
  } else {
    auto* bytes = static_cast<uint8_t*>(buffer);
    while (total < *length) {
      int64_t done = 0;
      code = read(bytes + total, *length - total, &done);
      if (code != kOk) return code;
      if (done <= 0) break;
      total += done;
    }
  }
  *length = total;
  // The whole stored data is checked even when the buffer took less.
  return content->StoredCheck();
}

Status PackageContainer::ExtractPart(const std::u16string& path, std::string* target,
                                  int revision_limit, const DecodeOptions* options) {
  WriteLockGuard guard(lock_);
  return ExtractLocked(path, target, revision_limit, options);
}

Status PackageContainer::ExtractLocked(const std::u16string& path, std::string* target,
                                    int revision_limit, const DecodeOptions* options) {
  if (target == nullptr) return kInvalidArgument;
  if (target->empty()) {
    if (temp_dir_.empty()) return kTempFileProblem;
    DecodedCopy* copy = nullptr;
    int code = OpenContent(path, revision_limit, options, true, true, nullptr, &copy);
    // A failed check of the stored bytes still hands out the content.
    if (copy == nullptr) return code;
    *target = copy->file;
    return code;
  }
  Stream* raw = nullptr;
  int code = OpenContent(path, revision_limit, options, false, false, &raw, nullptr);
  if (code != kOk) return code;
  std::unique_ptr<Stream> content(raw);
  FileStreamArgs args;
  args.path = *target;
  Stream* file = nullptr;
  if (CreateStream(kModeWrite, &args, &file, kFileStream) != kOk) return kTargetFileFailed;
  std::unique_ptr<Stream> sink(file);
  int64_t copied = 0;
  code = CopyChecked(content.get(), sink.get(), &copied);
  // Content whose stored bytes fail their check was copied whole: it stays,
  // and the caller learns of the damage from the result.
  const bool damaged = code == kChecksumFailed && options != nullptr && options->check_stored;
  const int check = damaged ? code : kOk;
  if (damaged) code = kOk;
  if (code == kOk && sink->Close() != kOk) code = kTargetFileFailed;
  if (code != kOk) {
    // Never leave a partial file behind that looks like the part.
    sink.reset();
    RemoveTree(*target);
    return AtSite(code, kTargetFileFailed);
  }
  return check;
}

Status PackageContainer::ReleasePartCopies(const std::u16string& path) {
  WriteLockGuard guard(lock_);
  if (path == u"*") {
    ReleaseCopies(path);
    return kOk;
  }
  std::u16string normalized;
  int code = NormalizePath(path, &normalized);
  if (code != kOk) return code;
  ReleaseCopies(normalized);
  return kOk;
}

Status PackageContainer::VerifyRecord(ItemRecord* record) {
  if (LoadData(record) != kOk) return kBitStreamReadFailed;
  const StoredData& stored = record->Stored();
  std::unique_ptr<Stream> data(stored.data->Clone());
  if (!data || data->Open(kModeRead) != kOk) return kBitStreamReadFailed;
  uint8_t check = 0;
  int64_t total = 0;
  std::unique_ptr<uint8_t[]> piece(new uint8_t[65536]);
  for (;;) {
    int64_t done = 0;
    if (data->Read(piece.get(), 65536, &done) != kOk) return kBitStreamReadFailed;
    if (done <= 0) break;
    check = FoldCheckByte(piece.get(), static_cast<size_t>(done), check);
    total += done;
  }
  if (total != stored.stored_size) return kBitStreamReadFailed;
  if (check != stored.check_byte) return kChecksumFailed;
  return kOk;
}

Status PackageContainer::VerifyChecks(bool all_revisions) {
  WriteLockGuard guard(lock_);
  if (entries_.empty()) return kOk;
  // Paths in ordinal order, so that the first failure reported does not
  // depend on how the map is laid out.
  for (PathEntry* slot : SortedPaths()) {
    const RecordList& records = slot->records;
    RecordRefs checked;
    if (all_revisions) {
      for (ItemRecord* record : records) {
        if (record->type == kRecordNone) return kStoredDataProblem;
        if (record->present && record->HasData()) checked.push_back(record);
      }
    } else {
      // The records of the current content: appends, then the full record.
      for (auto it = records.rbegin(); it != records.rend(); ++it) {
        ItemRecord* record = *it;
        if (!record->present) continue;
        if (record->type == kRecordNone) return kStoredDataProblem;
        if (record->type == kRecordDeleted) break;
        checked.push_back(record);
        if (record->IsFull()) break;
      }
    }
    for (ItemRecord* record : checked) {
      int code = VerifyRecord(record);
      if (code != kOk) return code;
    }
  }
  return kOk;
}

}  // namespace zoq
