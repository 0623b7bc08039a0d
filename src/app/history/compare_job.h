// The slow half of comparing two versions of a part, run off the window's
// thread: reading, decoding and hashing both versions, and for texts
// finding the differing lines (GNU diff) and laying the sides out. The
// window polls it and fills its views from the outcome; destroying the job
// cancels it and waits for its thread.
#pragma once

#include <QString>

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "app/history/line_diff.h"
#include "app/history/owned_key.h"
#include "app/history/version_content.h"
#include "zoq/container.h"

class QThread;

namespace zoqe {

struct CompareOutcome {
  VersionContent before;
  VersionContent after;
  bool laid_out = false;  // both are texts: the sides and hunks are filled
  std::vector<DiffHunk> hunks;
  AlignedSide left;
  AlignedSide right;
  QString error;  // why the texts could not be compared
};

class CompareJob {
 public:
  // Compares `path` at `before` with `path` at `after` (0: as the package
  // is open now) in `package`, which must stay open until the job is
  // destroyed. Texts longer than `text_limit` bytes are compared by digest;
  // the texts go through diff in temporary files in `work_folder`.
  CompareJob(zoq::Container* package, const zoq::KeyInfo* key, const QString& path, int before,
             int after, const QString& work_folder, int64_t text_limit);
  ~CompareJob();
  CompareJob(const CompareJob&) = delete;
  CompareJob& operator=(const CompareJob&) = delete;

  bool finished() const { return finished_; }
  // Decoded bytes read so far, of both versions.
  int64_t bytes_read() const { return read_; }
  // What was found; read it once finished() says so.
  CompareOutcome& outcome() { return outcome_; }

 private:
  void Run();

  zoq::Container* package_;
  OwnedKey key_;
  QString path_;
  int before_;
  int after_;
  QString work_folder_;
  int64_t text_limit_;
  CompareOutcome outcome_;
  std::atomic<bool> cancel_{false};
  std::atomic<bool> finished_{false};
  std::atomic<int64_t> read_{0};
  std::unique_ptr<QThread> thread_;
};

}  // namespace zoqe
