// Writing a new package from a damaged one: the leading revisions that read
// completely are copied byte for byte in one pass that also checks their
// data, the copy is cut where they end and its header and last link are
// patched; salvaged records of later revisions follow as new entries.
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <set>

#include "package/data_record.h"
#include "package/entry_writer.h"
#include "package/header.h"
#include "package/package_examiner.h"
#include "zoq/codes.h"

namespace zoq {
namespace {

std::string DirectoryOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

Status WriteAll(int fd, const uint8_t* bytes, int64_t count, int64_t offset) {
  while (count > 0) {
    ssize_t done = pwrite(fd, bytes, static_cast<size_t>(count), offset);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) return kTargetFileFailed;
    bytes += done;
    count -= done;
    offset += done;
  }
  return kOk;
}

// The new file beside the target: made at the start, removed unless it was
// moved into place.
class TempOutput {
 public:
  ~TempOutput() {
    if (fd_ >= 0) close(fd_);
    if (!path_.empty()) unlink(path_.c_str());
  }
  Status Make(const std::string& target) {
    std::string name = DirectoryOf(target) + "/.~zoq-recover-XXXXXX";
    std::vector<char> templ(name.begin(), name.end());
    templ.push_back('\0');
    fd_ = mkstemp(templ.data());
    if (fd_ < 0) return kTargetFileFailed;
    path_ = templ.data();
    mode_t mask = umask(0);
    umask(mask);
    if (fchmod(fd_, 0666 & ~mask) != 0) return kTargetFileFailed;
    return kOk;
  }
  // Syncs the file and gives it its name (replacing an existing file only
  // when asked), then syncs the folder.
  Status Commit(const std::string& target, bool replace) {
    if (fsync(fd_) != 0) return kTargetFileFailed;
    if (replace) {
      if (rename(path_.c_str(), target.c_str()) != 0) return kTargetFileFailed;
    } else if (renameat2(AT_FDCWD, path_.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) !=
               0) {
      // A file system that cannot rename that way: link() never replaces
      // either, so a file that appeared meanwhile stays.
      if ((errno != EINVAL && errno != ENOSYS) || link(path_.c_str(), target.c_str()) != 0) {
        return kTargetFileFailed;
      }
      unlink(path_.c_str());
    }
    path_.clear();
    int dir = open(DirectoryOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
      fsync(dir);
      close(dir);
    }
    return kOk;
  }
  int fd() const { return fd_; }
  const std::string& path() const { return path_; }

 private:
  int fd_ = -1;
  std::string path_;
};

// Decides which records of the revisions after the kept ones can be
// copied: data that reads and checks, and for appended data only when the
// content it extends survived. A revision whose records are unknown may
// have changed any part, so after one only new full versions and
// deletions are trusted.
void DecideSalvage(PackageExaminer& examiner, int kept, bool salvage,
                   std::vector<std::vector<bool>>* copy) {
  copy->assign(examiner.entries.size(), {});
  std::set<std::u16string_view> lost;     // content not rebuilt
  std::set<std::u16string_view> settled;  // rebuilt since an unknown revision
  bool unknown = false;
  for (size_t r = static_cast<size_t>(kept); r < examiner.entries.size(); ++r) {
    ExaminedEntry& entry = examiner.entries[r];
    if (!entry.tables_read) {
      unknown = true;
      settled.clear();
      continue;
    }
    (*copy)[r].assign(entry.records.size(), false);
    if (!salvage) continue;
    for (size_t i = 0; i < entry.records.size(); ++i) {
      const ExaminedDataRecord& record = entry.records[i];
      if (record.HasData() && (record.problem != kOk || !record.checked)) {
        lost.insert(record.path);
        settled.erase(record.path);
        continue;
      }
      if (record.type == kRecordAppended &&
          (lost.count(record.path) != 0 || (unknown && settled.count(record.path) == 0))) {
        continue;
      }
      if (record.type != kRecordAppended) {
        lost.erase(record.path);
        settled.insert(record.path);
      }
      (*copy)[r][i] = true;
    }
  }
}

Status WriteSalvage(PackageExaminer& examiner, int kept, const std::vector<std::vector<bool>>& copy,
                 const std::string& temp_path, RecoveryReport* report) {
  FileStreamArgs args;
  args.path = temp_path;
  Stream* raw = nullptr;
  if (CreateStream(kModeReadWrite, &args, &raw, kFileStream) != kOk) return kTargetFileFailed;
  std::unique_ptr<Stream> out(raw);
  const int width = examiner.header.width;
  int64_t previous = kept > 0 ? examiner.entries[static_cast<size_t>(kept - 1)].facts.offset : 0;
  int count = kept;
  for (size_t r = static_cast<size_t>(kept); r < examiner.entries.size(); ++r) {
    const ExaminedEntry& entry = examiner.entries[r];
    std::vector<RecordToWrite> records;
    std::vector<std::unique_ptr<Stream>> windows;
    for (size_t i = 0; i < entry.records.size(); ++i) {
      if (!copy[r][i]) continue;
      const ExaminedDataRecord& record = entry.records[i];
      RecordToWrite& w = records.emplace_back();
      w.type = record.type;
      w.skippable = record.skippable;
      w.path = record.path;
      if (!record.HasData()) continue;
      Stream* clone = examiner.stream()->Clone();
      if (clone == nullptr) return kBitStreamReadFailed;
      std::unique_ptr<Stream> window;
      int code = ReadOnlyWindow(clone, record.start, record.size, &window);
      if (code != kOk) return code;
      w.data = window.get();
      w.codes = record.codes;
      w.code_count = record.code_count;
      w.stored_size = record.size;
      windows.push_back(std::move(window));
    }
    if (records.empty()) continue;
    if (out->Seek(0, kSeekEnd) != kOk) return kTargetFileFailed;
    EntryFacts facts;
    int code = WriteEntry(out.get(), width, examiner.header.version, entry.facts.table_flags,
                          &records, &facts);
    if (code == kOk) code = LinkEntry(out.get(), width, previous, facts.offset, count + 1);
    if (code != kOk) return code;
    previous = facts.offset;
    for (ExaminedRevision& revision : report->revisions) {
      if (revision.revision == entry.facts.revision) revision.output_revision = count;
    }
    ++count;
  }
  if (out->Flush() != kOk || out->Close() != kOk) return kTargetFileFailed;
  report->output_revisions = count;
  return kOk;
}

}  // namespace

Status RecoverPackage(const std::string& damaged, const std::string& out,
                   const RecoverOptions& options, RecoveryReport* report) {
  if (report == nullptr || out.empty()) return kInvalidArgument;
  *report = RecoveryReport{};
  PackageExaminer examiner;
  int code = examiner.Open(damaged);
  if (code != kOk) return code;
  struct stat source;
  struct stat target;
  if (fstat(examiner.fd(), &source) != 0) return kSourceOpenFailed;
  if (stat(out.c_str(), &target) == 0) {
    // The damaged file is never written, whatever is asked.
    if (!options.replace || (target.st_dev == source.st_dev && target.st_ino == source.st_ino)) {
      return kTargetFileFailed;
    }
  }
  examiner.ReadStructure();
  if (examiner.header_problem != kOk) {
    DescribeExamination(examiner, false, report);
    return examiner.header_problem;
  }

  TempOutput temp;
  code = temp.Make(out);
  if (code != kOk) return code;
  // One pass copies the file while checking the data of every revision;
  // a failing check moves the end of what is kept down to the revisions
  // before it. Without salvage nothing beyond the kept revisions is read.
  int kept = examiner.Complete();
  int64_t keep_end = examiner.PrefixEnd(kept);
  int64_t end = options.salvage ? std::max(keep_end, examiner.DataEnd()) : keep_end;
  code = examiner.Sweep(
      &end,
      [&](int revision) {
        if (revision >= kept) return;
        kept = revision;
        keep_end = examiner.PrefixEnd(kept);
        if (!options.salvage) end = std::min(end, keep_end);
      },
      [&](const uint8_t* bytes, int64_t count, int64_t position) -> int {
        if (position >= keep_end) return kOk;
        return WriteAll(temp.fd(), bytes, std::min(count, keep_end - position), position);
      });
  if (code != kOk) return code;
  kept = std::min(kept, examiner.Complete());
  keep_end = examiner.PrefixEnd(kept);
  DescribeExamination(examiner, true, report);

  // Cut after the kept revisions; the header counts them and the last one
  // ends the chain.
  if (ftruncate(temp.fd(), keep_end) != 0) return kTargetFileFailed;
  const int width = examiner.header.width;
  uint8_t field[8];
  StoreLittle(field, static_cast<uint32_t>(kept), 4);
  code = WriteAll(temp.fd(), field, 4, 16);
  if (code == kOk && kept == 0) {
    StoreLittle(field, 0, width);
    code = WriteAll(temp.fd(), field, width, kHeaderFixedSize);
  }
  if (code == kOk && kept > 0) {
    StoreLittle(field, 0, width);
    code = WriteAll(temp.fd(), field, width,
                    examiner.entries[static_cast<size_t>(kept - 1)].facts.offset + 8 + width);
  }
  if (code != kOk) return code;

  std::vector<std::vector<bool>> copy;
  DecideSalvage(examiner, kept, options.salvage, &copy);
  for (ExaminedRevision& revision : report->revisions) {
    const size_t r = static_cast<size_t>(revision.revision);
    for (size_t i = 0; i < revision.records.size(); ++i) {
      const ExaminedDataRecord& record = examiner.entries[r].records[i];
      ExaminedRecord& facts = revision.records[i];
      if (copy[r][i]) {
        facts.fate = RecordFate::kSalvaged;
      } else if (record.HasData() && record.problem != kOk) {
        facts.fate = RecordFate::kDamaged;
      } else if (options.salvage) {
        facts.fate = RecordFate::kBaseLost;
      }
    }
  }
  report->output_revisions = kept;
  if (options.salvage) {
    code = WriteSalvage(examiner, kept, copy, temp.path(), report);
    if (code != kOk) return code;
  }
  if (report->output_revisions == 0 && examiner.header.entry_count > 0) {
    // Nothing of the package survives: no file is better than an empty one.
    if (!report->revisions.empty() && report->revisions[0].problem != kOk) {
      return report->revisions[0].problem;
    }
    return examiner.chain_problem != kOk ? examiner.chain_problem : kBadNextEntry;
  }
  struct stat written;
  if (fstat(temp.fd(), &written) != 0) return kTargetFileFailed;
  report->output_size = written.st_size;
  return temp.Commit(out, options.replace);
}

}  // namespace zoq
