// The package object: opens a package (file, stream or memory, optionally
// limited to its first revisions), answers questions about its tree and
// parts, and hands out part content decoded as far as asked.
//
// Every operation returns a result code (codes.h, error_table.h); 0 is
// success and the generic failure 1 never reaches a caller. Any thread may
// call any operation: each Container serialises its operations with a
// writer-preferring reader/writer lock (the ones marked R share it).
//
// Package paths are UTF-16, begin with "/", use "/" as separator ("\" is
// accepted on input), are case-sensitive and shorter than 260 code units; a
// path ending with "/" names a folder. File-system paths are UTF-8.
//
// Revision numbers count a package's entries from 0 in file order. A
// revision limit of 0 means all revisions; n > 0 means the package as it
// stood after its first n revisions.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "zoq/codes.h"
#include "zoq/decode_options.h"
#include "zoq/encoded_part.h"
#include "zoq/export.h"
#include "zoq/path_history.h"
#include "zoq/path_node.h"
#include "zoq/stream.h"

namespace zoq {

struct ContainerOptions {
  // Where the container makes its temporary directory; empty: $TMPDIR or
  // /tmp.
  std::string temp_base_dir;
  // The folder that holds "Resource/BinarySchema/". Required: missing gives
  // kSiteNoResourceDir, empty gives 5.
  std::optional<std::string> resource_dir;
  // The folder holding the binary schema files (FindSchemaFolder in
  // schema_folder.h finds a program's); empty: "Resource/BinarySchema/"
  // below resource_dir.
  std::string schema_dir;
  // Default table flags of entries this object writes: bit 0 compresses the
  // Name Table, bit 1 the Item List. Other bits: kSiteBadTableFlags.
  uint8_t table_compression = 0;
  // Never make a temporary directory (read-only use; operations that need
  // one are refused, decoded copies live in memory).
  bool no_temp_dir = false;
  // Keep no tree of path nodes: GetNode gives null.
  bool no_tree = false;
  // How long opening a package for writing, and saving over it, wait while
  // another program holds the package file (milliseconds). A save that
  // waited in vain answers 5074; an open reads the package anyway, and its
  // save then refuses with 5073 should the package have changed meanwhile.
  int lock_wait_ms = 20000;
};

// What GetPartInfo reports about a folder or part.
struct PartInfo {
  std::u16string name;  // last path component
  bool is_folder = false;
  bool deleted = false;  // the newest record considered is a deletion
  std::u16string path;
  int64_t position = 0;    // absolute file position of the oldest data met
  int64_t size = 0;        // stored size of the newest full record
  int64_t total_size = 0;  // stored size of all data records below the limit
  std::vector<int> revisions;  // revisions with records, newest first, no repeats
  std::array<uint8_t, 8> codes{};  // ECS codes of the newest full record
  int code_count = 0;
  bool skippable = false;  // skippable flag of the newest full record
};

// Path kinds of GetPathKind.
enum PathKind : int { kPathNotFound = 0, kPathFolder = 1, kPathPart = 2 };

// Save modes (Save, SaveAs).
enum SaveMode : int { kSaveCompact = 0, kSaveIncremental = 1 };

class ZOQ_EXPORT Container {
 public:
  // Closes the package, releases everything and deletes the temporary
  // directory with its content.
  virtual ~Container() = default;  // 0

  // Starts a new, empty package (empty path: in temporary storage).
  virtual Status CreatePackage(const std::string& path, int subset_kind, int version_code,
                            int offset_width, int reserved_byte) = 0;  // 1
  // Opens a package in the caller's stream (all revisions). The stream stays
  // the caller's and must outlive the open package.
  virtual Status OpenStream(Stream* stream, bool read_only) = 0;  // 2
  virtual Status OpenFile(const std::string& path, bool read_only) = 0;  // 3
  // Opens a package held in memory (copied in); 5 for null bytes or a
  // length below 1.
  virtual Status OpenMemory(const void* bytes, int64_t length, int revision_limit) = 0;  // 4
  virtual Status OpenStreamAt(Stream* stream, int revision_limit) = 0;  // 5
  virtual Status OpenFileAt(const std::string& path, int revision_limit) = 0;  // 6
  virtual Status Close() = 0;  // 7
  // Saving. An incremental save over the package appends one revision and
  // links it last; should it fail, the file is put back as it was. A save
  // with nothing to write (no change, or changes that cancel out, such as a
  // part added and deleted again) writes nothing, adds no revision and
  // answers 0. A save over a package file holds the file's lock while it
  // writes and refuses with 5073, writing nothing, when another program
  // changed the package since it was read (open it again and redo the
  // change), or with 5074 when another program held it for longer than
  // ContainerOptions::lock_wait_ms. 5075: an offset or length would not fit
  // the package's offset width (nothing written; a compact save with a
  // wider one, SaveCompactWithWidth, makes room).
  virtual Status Save(int mode, bool merge) = 0;  // 8
  virtual Status SaveAs(const std::string& path, int mode, bool merge) = 0;  // 9
  virtual bool IsModified() = 0;  // 10 (R)
  // With buffer null: *length = package length. Otherwise *length must be at
  // least the package length (else kSiteRawBufferTooSmall); the package is copied and
  // *length set to its length.
  virtual Status ReadRawPackage(void* buffer, int64_t* length) = 0;  // 11

  // Editing: store a part as a new or replacing full version.
  virtual Status AddPartFromStream(const std::u16string& path, Stream* source,
                                const EcsCodeArg* codes, int code_count, bool skippable) = 0;  // 12
  virtual Status AddPartFromMemory(const std::u16string& path, const void* bytes, int64_t length,
                                const EcsCodeArg* codes, int code_count, bool skippable) = 0;  // 13
  virtual Status AddPartFromFile(const std::u16string& path, const std::string& file,
                              const EcsCodeArg* codes, int code_count, bool skippable) = 0;  // 14
  virtual Status DeletePart(const std::u16string& path) = 0;  // 15
  virtual Status ReplacePartFromStream(const std::u16string& path, Stream* source,
                                    const EcsCodeArg* codes, int code_count,
                                    bool skippable) = 0;  // 16
  virtual Status ReplacePartFromMemory(const std::u16string& path, const void* bytes,
                                    int64_t length, const EcsCodeArg* codes, int code_count,
                                    bool skippable) = 0;  // 17
  virtual Status ReplacePartFromFile(const std::u16string& path, const std::string& file,
                                  const EcsCodeArg* codes, int code_count,
                                  bool skippable) = 0;  // 18
  virtual Status AppendToPartFromStream(const std::u16string& path, Stream* source,
                                     const EcsCodeArg* codes, int code_count) = 0;  // 19
  virtual Status AppendToPartFromMemory(const std::u16string& path, const void* bytes,
                                     int64_t length, const EcsCodeArg* codes,
                                     int code_count) = 0;  // 20
  virtual Status AppendToPartFromFile(const std::u16string& path, const std::string& file,
                                   const EcsCodeArg* codes, int code_count) = 0;  // 21
  virtual Status AddPartEncoding(const std::u16string& path, const EcsCodeArg* codes,
                              int code_count) = 0;  // 22

  // In a version 1.1 package, the skippable flag of the path's newest
  // record; false otherwise.
  virtual bool IsPartSkippable(const std::u16string& path) = 0;  // 23 (R)

  // Content. `options` null means fully decoded without a key.
  // With buffer null: *length = decoded length. Otherwise copies at most
  // *length bytes and sets *length to the number copied.
  virtual Status ReadPart(const std::u16string& path, void* buffer, int64_t* length,
                       int revision_limit, const DecodeOptions* options) = 0;  // 24
  // A readable stream of the content, owned by the caller (delete it, or
  // call its Release()). With `keep` the content is first copied into
  // temporary storage. A decoding failure while reading it answers 6008.
  virtual Status OpenPart(const std::u16string& path, Stream** out, int revision_limit,
                       const DecodeOptions* options, bool keep) = 0;  // 25
  // Writes the content into *target (cannot open it: 5066). With *target
  // empty, sets it to a temporary file holding the content; that file
  // belongs to the container and lives until ReleasePartCopies or Close.
  virtual Status ExtractPart(const std::u16string& path, std::string* target, int revision_limit,
                          const DecodeOptions* options) = 0;  // 26
  // Drops the decoded copies of the path (u"*": of every path) and deletes
  // their files.
  virtual Status ReleasePartCopies(const std::u16string& path) = 0;  // 27

  virtual int GetContainerVersion() = 0;  // 28 (R): 0x0100 or 0x0101
  virtual int GetRevisionCount() = 0;     // 29 (R): entries read
  virtual int GetPathKind(const std::u16string& path) = 0;  // 30 (R): PathKind
  // Every existing part below the folder (which must end with "/", else 1
  // and the list is untouched), at any depth, in code-unit order.
  virtual Status ListParts(const std::u16string& folder,
                        std::vector<std::u16string>* out) = 0;  // 31 (R)
  // Every part path that has records, parts deleted since included, in the
  // order the package first stored them (the tree's order). Parts that no
  // longer exist have no node in the tree; they are still reached by path
  // (content and locations), and GetPartInfo answers for any PathNode whose
  // GetPath names them.
  virtual Status ListRecordedParts(std::vector<std::u16string>* out) {
    (void)out;
    return kNotSupported;
  }
  virtual PathNode* GetNode(const std::u16string& path) = 0;  // 32 (R)
  // GetNode then GetPartInfo; 5054 when the path has no node.
  virtual Status GetPartInfoByPath(PartInfo* info, const std::u16string& path,
                                int revision_limit) = 0;  // 33
  virtual Status GetPartInfo(PartInfo* info, PathNode* node, int revision_limit) = 0;  // 34
  // File position and stored length of the data of the path's first record.
  virtual Status GetPartLocation(const std::u16string& path, int64_t* position,
                              int64_t* stored_size) = 0;  // 35
  // The schema file in effect; returns true when there is none.
  virtual bool GetSchemaPath(std::string* out) = 0;  // 36
  // subset kind: 1 A, 2 P, 4 I, 8 M, 16 Full; version code: 256 (1.0),
  // 257 (1.1), 258 (1.2), 0 none. Also decides the ADM IV header (> 257).
  virtual Status SetDocumentType(int subset_kind, int version_code) = 0;  // 37
  virtual Status SetSchemaFile(const std::string& path) = 0;  // 38
  virtual Status SetTableCompression(int flags) = 0;  // 39
  // Checks the check bytes of the current content's data records (all
  // records with `all_revisions`): 0, or the code of the first failure.
  virtual Status VerifyChecks(bool all_revisions) = 0;  // 40
  virtual Status SetOrderAnchor(const std::u16string& path) = 0;  // 41
  virtual void ClearOrderAnchor() = 0;  // 42

  // Adding in two steps, for callers that add many parts from several
  // threads. The add slots above encode without holding the container's
  // lock too, but file each part as soon as it is encoded; these let a
  // caller encode on several threads and still file the parts in an order
  // of its own (the tree lists parts in the order they were filed).
  //
  // Encodes content with the codes as an add slot would (same checks and
  // result codes, except those about the part's path). SXC encoding holds
  // the container's lock. The result belongs to the caller.
  virtual Status EncodePartFromStream(Stream* source, const EcsCodeArg* codes, int code_count,
                                   std::unique_ptr<EncodedPart>* out) {
    (void)source, (void)codes, (void)code_count, (void)out;
    return kNotSupported;
  }
  virtual Status EncodePartFromFile(const std::string& file, const EcsCodeArg* codes,
                                 int code_count, std::unique_ptr<EncodedPart>* out) {
    (void)file, (void)codes, (void)code_count, (void)out;
    return kNotSupported;
  }
  // Files encoded content as the path's new full version (`append`: as
  // appended data), like the add, replace and append slots. The content
  // must come from this container (else 5070); when the document type
  // changed since it was encoded in a way that changes ADM data, 6007:
  // encode it again. The part may be filed once; it is left as it was when
  // filing fails.
  virtual Status AddEncodedPart(const std::u16string& path, EncodedPart* part, bool skippable,
                             bool append) {
    (void)path, (void)part, (void)skippable, (void)append;
    return kNotSupported;
  }

  // A compact save that writes the package with the offset width given (2,
  // 4 or 8; 0 keeps the package's): over the open package when `path` is
  // empty, else into that file as SaveAs does. 5 for another width.
  virtual Status SaveCompactWithWidth(const std::string& path, int offset_width) {
    (void)path, (void)offset_width;
    return kNotSupported;
  }

  // History. Every path below the folder (which must end with "/", else 5)
  // that has records, deleted parts and pending changes included, in
  // code-unit order, with its records oldest first. (R)
  virtual Status ListPathHistories(const std::u16string& folder, std::vector<PathHistory>* out) {
    (void)folder, (void)out;
    return kNotSupported;
  }
  // ListPathHistories narrowed to the paths that have a record in a revision
  // between the states after `from_revisions` and after `to_revisions`
  // (0-based revisions min(from, to) up to, not including, max(from, to));
  // either order, both 0 or more. Only these can differ between the two
  // states: a path without such a record has the same newest record in
  // both. Same order and records as ListPathHistories. (R)
  virtual Status ListPathHistoriesChangedIn(const std::u16string& folder, int from_revisions,
                                            int to_revisions, std::vector<PathHistory>* out) {
    if (out == nullptr || from_revisions < 0 || to_revisions < 0) return kInvalidArgument;
    if (Status code = ListPathHistories(folder, out); !code.ok()) return code;
    const int low = from_revisions < to_revisions ? from_revisions : to_revisions;
    const int high = from_revisions < to_revisions ? to_revisions : from_revisions;
    // C++17 spelling: programs outside the project include this header.
    out->erase(std::remove_if(out->begin(), out->end(),
                              [low, high](const PathHistory& history) {
                                for (const RecordMark& record : history.records) {
                                  if (record.revision >= low && record.revision < high) {
                                    return false;
                                  }
                                }
                                return true;
                              }),
               out->end());
    return kOk;
  }
  // GetPartInfoByPath for any path that has records, whether or not the
  // tree holds it (a deleted part); 5054 when the path has no records.
  virtual Status GetPathInfo(PartInfo* info, const std::u16string& path, int revision_limit) {
    (void)info, (void)path, (void)revision_limit;
    return kNotSupported;
  }
  // Files the content the part had at the revision limit (as OpenPart reads
  // it) as the part's new full version, with the ECS codes and skippable
  // flag of the full record that content starts with; a deleted part comes
  // back. Content held in one record is filed as stored, byte for byte, so
  // no key is needed; content of a full record and appends is decoded and
  // encoded again (`key` for ADM). 5054 when the path has no records, 5064
  // when it had no content at the limit; the part is left as it was when
  // restoring fails.
  virtual Status RestorePart(const std::u16string& path, int revision_limit, const KeyInfo* key) {
    (void)path, (void)revision_limit, (void)key;
    return kNotSupported;
  }
};

// Makes a closed Container. The caller owns it (delete).
ZOQ_EXPORT Status CreateContainer(const ContainerOptions* options, Container** out);

// Removes the temporary folders ("~ZOQPAC-...") that containers made below
// `temp_base_dir` (empty: $TMPDIR or /tmp) and that no running process owns
// any more: those of processes that were killed. A running container holds
// a lock on its folder, so folders in use are never touched. Making a
// container tidies its base the same way, and opening or saving a package
// file removes the save temporaries (".~zoq-...") of killed saves beside it;
// a program calls this at start to tidy up after an earlier run.
ZOQ_EXPORT void RemoveStaleTemporaries(const std::string& temp_base_dir);

}  // namespace zoq
