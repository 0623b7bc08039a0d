#include "zoq/extract_job.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <unordered_set>

#include "zoq/codes.h"
#include "zoq/stream.h"
#include "zoq/utf.h"

namespace zoq {
namespace {

// Content goes from the part to its file through one buffer per worker.
constexpr int64_t kPieceSize = int64_t{1} << 18;

// Parts of one folder handed to a worker together: fewer wake-ups than one
// part at a time, and two workers seldom create files in one folder at once
// (that contends for the folder's lock).
constexpr size_t kBatchParts = 128;

// kRawSuffix as the tree's names are held.
constexpr char16_t kRawSuffix16[] = u".zoqf";

// How often the calling thread reports progress while workers write.
constexpr auto kProgressInterval = std::chrono::milliseconds(100);

struct PartTask {
  std::shared_ptr<const OutputFolder> folder;
  std::string name;     // the file name, suffix included
  std::u16string path;  // the package path
  size_t item = 0;
  int64_t stored = 0;  // stored size, when measured
};
using Batch = std::vector<PartTask>;

// How one part went.
struct PartOutcome {
  bool written = false;
  int64_t bytes = 0;
  ExtractProblem problem;  // when not written
};

// Whether a part with this information has content at `limit`.
bool PresentAt(const PartInfo& info, int limit) {
  if (info.deleted) return false;
  return std::any_of(info.revisions.begin(), info.revisions.end(),
                     [limit](int revision) { return revision < limit; });
}

}  // namespace

struct ExtractJob::State {
  Container* container = nullptr;
  ExtractSettings settings;
  DecodeOptions decode;
  int workers = 1;
  bool threaded = false;
  bool check_presence = false;  // the limit is below the revision count
  ProgressCallback on_progress;
  ProblemCallback on_problem;
  std::unordered_map<const PathNode*, int64_t> sizes;  // from Measure

  // The state of a run. Everything below is guarded by `mutex` while
  // workers run.
  std::mutex mutex;
  std::condition_variable caller_wake;  // room in the queue, or workers done
  std::condition_variable worker_wake;  // a batch, or the end
  std::deque<Batch> queue;
  size_t capacity = 1;
  bool closed = false;
  int busy_workers = 0;
  std::vector<char> failed;              // per item: not written whole
  std::vector<char> ended;               // per item: no further parts started
  std::vector<char> walked;              // per item: every part of it handed over
  std::vector<int64_t> outstanding;      // per item: parts handed over, not yet done
  std::vector<ExtractProblem> problems;  // not yet handed to on_problem
  ExtractProgress counts;
  std::atomic<bool> stop{false};
  bool cancelled = false;
  std::vector<std::thread> threads;
  std::chrono::steady_clock::time_point last_report;

  // ---- shared by both ways of running ----

  // Records a problem (the caller holds `mutex` when workers run).
  void NoteProblem(ExtractProblem problem) {
    const size_t item = problem.item;
    const bool ends =
        problem.kind == ExtractProblem::kRead || problem.kind == ExtractProblem::kWrite;
    if (ends && ended[item]) return;  // only an item's first ending failure
    if (ends) ended[item] = 1;
    if (problem.kind != ExtractProblem::kWarning) failed[item] = 1;
    problems.push_back(std::move(problem));
  }

  void NoteOutcome(const PartTask& task, PartOutcome&& outcome) {
    --outstanding[task.item];
    ++counts.parts_done;
    counts.stored_done += task.stored;
    if (outcome.written) {
      ++counts.parts_written;
      counts.bytes_written += outcome.bytes;
    } else {
      ++counts.parts_failed;
    }
    if (outcome.problem.code != 0) NoteProblem(std::move(outcome.problem));
  }

  // Hands queued problems and the progress to the callbacks; false once the
  // extraction is to stop. Called on the calling thread; `lock` is held on
  // entry and exit when workers run.
  bool Report(std::unique_lock<std::mutex>* lock) {
    std::vector<ExtractProblem> handed;
    handed.swap(problems);
    const ExtractProgress now = counts;
    if (lock != nullptr) lock->unlock();
    for (const ExtractProblem& problem : handed) {
      if (on_problem) on_problem(problem);
    }
    const bool go_on = !on_progress || on_progress(now);
    if (lock != nullptr) lock->lock();
    last_report = std::chrono::steady_clock::now();
    if (!go_on && !stop) {
      stop = true;
      cancelled = true;
    }
    return !stop;
  }

  // Reads the part and writes its file.
  PartOutcome WritePart(const PartTask& task, uint8_t* piece) {
    PartOutcome outcome;
    ExtractProblem& problem = outcome.problem;
    problem.item = task.item;
    problem.path = task.path;
    // Each part gets a report of its own: workers share `decode`.
    DecodeReport report;
    DecodeOptions part_decode = decode;
    part_decode.report = &report;
    auto read_failure = [&](int code) {
      problem.kind = ExtractProblem::kRead;
      problem.code = code;
      problem.message = "cannot read " + Utf16ToUtf8Lenient(task.path);
      if (report.limit_reached) {
        problem.limit_reached = true;
        problem.message += ": " + report.reason;
      }
      return std::move(outcome);
    };
    auto write_failure = [&](std::string why) {
      problem.kind = ExtractProblem::kWrite;
      problem.code = kTargetFileFailed;
      problem.message = std::move(why);
      return std::move(outcome);
    };
    try {
      Stream* opened = nullptr;
      int code =
          container->OpenPart(task.path, &opened, settings.revision_limit, &part_decode, false);
      std::unique_ptr<Stream> content(opened);
      if (code != kOk) return read_failure(code);
      if (content == nullptr) return read_failure(kFailed);
      OutputFile file;
      std::string why;
      if (task.folder->CreateFile(task.name, true, &file, &why) != kOk) {
        return write_failure(std::move(why));
      }
      bool damaged = false;
      for (;;) {
        int64_t done = 0;
        code = content->Read(piece, kPieceSize, &done);
        if (code == kChecksumFailed && done <= 0) {
          damaged = true;  // the end of the content, every byte delivered
          break;
        }
        if (code != kOk) return read_failure(code);  // the file is thrown away
        if (done <= 0) break;
        if (file.Write(piece, static_cast<size_t>(done), &why) != kOk) {
          return write_failure(std::move(why));
        }
        outcome.bytes += done;
      }
      content.reset();
      if (file.Commit(&why) != kOk) return write_failure(std::move(why));
      outcome.written = true;
      if (damaged) {
        // Written whole, as read, like an archive member whose checksum
        // fails: the file stays, and the damage is reported.
        problem.kind = ExtractProblem::kWarning;
        problem.code = kChecksumFailed;
        problem.message = Utf16ToUtf8Lenient(task.path) +
                          ": the stored data does not match its check byte (damaged); the "
                          "content was written as read";
      }
      if (settings.release_copies) (void)container->ReleasePartCopies(task.path);
    } catch (const std::bad_alloc&) {
      return read_failure(kOutOfMemory);
    }
    return outcome;
  }

  // ---- the worker threads ----

  void Work() {
    std::unique_ptr<uint8_t[]> piece(new uint8_t[kPieceSize]);
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
      worker_wake.wait(lock, [this] { return !queue.empty() || closed; });
      if (queue.empty()) break;
      Batch batch = std::move(queue.front());
      queue.pop_front();
      ++busy_workers;
      caller_wake.notify_one();  // room in the queue
      for (const PartTask& task : batch) {
        if (stop || ended[task.item]) continue;
        lock.unlock();
        PartOutcome outcome = WritePart(task, piece.get());
        lock.lock();
        NoteOutcome(task, std::move(outcome));
      }
      --busy_workers;
      if (busy_workers == 0 && queue.empty()) caller_wake.notify_one();
    }
  }

  void StartWorkers() {
    capacity = 2 * static_cast<size_t>(workers);
    for (int i = 0; i < workers; ++i) threads.emplace_back([this] { Work(); });
  }

  // Ends the workers: with `drop`, batches not yet taken are thrown away.
  void StopWorkers(bool drop) {
    {
      std::lock_guard<std::mutex> guard(mutex);
      if (drop) queue.clear();
      closed = true;
    }
    worker_wake.notify_all();
    for (std::thread& thread : threads) thread.join();
    threads.clear();
  }

  // Reports when the last report is one interval old.
  void ReportWhenDue(std::unique_lock<std::mutex>* lock) {
    if (std::chrono::steady_clock::now() - last_report >= kProgressInterval) Report(lock);
  }

  // Hands a batch to the workers, reporting progress while the queue is
  // full. False when the extraction stops.
  bool Push(Batch&& batch) {
    std::unique_lock<std::mutex> lock(mutex);
    ReportWhenDue(&lock);
    while (queue.size() >= capacity && !stop) {
      caller_wake.wait_for(lock, kProgressInterval);
      ReportWhenDue(&lock);
    }
    if (stop) return false;
    queue.push_back(std::move(batch));
    lock.unlock();
    worker_wake.notify_one();
    return true;
  }

  // Waits for the workers to finish what was handed over, reporting
  // progress meanwhile.
  void Drain() {
    std::unique_lock<std::mutex> lock(mutex);
    while (!(queue.empty() && busy_workers == 0)) {
      if (stop) queue.clear();
      caller_wake.wait_for(lock, kProgressInterval);
      ReportWhenDue(&lock);
    }
    Report(&lock);
  }
};

// One run: the walk on the calling thread.
class ExtractJob::Run_ {
 public:
  explicit Run_(State* s) : s_(*s) {}

  ~Run_() {
    // Also on an exception from a callback: no worker outlives the run.
    if (!s_.threads.empty()) s_.StopWorkers(true);
  }

  void Go(const std::vector<ExtractItem>& items, const OutputFolder& target) {
    std::unique_ptr<uint8_t[]> piece;
    if (s_.threaded) {
      s_.StartWorkers();
    } else {
      piece.reset(new uint8_t[kPieceSize]);
      piece_ = piece.get();
    }
    // The caller's folder outlives the run; queued parts share it.
    auto root = std::shared_ptr<const OutputFolder>(&target, [](const OutputFolder*) {});
    for (size_t i = 0; i < items.size() && !s_.stop; ++i) {
      if (WalkItem(i, items[i], root)) Walked(i);
    }
    if (s_.threaded) {
      if (!pending_.empty() && !s_.stop) s_.Push(std::move(pending_));
      pending_.clear();
      s_.Drain();
      s_.StopWorkers(false);
    } else {
      s_.Report(nullptr);
    }
  }

 private:
  // Hands over every part of the item; false when a stop cut it short.
  bool WalkItem(size_t i, const ExtractItem& item,
                const std::shared_ptr<const OutputFolder>& root) {
    PathNode* node = item.node;
    if (node == nullptr) return true;
    if (!node->IsFolder()) {
      AddPart(i, node, node->GetPath(), node->GetName(), root);
      return true;
    }
    std::shared_ptr<const OutputFolder> folder = root;
    if (item.own_folder && !node->IsRoot()) {
      folder = MakeFolder(i, node->GetPath(), Utf16ToUtf8Lenient(node->GetName()), *root);
      if (folder == nullptr) return true;
    }
    return Walk(i, node, node->GetPath(), folder);
  }

  void Walked(size_t item) {
    std::unique_lock<std::mutex> lock(s_.mutex, std::defer_lock);
    if (s_.threaded) lock.lock();
    s_.walked[item] = 1;
  }

  bool Ended(size_t item) {
    if (!s_.threaded) return s_.ended[item] != 0;
    std::lock_guard<std::mutex> guard(s_.mutex);
    return s_.ended[item] != 0;
  }

  void Problem(ExtractProblem problem) {
    if (!s_.threaded) {
      s_.NoteProblem(std::move(problem));
      return;
    }
    std::lock_guard<std::mutex> guard(s_.mutex);
    s_.NoteProblem(std::move(problem));
  }

  std::shared_ptr<const OutputFolder> MakeFolder(size_t item, const std::u16string& path,
                                                 const std::string& name,
                                                 const OutputFolder& parent) {
    auto folder = std::make_shared<OutputFolder>();
    std::string why;
    if (parent.Subfolder(name, s_.settings.folder_mode, folder.get(), &why) != kOk) {
      Problem({ExtractProblem::kWrite, item, kTargetFileFailed, path, why});
      return nullptr;
    }
    if (s_.threaded) {
      std::lock_guard<std::mutex> guard(s_.mutex);
      ++s_.counts.folders_made;
    } else {
      ++s_.counts.folders_made;
    }
    return folder;
  }

  // The children of a folder node, depth first, in tree order, until the
  // item ends; false when a stop cut the walk short.
  bool Walk(size_t item, PathNode* node, const std::u16string& path,
            const std::shared_ptr<const OutputFolder>& folder) {
    const std::vector<PathNode*> children = node->Children();
    // Names of subfolders, when parts sit beside them: a part cannot be
    // written as a file where a folder of the same name is written (as
    // stored, the part's file name has the suffix).
    std::unordered_set<std::u16string> folder_names;
    const bool mixed =
        std::any_of(children.begin(), children.end(), [](PathNode* c) { return c->IsFolder(); }) &&
        std::any_of(children.begin(), children.end(), [](PathNode* c) { return !c->IsFolder(); });
    if (mixed) {
      for (PathNode* child : children) {
        if (child->IsFolder()) folder_names.insert(child->GetName());
      }
    }
    std::u16string child_path = path;
    for (PathNode* child : children) {
      if (s_.stop) return false;
      if (Ended(item)) return true;
      const std::u16string name = child->GetName();
      child_path.resize(path.size());
      child_path += name;
      if (child->IsFolder()) {
        child_path += u'/';
        auto subfolder = MakeFolder(item, child_path, Utf16ToUtf8Lenient(name), *folder);
        if (subfolder == nullptr) return true;
        if (!Walk(item, child, child_path, subfolder)) return false;
      } else if (mixed && folder_names.count(s_.settings.raw ? name + kRawSuffix16 : name) != 0) {
        Problem({ExtractProblem::kSkipped, item, kTargetFileFailed, child_path,
                 Utf16ToUtf8Lenient(child_path) +
                     ": a folder of the same name is written there, so the part is not "
                     "written as a file"});
        Skipped();
      } else {
        AddPart(item, child, child_path, name, folder);
      }
    }
    return true;
  }

  void Skipped() {
    std::unique_lock<std::mutex> lock(s_.mutex, std::defer_lock);
    if (s_.threaded) lock.lock();
    ++s_.counts.parts_done;
    ++s_.counts.parts_failed;
  }

  void AddPart(size_t item, PathNode* node, const std::u16string& path, const std::u16string& name,
               const std::shared_ptr<const OutputFolder>& folder) {
    if (s_.check_presence) {
      PartInfo info;
      if (s_.container->GetPartInfo(&info, node, s_.settings.revision_limit) == kOk &&
          !PresentAt(info, s_.settings.revision_limit)) {
        return;
      }
    }
    PartTask task;
    task.folder = folder;
    task.name = Utf16ToUtf8Lenient(name);
    task.path = path;
    task.item = item;
    if (!s_.sizes.empty()) {
      auto found = s_.sizes.find(node);
      if (found != s_.sizes.end()) task.stored = found->second;
    }
    if (!IsSafeOutputName(task.name)) {
      Problem({ExtractProblem::kWrite, item, kTargetFileFailed, path,
               "refusing the unsafe name \"" + task.name + "\""});
      Skipped();
      return;
    }
    if (s_.settings.raw) task.name += kRawSuffix;
    if (!s_.threaded) {
      ++s_.outstanding[item];
      PartOutcome outcome = s_.WritePart(task, piece_);
      s_.NoteOutcome(task, std::move(outcome));
      s_.Report(nullptr);
      return;
    }
    {
      // Counted before anything can drop it: a part dropped by a stop
      // leaves its item short.
      std::lock_guard<std::mutex> guard(s_.mutex);
      ++s_.outstanding[item];
    }
    if (!pending_.empty() && (pending_.back().folder != folder || pending_.size() >= kBatchParts)) {
      Batch full;
      full.swap(pending_);
      if (!s_.Push(std::move(full))) return;
    }
    pending_.push_back(std::move(task));
  }

 private:
  State& s_;
  uint8_t* piece_ = nullptr;
  Batch pending_;  // parts not yet handed over
};

ExtractJob::ExtractJob(Container* container, ExtractSettings settings)
    : state_(std::make_unique<State>()) {
  state_->container = container;
  state_->settings = std::move(settings);
  state_->decode.code = state_->settings.raw ? 0 : kEcsEnd;
  state_->decode.key = state_->settings.key;
  // Damaged stored data is reported (as a warning) while the part is read.
  state_->decode.check_stored = true;
  int workers = state_->settings.workers;
  if (workers <= 0) workers = static_cast<int>(std::thread::hardware_concurrency());
  state_->workers = std::clamp(workers, 1, kMaxExtractWorkers);
  state_->threaded = state_->workers > 1 || state_->settings.off_calling_thread;
}

ExtractJob::~ExtractJob() = default;

void ExtractJob::SetProgress(ProgressCallback progress) {
  state_->on_progress = std::move(progress);
}

void ExtractJob::SetProblems(ProblemCallback problems) { state_->on_problem = std::move(problems); }

ExtractTotals ExtractJob::Measure(const std::vector<ExtractItem>& items, bool sizes) {
  ExtractTotals totals;
  const int limit = state_->settings.revision_limit;
  const bool presence = limit != 0 && limit < state_->container->GetRevisionCount();
  std::vector<PathNode*> pending;
  for (auto it = items.rbegin(); it != items.rend(); ++it) pending.push_back(it->node);
  while (!pending.empty()) {
    PathNode* node = pending.back();
    pending.pop_back();
    if (node == nullptr) continue;
    if (node->IsFolder()) {
      const std::vector<PathNode*> children = node->Children();
      pending.insert(pending.end(), children.rbegin(), children.rend());
      continue;
    }
    if (!sizes && !presence) {
      ++totals.parts;
      continue;
    }
    PartInfo info;
    if (state_->container->GetPartInfo(&info, node, limit) != kOk) {
      ++totals.parts;  // it will be tried, and fail
      continue;
    }
    if (presence && !PresentAt(info, limit)) continue;
    ++totals.parts;
    if (sizes) {
      totals.stored_bytes += info.size;
      state_->sizes[node] = info.size;
    }
  }
  return totals;
}

size_t ExtractJob::Run(const std::vector<ExtractItem>& items, const OutputFolder& target) {
  State& s = *state_;
  s.failed.assign(items.size(), 0);
  s.ended.assign(items.size(), 0);
  s.walked.assign(items.size(), 0);
  s.outstanding.assign(items.size(), 0);
  s.problems.clear();
  s.queue.clear();
  s.counts = ExtractProgress{};
  s.closed = false;
  s.busy_workers = 0;
  s.stop = false;
  s.cancelled = false;
  if (!target.is_open()) {
    for (size_t i = 0; i < items.size(); ++i) {
      s.NoteProblem({ExtractProblem::kWrite, i, kTargetFileFailed,
                     items[i].node != nullptr ? items[i].node->GetPath() : std::u16string(),
                     "the target folder is not open"});
    }
    s.Report(nullptr);
  } else {
    const int limit = s.settings.revision_limit;
    s.check_presence = limit != 0 && limit < s.container->GetRevisionCount();
    // The first hand-over to the workers reports at once.
    s.last_report = std::chrono::steady_clock::time_point{};
    Run_ run(&s);
    run.Go(items, target);
  }
  // A stop leaves the items it cut short not written whole; one that came
  // when everything was written stopped nothing.
  bool cut_short = false;
  for (size_t i = 0; i < items.size(); ++i) {
    if (!s.walked[i] || s.outstanding[i] != 0) {
      s.failed[i] = 1;
      cut_short = true;
    }
  }
  s.cancelled = s.cancelled && cut_short;
  return static_cast<size_t>(std::count(s.failed.begin(), s.failed.end(), 1));
}

bool ExtractJob::item_failed(size_t item) const {
  return item < state_->failed.size() && state_->failed[item] != 0;
}

bool ExtractJob::cancelled() const { return state_->cancelled; }

const ExtractProgress& ExtractJob::progress() const { return state_->counts; }

int ExtractJob::worker_count() const { return state_->workers; }

}  // namespace zoq
