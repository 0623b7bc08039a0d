// Getting data out of a damaged package: reading its revisions as far as
// they read, and writing a new package from the revisions that read
// completely (optionally with whatever later parts still read and check).
// The damaged file is only ever read.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "zoq/export.h"
#include "zoq/result.h"

namespace zoq {

// What became of one record of a revision that was not copied whole.
enum class RecordFate : int {
  kDamaged = 1,     // its data does not read or its check byte disagrees
  kNotCopied = 2,   // readable, but later than the revisions copied (no salvage)
  kBaseLost = 3,    // appends to content that was lost, so it cannot be rebuilt
  kSalvaged = 4,    // copied into the new package
};

struct ExaminedRecord {
  std::u16string path;
  int type = 0;      // ItemRecordType
  int problem = 0;   // why its data is unusable (5025, 5022, ...); 0 when it reads and checks
  RecordFate fate = RecordFate::kNotCopied;
};

// A revision at or after the first damaged one.
struct ExaminedRevision {
  int revision = 0;     // 0-based, in the damaged package
  int64_t offset = 0;   // of its entry
  // 0 when its entry and every data record read and check; otherwise the
  // first failure: the entry's (5021 to 5024) or a data record's.
  int problem = 0;
  bool records_known = false;  // its tables read: `records` lists them
  std::vector<ExaminedRecord> records;
  int output_revision = -1;    // 0-based in the new package; -1 when not there
};

struct RecoveryReport {
  // The header could not be read (5000 to 5003): nothing can be recovered.
  int header_problem = 0;
  int entry_count = 0;   // revisions the header claims
  int readable = 0;      // leading revisions whose entries read (tables checked)
  int complete = 0;      // leading revisions that read completely, data included
  // Why the entry chain ended before `entry_count` revisions (5026, or the
  // entry failure that hid the next offset); 0 when it reached them all.
  int chain_problem = 0;
  int reached = 0;       // revisions whose entry was found in the chain
  std::vector<ExaminedRevision> revisions;  // from `complete` on, as reached
  bool data_checked = false;  // `complete` and the records' problems include the data
  // Written package (RecoverPackage only).
  int output_revisions = 0;
  int64_t output_size = 0;
};

// Reads the package's header and entry chain as far as they read, and with
// `check_data` every data record of the reached revisions (lengths, codes,
// check bytes). Answers 0 when the file could be examined, whatever damage
// it holds (the report says what), 5063 when it cannot be opened.
ZOQ_EXPORT Status ExaminePackage(const std::string& path, bool check_data, RecoveryReport* report);

struct RecoverOptions {
  // Also copy every later record whose data reads and checks (and, for
  // appended data, whose earlier content survives), one new revision per
  // revision it comes from.
  bool salvage = false;
  // Replace an existing `out` (never the damaged file itself).
  bool replace = false;
};

// Writes `out`: the leading revisions of `damaged` that read completely,
// byte for byte, then (with salvage) the records salvaged from later
// revisions. The file appears complete and synced, under its name only
// when everything succeeded. Answers 0 when `out` was written; the report
// says what was lost. Failures, with nothing written: 5063 `damaged`
// cannot be read; 5066 `out` exists (without `replace`), is the damaged
// file, or cannot be written; the header's code when it does not read;
// 5026 when no revision and nothing salvaged remains to write.
ZOQ_EXPORT Status RecoverPackage(const std::string& damaged, const std::string& out,
                              const RecoverOptions& options, RecoveryReport* report);

}  // namespace zoq
