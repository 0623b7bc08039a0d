// Reading a possibly damaged package as far as it reads: the header, the
// entry chain (past entries whose tables fail, as long as their headers
// lead on), the heads of the data records, and one sequential pass over the
// file that checks every data record's check byte and can copy the bytes
// it passes to an output.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "package/path_pool.h"
#include "zoq/package_layout.h"
#include "zoq/recovery.h"
#include "zoq/stream.h"

namespace zoq {

struct ExaminedDataRecord {
  int type = kRecordNone;
  bool skippable = false;
  std::u16string_view path;  // in the examiner's pool
  int64_t data_offset = 0;
  int problem = 0;      // 0: reads (and, once swept, checks)
  bool checked = false;  // its check byte was compared
  // Known once the head was read.
  int64_t start = 0;  // absolute position of the stored bytes
  int64_t size = 0;
  int64_t end = 0;    // end of the whole data record
  uint8_t check_byte = 0;
  std::array<uint8_t, 8> codes{};
  int code_count = 0;
  uint8_t xor_at_start = 0;  // running exclusive-or of the file up to `start`
  bool HasData() const {
    return type == kRecordCreated || type == kRecordAppended || type == kRecordReplaced;
  }
};

struct ExaminedEntry {
  EntryFacts facts;          // records stay empty: see `records`
  int problem = 0;           // first failure of the entry or its data
  bool tables_read = false;  // the tables read and `records` lists them
  std::vector<ExaminedDataRecord> records;
  int64_t end = 0;           // the end of everything of this entry in the file
};

class PackageExaminer {
 public:
  PackageExaminer() = default;
  PackageExaminer(const PackageExaminer&) = delete;
  PackageExaminer& operator=(const PackageExaminer&) = delete;
  ~PackageExaminer();

  // Opens the file for reading; 5063 when it cannot be opened.
  Status Open(const std::string& path);
  // Header, chain and data heads. Fills header_problem or the entries.
  void ReadStructure();
  // Reads the file from its start up to `*end` (which the callbacks may
  // lower) in large pieces, checking every data record that lies below it.
  // `failed` is told the revision of each record whose check byte
  // disagrees; `copy` gets every piece read, with its position. Answers 0,
  // or the failure of reading the file or of `copy`.
  Status Sweep(int64_t* end, const std::function<void(int revision)>& failed,
            const std::function<int(const uint8_t*, int64_t, int64_t)>& copy);

  // The end of everything the first `revisions` entries use (at least the
  // header).
  int64_t PrefixEnd(int revisions) const;
  // Leading revisions whose entries read / that have no problem.
  int Readable() const;
  int Complete() const;
  // The largest data record end of all entries.
  int64_t DataEnd() const;

  int fd() const { return fd_; }
  Stream* stream() const { return stream_.get(); }
  int64_t file_length() const { return file_length_; }

  HeaderFacts header;
  int header_problem = 0;
  int chain_problem = 0;
  std::vector<ExaminedEntry> entries;  // as reached, in chain order

 private:
  void ReadChain();
  void ReadDataHeads(ExaminedEntry* entry);

  int fd_ = -1;
  std::unique_ptr<Stream> stream_;
  int64_t file_length_ = 0;
  PathPool pool_;
};

// The report's view of what the examiner found: counts, and every revision
// from the first incomplete one on, each record's fate left as kNotCopied
// or kDamaged.
void DescribeExamination(const PackageExaminer& examiner, bool data_checked,
                         RecoveryReport* report);

}  // namespace zoq
