// The editing and saving logic of PackageContainer, kept apart from the
// reading side. A PackageEditor is made per call, with the container's lock
// already held for writing.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "package/container_impl.h"
#include "package/edit_state.h"
#include "package/package_sites.h"
#include "zoq/encoded_part.h"
#include "package/entry_writer.h"

namespace zoq {

// What encoding needs to know of its container; taken under the
// container's lock, used without it.
struct EncodeSettings {
  const void* owner = nullptr;
  std::string temp_dir;  // empty: encoded content stays in memory
  bool iv_header = false;
  std::string schema;  // the schema file in effect, for SXC only
};

// What an in-place save patches, with the values from before it, and the
// package's length then: enough to put the package back when the save
// fails.
struct SavePoint {
  int64_t length = -1;
  int64_t previous = 0;  // the entry whose next-entry field is linked; 0: the header's
  int count = 0;         // the header's entry count
};

// Where an add would go: checked against the open package.
struct AddTarget {
  std::u16string normalized;
  int type = kRecordCreated;
};

class PackageEditor {
 public:
  explicit PackageEditor(PackageContainer& container);

  Status Create(const std::string& path, int subset_kind, int version_code, int width,
             int reserved);
  // The add, replace and append slots: encodes under the container's read
  // lock only (SXC: under the write lock) and takes the write lock to file
  // the part.
  static Status AddShared(PackageContainer& c, const std::u16string& path, Stream* source,
                       const EcsCodeArg* codes, int code_count, bool skippable, bool append);
  static Status AddSharedMemory(PackageContainer& c, const std::u16string& path, const void* bytes,
                             int64_t length, const EcsCodeArg* codes, int code_count,
                             bool skippable, bool append);
  static Status AddSharedFile(PackageContainer& c, const std::u16string& path,
                           const std::string& file, const EcsCodeArg* codes, int code_count,
                           bool skippable, bool append);
  // Sources of the add slots: 5070 for bad arguments, 5071 when the source
  // cannot be opened.
  static Status OpenSourceFile(const std::string& file, std::unique_ptr<Stream>* out);
  static Status OpenSourceMemory(const void* bytes, int64_t length, std::unique_ptr<Stream>* out);
  // Encoding apart from filing (EncodePartFrom*); takes the locks it needs.
  static Status EncodeShared(PackageContainer& c, Stream* source, const EcsCodeArg* codes,
                          int code_count, std::unique_ptr<EncodedPart>* out);
  // With the write lock held: an add of `source` done entirely under it.
  Status Add(const std::u16string& path, Stream* source, const EcsCodeArg* codes, int code_count,
          bool skippable, bool append);
  Status AddFile(const std::u16string& path, const std::string& file, const EcsCodeArg* codes,
              int code_count, bool skippable, bool append);
  // With the write lock held: files encoded content (AddEncodedPart).
  // 6007 when the content was encoded under settings that no longer hold.
  Status FileEncoded(const std::u16string& path, EncodedPart* part, bool skippable, bool append);
  Status Delete(const std::u16string& path);
  // With the write lock held: files the content of `path` at the revision
  // limit as its new full version (Container::RestorePart).
  Status Restore(const std::u16string& path, int revision_limit, const KeyInfo* key);
  Status Reencode(const std::u16string& path, const EcsCodeArg* codes, int count);
  // `target` null: over the open package. `width` 0 keeps the offset
  // width; another one is for compact saves only.
  Status Save(const std::string* target, int mode, bool merge, int width);

 private:
  EditState* state();
  Entry* Working();
  Status EnsureWorkingRevision();
  void Number(ItemRecord* record);
  static Status CheckCodes(const EcsCodeArg* codes, int count, std::vector<uint8_t>* out);
  static bool UsesSxc(const std::vector<uint8_t>& codes);
  // The checks of an add before anything is encoded; only reads the
  // container, so the read lock suffices.
  static Status CheckAdd(const PackageContainer& c, const std::u16string& path, bool append,
                      AddTarget* out);
  static Status CheckCodesOfAdd(const PackageContainer& c, const EcsCodeArg* codes, int count,
                             std::vector<uint8_t>* list);
  static EncodeSettings SettingsOf(const PackageContainer& c);
  // True when `part` was encoded under settings that no longer hold.
  static bool Stale(const PackageContainer& c, const EncodedPart& part);

  // Encoding (part_encoder.cc): nothing here touches the container.
  static Status StackEncoders(const EncodeSettings& settings, const uint8_t* codes,
                           const EcsCodeArg* args, int count, Stream* sink, Stream** out);
  static Status Encode(const EncodeSettings& settings, Stream* source,
                    const std::vector<uint8_t>& codes, const EcsCodeArg* args,
                    std::unique_ptr<EncodedPart>* out);
  static Status ExclusiveOrOf(Stream* stream, uint8_t* out);
  static Status FileWindow(const std::string& path, int64_t offset, int64_t length,
                        std::unique_ptr<Stream>* out);

  // Filing encoded content into the working revision.
  Status Store(EncodedPart* part, ItemRecord* record);
  Status StoreInMemory(EncodedPart* part, ItemRecord* record);
  Status StoreInStorageFile(EncodedPart* part, ItemRecord* record);
  Status StoreDirect(Stream* encoded, int64_t size, ItemRecord* record);
  void Insert(ItemRecord* record);
  Status RemoveFromTree(const std::u16string& path);

  // Saving (container_save.cc).
  Status CollectWorking(std::vector<RecordToWrite>* out, std::vector<ItemRecord*>* from,
                     std::vector<std::unique_ptr<Stream>>* streams);
  Status CollectCompact(std::vector<RecordToWrite>* out,
                     std::vector<std::unique_ptr<Stream>>* streams);
  Status CollectMerged(std::vector<RecordToWrite>* out,
                    std::vector<std::unique_ptr<Stream>>* streams);
  Status DataOf(ItemRecord* record, std::vector<std::unique_ptr<Stream>>* streams,
             RecordToWrite* out);
  Status CompleteDirect(Stream* out, int sync_fd);
  Status AppendEntry(Stream* out, int sync_fd, std::vector<RecordToWrite>* records,
                  EntryFacts* facts);
  bool CanMerge(int64_t* start);
  int64_t LinkedEnd(int fd, int64_t file_length);
  // Cuts bytes no revision links off the end of the file (under the
  // exclusive lock held as `lock_fd`), so that an append follows the data.
  void CutUnlinkedTail(const std::string& path, int lock_fd);
  // Fills `point` before writing anything.
  Status SaveIncrementalInPlace(Stream* out, int sync_fd, SavePoint* point);
  Status WriteRewrite(Stream* out, int mode, bool merge, int64_t merge_start, int width);
  void DropEmptyWorkingRevision();
  Status Reopen(const std::string& path, Stream* caller);
  // Stores the schema file in effect as the package's own copy when SXC-coded
  // parts were added and the package has none yet.
  Status EmbedSchema();

  PackageContainer& c_;
};

}  // namespace zoq
