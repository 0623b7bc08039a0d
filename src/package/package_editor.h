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
#include "package/entry_writer.h"

namespace zoq {

// Site codes of editing and saving.
enum EditSite : int {
  kSiteDirectWrite = 10050150,      // writing the direct-write BitStream failed
  kSiteSaveNoTarget = 10051128,     // the package has no file or stream to save into
  kSiteSaveBadHeader = 10051152,    // no header, or an unknown version
  kSiteSaveAsEmptyPath = 10051196,
  kSiteNoSourceStream = 10052023,
  kSiteNoHeader = 10052084,
  kSiteReencodeCodes = 10052520,
  kSiteUnknownAddCode = 10021137,
  kSiteTooManyAddCodes = 10021142,
  kSiteEncodedSize = 10021178,
};

class PackageEditor {
 public:
  explicit PackageEditor(PackageContainer& container);

  int Create(const std::string& path, int subset_kind, int version_code, int width,
             int reserved);
  int Add(const std::u16string& path, Stream* source, const EcsCodeArg* codes, int code_count,
          bool skippable, bool append);
  int AddMemory(const std::u16string& path, const void* bytes, int64_t length,
                const EcsCodeArg* codes, int code_count, bool skippable, bool append);
  int AddFile(const std::u16string& path, const std::string& file, const EcsCodeArg* codes,
              int code_count, bool skippable, bool append);
  int Delete(const std::u16string& path);
  int Reencode(const std::u16string& path, const EcsCodeArg* codes, int count);
  // `target` null: over the open package.
  int Save(const std::string* target, int mode, bool merge);

 private:
  EditState* state();
  Entry* Working();
  int EnsureWorkingRevision();
  void Number(ItemRecord* record);
  static int CheckCodes(const EcsCodeArg* codes, int count, std::vector<uint8_t>* out);
  int StackEncoders(const uint8_t* codes, const EcsCodeArg* args, int count, Stream* sink,
                    Stream** out);
  int NewStorageFile(std::string* path, std::unique_ptr<Stream>* out);
  static int FileWindow(const std::string& path, int64_t offset, int64_t length,
                        std::unique_ptr<Stream>* out);
  int Encode(Stream* source, const uint8_t* codes, const EcsCodeArg* args, int count,
             int64_t source_length, ItemRecord* record);
  int StoreFromFile(const std::string& path, int64_t size, ItemRecord* record);
  int StoreFromMemory(Stream* memory, ItemRecord* record);
  int StoreDirect(Stream* encoded, int64_t size, ItemRecord* record);
  void Insert(ItemRecord* record);
  int RemoveFromTree(const std::u16string& path);

  // Saving (container_save.cc).
  int CollectWorking(std::vector<RecordToWrite>* out, std::vector<ItemRecord*>* from,
                     std::vector<std::unique_ptr<Stream>>* streams);
  int CollectCompact(std::vector<RecordToWrite>* out,
                     std::vector<std::unique_ptr<Stream>>* streams);
  int CollectMerged(std::vector<RecordToWrite>* out,
                    std::vector<std::unique_ptr<Stream>>* streams);
  int DataOf(ItemRecord* record, std::vector<std::unique_ptr<Stream>>* streams,
             RecordToWrite* out);
  int CompleteDirect(Stream* out, int sync_fd);
  int AppendEntry(Stream* out, int sync_fd, std::vector<RecordToWrite>* records,
                  EntryFacts* facts);
  bool CanMerge(int64_t* start);
  int SaveIncrementalInPlace(Stream* out, int sync_fd);
  int WriteRewrite(Stream* out, int mode, bool merge, int64_t merge_start);
  int Reopen(const std::string& path, Stream* caller);
  // Stores the schema file in effect as the package's own copy when SXC-coded
  // parts were added and the package has none yet.
  int EmbedSchema();

  PackageContainer& c_;
};

}  // namespace zoq
