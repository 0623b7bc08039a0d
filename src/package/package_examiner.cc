#include "package/package_examiner.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <unordered_set>

#include "package/byte_io.h"
#include "stream/check_byte.h"
#include "package/entry_reader.h"
#include "package/header.h"
#include "zoq/codes.h"
#include "zoq/decode_options.h"

namespace zoq {
namespace {

// Reads up to `count` bytes at `offset`; the number read, or -1.
int64_t ReadAt(int fd, void* buffer, int64_t count, int64_t offset) {
  int64_t total = 0;
  while (total < count) {
    ssize_t got = pread(fd, static_cast<uint8_t*>(buffer) + total,
                        static_cast<size_t>(count - total), offset + total);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return -1;
    if (got == 0) break;
    total += got;
  }
  return total;
}

}  // namespace

PackageExaminer::~PackageExaminer() {
  stream_.reset();
  if (fd_ >= 0) close(fd_);
}

Status PackageExaminer::Open(const std::string& path) {
  fd_ = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ < 0) return kSourceOpenFailed;
  file_length_ = lseek(fd_, 0, SEEK_END);
  if (file_length_ < 0) return kSourceOpenFailed;
  posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
  FileStreamArgs args;
  args.path = path;
  args.shared = true;
  Stream* raw = nullptr;
  if (CreateStream(kModeRead, &args, &raw, kFileStream) != kOk) return kSourceOpenFailed;
  stream_.reset(raw);
  return kOk;
}

void PackageExaminer::ReadStructure() {
  header_problem = ReadHeader(stream_.get(), &header);
  if (header_problem == kOk) ReadChain();
}

void PackageExaminer::ReadChain() {
  // What the whole package may hold: one record per byte of the file, as
  // when it is opened.
  TableBudget budget{file_length_, file_length_};
  std::unordered_set<int64_t> seen;
  const int width = header.width;
  int64_t offset = header.first_entry;
  for (int revision = 0; revision < header.entry_count; ++revision) {
    if (offset <= 0 || !seen.insert(offset).second) {
      chain_problem = kBadNextEntry;
      return;
    }
    ExaminedEntry& entry = entries.emplace_back();
    entry.facts.revision = revision;
    entry.facts.offset = offset;
    NameMap names(&pool_);
    std::vector<ItemRef> items;
    int code = ReadEntryRefs(stream_.get(), offset, width, header.version, file_length_,
                             &entry.facts, &names, &items, &budget);
    entry.facts.revision = revision;
    if (code == kOk) {
      entry.tables_read = true;
      entry.records.reserve(items.size());
      for (const ItemRef& item : items) {
        ExaminedDataRecord& record = entry.records.emplace_back();
        record.type = item.type;
        record.skippable = item.skippable;
        record.path = item.path;
        record.data_offset = item.data_offset;
      }
      ReadDataHeads(&entry);
      offset = entry.facts.next;
      continue;
    }
    entry.problem = code;
    // The tables are lost, but a readable entry header still leads on.
    uint8_t head[29 + 2 * 8];
    const int size = 29 + 2 * width;
    if (ReadAt(fd_, head, size, offset) != size || std::memcmp(head, "C.En", 4) != 0 ||
        LoadOffset(head + 8 + width, width) < 0) {
      chain_problem = code;
      return;
    }
    entry.facts.next = LoadOffset(head + 8 + width, width);
    offset = entry.facts.next;
  }
}

void PackageExaminer::ReadDataHeads(ExaminedEntry* entry) {
  const int width = header.width;
  const int64_t bitstream = entry->facts.bitstream;
  entry->end = entry->facts.offset + entry->facts.length;
  bool has_data = false;
  for (ExaminedDataRecord& record : entry->records) {
    if (!record.HasData()) continue;
    has_data = true;
    // The checks of reading a data record when its part is read.
    if (record.data_offset <= 0 || bitstream < 0 || record.data_offset > INT64_MAX - bitstream) {
      record.problem = kBitStreamReadFailed;
    } else {
      const int64_t position = bitstream + record.data_offset;
      uint8_t head[1 + 8 + 8];
      const int64_t got = ReadAt(fd_, head, 1 + width + 8, position);
      int count = 0;
      int64_t at = 1 + width;
      record.problem = got < at ? int{kBitStreamReadFailed} : int{kOk};
      while (record.problem == kOk) {
        if (at >= got) {
          record.problem = kBitStreamReadFailed;
        } else if (head[at] == 0xFF) {
          break;
        } else if (head[at] == 0) {
          record.problem = kSiteZeroCode;
        } else if (count == kMaxStoredCodes) {
          record.problem = kSiteTooManyCodes;
        } else {
          record.codes[count++] = head[at++];
        }
      }
      if (record.problem == kOk) {
        record.check_byte = head[0];
        record.code_count = count;
        record.size = LoadOffset(head + 1, width);
        record.start = position + at + 1;
        if (record.size < 0 || record.start > file_length_ ||
            record.size > file_length_ - record.start) {
          record.problem = kBitStreamReadFailed;
        } else {
          record.end = record.start + record.size;
          entry->end = std::max(entry->end, record.end);
        }
      }
    }
    if (record.problem != kOk && entry->problem == kOk) entry->problem = record.problem;
  }
  if (has_data && bitstream > 0 && bitstream <= file_length_ - 4) {
    entry->end = std::max(entry->end, bitstream + 4);
  }
}

Status PackageExaminer::Sweep(int64_t* end, const std::function<void(int revision)>& failed,
                           const std::function<int(const uint8_t*, int64_t, int64_t)>& copy) {
  // Every record's check byte is the exclusive-or of the file's bytes up to
  // its end and up to its start: one pass in file order settles them all,
  // however the records lie or overlap.
  struct Mark {
    int64_t position;
    bool is_end;
    ExaminedDataRecord* record;
    int revision;
  };
  std::vector<Mark> marks;
  for (ExaminedEntry& entry : entries) {
    for (ExaminedDataRecord& record : entry.records) {
      if (!record.HasData() || record.problem != kOk) continue;
      const int revision = entry.facts.revision;
      marks.push_back({record.start, false, &record, revision});
      marks.push_back({record.end, true, &record, revision});
    }
  }
  std::stable_sort(marks.begin(), marks.end(), [](const Mark& a, const Mark& b) {
    return a.position < b.position || (a.position == b.position && !a.is_end && b.is_end);
  });

  constexpr int64_t kPiece = 1 << 20;
  std::unique_ptr<uint8_t[]> piece(new uint8_t[kPiece]);
  uint8_t acc = 0;
  size_t next = 0;
  for (int64_t position = 0; position < *end;) {
    const int64_t want = std::min(kPiece, *end - position);
    const int64_t got = ReadAt(fd_, piece.get(), want, position);
    if (got != want) return kBitStreamReadFailed;  // the file shrank or failed
    int64_t done = 0;
    for (; next < marks.size() && marks[next].position <= position + got; ++next) {
      const Mark& mark = marks[next];
      const int64_t upto = mark.position - position;
      acc = FoldCheckByte(piece.get() + done, static_cast<size_t>(upto - done), acc);
      done = upto;
      ExaminedDataRecord* record = mark.record;
      if (!mark.is_end) {
        record->xor_at_start = acc;
        continue;
      }
      record->checked = true;
      if (static_cast<uint8_t>(acc ^ record->xor_at_start) != record->check_byte) {
        record->problem = kChecksumFailed;
        ExaminedEntry& entry = entries[static_cast<size_t>(mark.revision)];
        if (entry.problem == kOk) entry.problem = kChecksumFailed;
        failed(mark.revision);
      }
    }
    acc = FoldCheckByte(piece.get() + done, static_cast<size_t>(got - done), acc);
    int code = copy(piece.get(), got, position);
    if (code != kOk) return code;
    position += got;
  }
  return kOk;
}

int64_t PackageExaminer::PrefixEnd(int revisions) const {
  int64_t end = kHeaderFixedSize + header.width;
  for (int r = 0; r < revisions && r < static_cast<int>(entries.size()); ++r) {
    end = std::max(end, entries[static_cast<size_t>(r)].end);
  }
  return end;
}

int PackageExaminer::Readable() const {
  int count = 0;
  while (count < static_cast<int>(entries.size()) && entries[static_cast<size_t>(count)].tables_read) {
    ++count;
  }
  return count;
}

int PackageExaminer::Complete() const {
  int count = 0;
  while (count < static_cast<int>(entries.size()) &&
         entries[static_cast<size_t>(count)].problem == kOk) {
    ++count;
  }
  return count;
}

int64_t PackageExaminer::DataEnd() const {
  int64_t end = 0;
  for (const ExaminedEntry& entry : entries) {
    for (const ExaminedDataRecord& record : entry.records) {
      if (record.HasData() && record.problem == kOk) end = std::max(end, record.end);
    }
  }
  return end;
}

void DescribeExamination(const PackageExaminer& examiner, bool data_checked,
                         RecoveryReport* report) {
  *report = RecoveryReport{};
  report->header_problem = examiner.header_problem;
  if (examiner.header_problem != kOk) return;
  report->entry_count = examiner.header.entry_count;
  report->readable = examiner.Readable();
  report->complete = examiner.Complete();
  report->chain_problem = examiner.chain_problem;
  report->reached = static_cast<int>(examiner.entries.size());
  report->data_checked = data_checked;
  for (size_t r = static_cast<size_t>(report->complete); r < examiner.entries.size(); ++r) {
    const ExaminedEntry& entry = examiner.entries[r];
    ExaminedRevision& revision = report->revisions.emplace_back();
    revision.revision = entry.facts.revision;
    revision.offset = entry.facts.offset;
    revision.problem = entry.problem;
    revision.records_known = entry.tables_read;
    for (const ExaminedDataRecord& record : entry.records) {
      ExaminedRecord& out = revision.records.emplace_back();
      out.path = record.path;
      out.type = record.type;
      out.problem = record.problem;
      out.fate = record.problem != kOk ? RecordFate::kDamaged : RecordFate::kNotCopied;
    }
  }
}

Status ExaminePackage(const std::string& path, bool check_data, RecoveryReport* report) {
  if (report == nullptr) return kInvalidArgument;
  *report = RecoveryReport{};
  PackageExaminer examiner;
  int code = examiner.Open(path);
  if (code != kOk) return code;
  examiner.ReadStructure();
  if (check_data && examiner.header_problem == kOk) {
    int64_t end = examiner.DataEnd();
    code = examiner.Sweep(
        &end, [](int) {}, [](const uint8_t*, int64_t, int64_t) -> int { return kOk; });
    if (code != kOk) return code;
  }
  DescribeExamination(examiner, check_data, report);
  return kOk;
}

}  // namespace zoq
