// The Container implementation over the package file layout.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "zoq/container.h"
#include "package/item_record.h"
#include "package/package_lock.h"
#include "package/path.h"
#include "package/path_index.h"
#include "package/path_pool.h"
#include "package/path_tree.h"
#include "package/temp_files.h"
#include "stream/rw_lock.h"

namespace zoq {

// How the package was opened.
enum SourceKind : int {
  kSourceNone = 0,
  kSourceFile = 1,
  kSourceMemory = 2,
  kSourceOpening = 3,
  kSourceCreated = 4,
  kSourceCreatedNoTemp = 5,
};

// Decoded content produced in temporary storage, remembered for reuse.
class CheckByteTap;

struct DecodedCopy {
  ~DecodedCopy();
  int revision_limit = 0;
  int code = 0;
  std::vector<uint8_t> key;
  std::unique_ptr<Stream> storage;
  std::string file;  // empty for memory storage
  int64_t length = 0;
  bool unusable = false;
  int stored_check = -1;  // the check of the records' stored bytes, once made
};

// Pending changes, temporary storage and what a save needs to know about
// the package file (container_edit.cc, container_save.cc).
struct EditState;
struct EditStateDeleter {
  void operator()(EditState* state) const;
};

class PackageContainer : public Container {
 public:
  PackageContainer(std::string temp_dir, OwnerLock temp_dir_lock, std::string resource_dir,
                   std::string schema_dir,
                   const ContainerOptions& options);
  ~PackageContainer() override;

  Status CreatePackage(const std::string& path, int subset_kind, int version_code, int offset_width,
                    int reserved_byte) override;
  Status OpenStream(Stream* stream, bool read_only) override;
  Status OpenFile(const std::string& path, bool read_only) override;
  Status OpenMemory(const void* bytes, int64_t length, int revision_limit) override;
  Status OpenStreamAt(Stream* stream, int revision_limit) override;
  Status OpenFileAt(const std::string& path, int revision_limit) override;
  Status Close() override;
  Status Save(int mode, bool merge) override;
  Status SaveAs(const std::string& path, int mode, bool merge) override;
  Status SaveCompactWithWidth(const std::string& path, int offset_width) override;
  bool IsModified() override;
  Status ReadRawPackage(void* buffer, int64_t* length) override;
  Status AddPartFromStream(const std::u16string& path, Stream* source, const EcsCodeArg* codes,
                        int code_count, bool skippable) override;
  Status AddPartFromMemory(const std::u16string& path, const void* bytes, int64_t length,
                        const EcsCodeArg* codes, int code_count, bool skippable) override;
  Status AddPartFromFile(const std::u16string& path, const std::string& file,
                      const EcsCodeArg* codes, int code_count, bool skippable) override;
  Status DeletePart(const std::u16string& path) override;
  Status ReplacePartFromStream(const std::u16string& path, Stream* source, const EcsCodeArg* codes,
                            int code_count, bool skippable) override;
  Status ReplacePartFromMemory(const std::u16string& path, const void* bytes, int64_t length,
                            const EcsCodeArg* codes, int code_count, bool skippable) override;
  Status ReplacePartFromFile(const std::u16string& path, const std::string& file,
                          const EcsCodeArg* codes, int code_count, bool skippable) override;
  Status AppendToPartFromStream(const std::u16string& path, Stream* source,
                             const EcsCodeArg* codes, int code_count) override;
  Status AppendToPartFromMemory(const std::u16string& path, const void* bytes, int64_t length,
                             const EcsCodeArg* codes, int code_count) override;
  Status AppendToPartFromFile(const std::u16string& path, const std::string& file,
                           const EcsCodeArg* codes, int code_count) override;
  Status AddPartEncoding(const std::u16string& path, const EcsCodeArg* codes,
                      int code_count) override;
  bool IsPartSkippable(const std::u16string& path) override;
  Status ReadPart(const std::u16string& path, void* buffer, int64_t* length, int revision_limit,
               const DecodeOptions* options) override;
  Status OpenPart(const std::u16string& path, Stream** out, int revision_limit,
               const DecodeOptions* options, bool keep) override;
  Status ExtractPart(const std::u16string& path, std::string* target, int revision_limit,
                  const DecodeOptions* options) override;
  Status ReleasePartCopies(const std::u16string& path) override;
  int GetContainerVersion() override;
  int GetRevisionCount() override;
  int GetPathKind(const std::u16string& path) override;
  Status ListParts(const std::u16string& folder, std::vector<std::u16string>* out) override;
  Status ListRecordedParts(std::vector<std::u16string>* out) override;
  PathNode* GetNode(const std::u16string& path) override;
  Status GetPartInfoByPath(PartInfo* info, const std::u16string& path, int revision_limit) override;
  Status GetPartInfo(PartInfo* info, PathNode* node, int revision_limit) override;
  Status GetPartLocation(const std::u16string& path, int64_t* position,
                      int64_t* stored_size) override;
  bool GetSchemaPath(std::string* out) override;
  Status SetDocumentType(int subset_kind, int version_code) override;
  Status SetSchemaFile(const std::string& path) override;
  Status SetTableCompression(int flags) override;
  Status VerifyChecks(bool all_revisions) override;
  Status SetOrderAnchor(const std::u16string& path) override;
  void ClearOrderAnchor() override;
  Status EncodePartFromStream(Stream* source, const EcsCodeArg* codes, int code_count,
                           std::unique_ptr<EncodedPart>* out) override;
  Status EncodePartFromFile(const std::string& file, const EcsCodeArg* codes, int code_count,
                         std::unique_ptr<EncodedPart>* out) override;
  Status AddEncodedPart(const std::u16string& path, EncodedPart* part, bool skippable,
                     bool append) override;
  Status ListPathHistories(const std::u16string& folder, std::vector<PathHistory>* out) override;
  Status ListPathHistoriesChangedIn(const std::u16string& folder, int from_revisions,
                                    int to_revisions, std::vector<PathHistory>* out) override;
  Status RestorePart(const std::u16string& path, int revision_limit, const KeyInfo* key) override;
  Status GetPathInfo(PartInfo* info, const std::u16string& path, int revision_limit) override;

 private:
  friend class PackageEditor;
  // A path with its records in revision order; the path views path_pool_.
  using PathEntry = PathIndex::Slot;
  // Records gathered for one task (content, checks), oldest first.
  using RecordRefs = std::vector<ItemRecord*>;

  // Editing state (container_edit.cc): forgotten on close; the identity of
  // the package file is taken by every open, before the model is read.
  void ResetEditing();
  void RememberFileIdentity(const FileIdentity& identity);

  // Opening and closing (container.cc).
  Status OpenLocked(Stream* caller_stream, const std::string* file, const void* bytes,
                 int64_t length, int revision_limit, bool read_only);
  Status LoadModel(int revision_limit);
  void BuildTree();
  // Adds `count` paths, nth(0) first, to a new tree in that order (that of
  // the tree).
  void BuildTreeFrom(size_t count, const std::function<const PathEntry*(size_t)>& nth);
  // The paths with records in the order they were first stored (by the
  // numbers of their first record).
  std::vector<const PathEntry*> FirstStoredOrder() const;
  void CloseLocked();
  bool IsOpenLocked() const { return stream_ != nullptr; }
  const RecordList* FindRecords(std::u16string_view normalized) const;
  static bool Exists(const RecordList& records);
  // The index entry of a path, made (with the path copied into the pool)
  // when there is none; and its removal. Both change the set of paths, so
  // they drop the ordinal order. Entry pointers stay valid until a path is
  // added.
  PathEntry& PathSlot(std::u16string_view path);
  void ErasePath(PathEntry* entry);
  // The index entries in ordinal path order, built when first asked for
  // after a change. Safe under the read lock: readers build it under
  // sorted_mutex_, and only writers change the index.
  const std::vector<PathEntry*>& SortedPaths() const;
  // The entries whose paths start with `prefix`, in ordinal order.
  std::pair<size_t, size_t> SortedRange(std::u16string_view prefix) const;
  // The entries under `folder`, which must name a folder (end with "/") once
  // normalized, in ordinal order; under the lock, valid until a path is added.
  Status FolderEntries(const std::u16string& folder, std::span<PathEntry* const>* out) const;

  // Information (container_info.cc).
  PathNode* GetNodeLocked(const std::u16string& path);
  Status GetPartInfoLocked(PartInfo* info, PathNode* node, int revision_limit);
  // The part facts of GetPartInfoLocked from the path's records.
  Status FillPartInfo(PartInfo* info, int revision_limit);
  Status LoadData(ItemRecord* record);

  // Content (container_content.cc).
  Status CollectContent(const std::u16string& path, int revision_limit, RecordRefs* out);
  // Stacks the decoders of `request` (code byte already masked) over the
  // record's stored bytes; with `tap`, a check byte tap goes beneath them.
  Status DecodeRecord(ItemRecord* record, const DecodeOptions& request, CheckByteTap** tap,
                   Stream** out);
  Status OpenContent(const std::u16string& path, int revision_limit, const DecodeOptions* options,
                  bool keep, bool need_file, Stream** out, DecodedCopy** copy_out);
  Status MakeCopy(const RecordRefs& records, const DecodeOptions& request, bool need_file,
               std::unique_ptr<DecodedCopy>* out);
  // The check of the stored bytes of a copy's records: 0, 5022 or 5025.
  Status CheckCopy(DecodedCopy* copy, const RecordRefs& records);
  DecodedCopy* FindCopy(const std::u16string& path, int revision_limit, int code,
                        const std::vector<uint8_t>& key, bool need_file);
  static Status OpenCopy(DecodedCopy* copy, Stream** out);
  Status ExtractLocked(const std::u16string& path, std::string* target, int revision_limit,
                    const DecodeOptions* options);
  Status VerifyRecord(ItemRecord* record);

  // Schema selection (container_schema.cc).
  Status ResolveSchema();
  std::string SelectSchemaFile() const;
  void ClearSchemaState();
  // Drops the decoded copies of a path ("*": of every path). When the
  // schema in effect was extracted from the package as one of them, it is
  // forgotten too, so that the next SXC read extracts it again.
  void ReleaseCopies(const std::u16string& path);
  std::string SchemaPathLocked();

  RwLock lock_;

  // Settings from creation.
  std::string temp_dir_;      // ends with "/"; empty without one
  OwnerLock temp_dir_lock_;   // held for as long as the directory is ours
  std::string resource_dir_;  // ends with "/"
  std::string schema_dir_;    // ends with "/"
  uint8_t table_flags_ = 0;
  bool no_temp_dir_ = false;
  bool no_tree_ = false;
  int lock_wait_ms_ = 0;  // ContainerOptions::lock_wait_ms

  // The open package.
  Stream* stream_ = nullptr;             // the package stream in use
  std::unique_ptr<Stream> own_stream_;   // set when the container made it
  bool opened_caller_stream_ = false;    // we opened the caller's stream
  std::vector<uint8_t> memory_;          // bytes of OpenMemory
  std::string package_path_;
  int source_kind_ = kSourceNone;
  bool read_only_ = false;
  bool modified_ = false;
  HeaderFacts header_;
  std::vector<std::unique_ptr<Entry>> entries_;
  PathPool path_pool_;
  PathIndex paths_;
  mutable std::mutex sorted_mutex_;
  mutable std::vector<PathEntry*> sorted_paths_;
  mutable bool sorted_valid_ = false;
  std::unique_ptr<TreeNode> root_;
  std::map<std::u16string, std::vector<std::unique_ptr<DecodedCopy>>> copies_;

  // Item numbering and the order anchor.
  int64_t next_item_ = 0;
  int64_t anchor_ = -1;
  std::map<int64_t, int> anchor_sequence_;

  // Schema state.
  int subset_kind_ = 0;
  int version_code_ = 0;
  std::string explicit_schema_;
  std::string schema_in_effect_;
  bool schema_in_package_ = false;
  bool sxc_used_ = false;
  bool extracting_schema_ = false;
  bool schema_extracted_ = false;  // schema_in_effect_ is a decoded copy

  std::unique_ptr<EditState, EditStateDeleter> edit_;
};

}  // namespace zoq
