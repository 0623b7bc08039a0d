// Extraction: folders and parts of an open package written into a folder on
// disk, each part decoded or exactly as stored (".zoqf" appended), the
// package's folders recreated below the target. Used by "zoq extract" and by
// the browser's export and drag-out.
//
// What is written, and where:
//  - Names follow the rules of output_folder.h (no name that could leave
//    the target, no link followed, a file appears only when complete). A
//    part that cannot be written as a file beside a folder of the same name
//    (a package made elsewhere may hold both) is reported and skipped; the
//    folder is written.
//  - The package file being read is never written over when the caller
//    names it to the target folder (OutputFolder::KeepFile).
//  - Each item is a node of the package tree: a part is written as a file
//    of its name; a folder's children go straight into the target, or, with
//    `own_folder`, into a folder of its name made there. Children follow
//    the tree's order. A null node is an item with nothing to write.
//  - The first part or folder of an item that cannot be read or written
//    ends that item (the parts after it are not started; with several
//    workers, parts already under way are finished). The other items go on.
//  - With a revision limit below the package's revision count, parts that
//    had no content yet at that revision (or were deleted by then) are
//    passed over, not failed.
//
// Threads: with one worker and `off_calling_thread` false, everything runs
// on the thread that calls Run. Otherwise the calling thread walks the tree
// and makes the folders while worker threads read and write the parts
// through the one Container (which serialises opening a part and lets the
// reads run side by side); only a few hundred parts are handed over at a
// time, so memory does not grow with the package. Every callback is called
// on the thread that called Run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "zoq/container.h"
#include "zoq/decode_options.h"
#include "zoq/export.h"
#include "zoq/output_folder.h"

namespace zoq {

// Suffix of the files of a raw extraction.
inline constexpr char kRawSuffix[] = ".zoqf";

// The most worker threads an extraction runs, whatever is asked for: more
// only add memory and contention on two to a few dozen cores.
inline constexpr int kMaxExtractWorkers = 32;

struct ExtractSettings {
  int revision_limit = 0;           // 0: the whole package
  bool raw = false;                 // stored bytes as NAME.zoqf instead of content
  const KeyInfo* key = nullptr;     // for ADM-encrypted parts
  int workers = 1;                  // 0: one per processor core
  bool off_calling_thread = false;  // parts are written on workers even with one
  unsigned folder_mode = 0777;      // folders made (the umask narrows it)
  // Drop the container's decoded copy of a part made of several records
  // once it is written (a long extraction of many such parts would
  // otherwise keep one per part). Off for callers whose other users may
  // still be handed such copies.
  bool release_copies = false;
};

struct ExtractItem {
  PathNode* node = nullptr;
  bool own_folder = true;
};

// Something that went wrong, or a warning.
struct ExtractProblem {
  enum Kind {
    kRead,     // the part could not be read or decoded: `code` says why
    kWrite,    // a file or folder could not be made (code 5066)
    kSkipped,  // a part not written beside a folder of its name (5066)
    kWarning,  // written, but something is wrong with it
  };
  Kind kind = kRead;
  size_t item = 0;  // index in the list given to Run
  int code = 0;
  std::u16string path;  // the package path
  std::string message;  // one line, without the code's own text
  // A read that failed because an SXC document passed its decoding limit
  // (the message says which); ExtractSettings' decode options raise it.
  bool limit_reached = false;
};

struct ExtractProgress {
  int64_t parts_done = 0;   // written, failed or passed over
  int64_t stored_done = 0;  // their stored sizes (known after Measure)
  int64_t parts_written = 0;
  int64_t bytes_written = 0;  // content bytes written
  int64_t folders_made = 0;
  int64_t parts_failed = 0;
};

struct ExtractTotals {
  int64_t parts = 0;
  int64_t stored_bytes = 0;  // only with sizes
};

class ZOQ_EXPORT ExtractJob {
 public:
  // Called between parts (and, with workers, at least every 100 ms); false
  // stops the extraction: parts under way are finished, no others started.
  using ProgressCallback = std::function<bool(const ExtractProgress&)>;
  using ProblemCallback = std::function<void(const ExtractProblem&)>;

  // `container` must stay open and unchanged while the job runs.
  ExtractJob(Container* container, ExtractSettings settings);
  ~ExtractJob();
  ExtractJob(const ExtractJob&) = delete;
  ExtractJob& operator=(const ExtractJob&) = delete;

  void SetProgress(ProgressCallback progress);
  // Every problem of kind kSkipped and kWarning, and the first of the other
  // kinds of each item.
  void SetProblems(ProblemCallback problems);

  // Counts the parts that Run would write for `items`; with `sizes` also
  // their stored sizes (one information query per part), which the
  // progress then reports as stored_done.
  ExtractTotals Measure(const std::vector<ExtractItem>& items, bool sizes);

  // Writes the items into `target`; returns how many items were not
  // written whole (0: everything written; a stop leaves the items it cut
  // short among them).
  size_t Run(const std::vector<ExtractItem>& items, const OutputFolder& target);

  bool item_failed(size_t item) const;
  bool cancelled() const;
  const ExtractProgress& progress() const;
  // The number of workers Run uses for these settings.
  int worker_count() const;

 private:
  class Run_;
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace zoq
