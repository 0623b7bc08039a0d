// zoq extract: parts and folders written below a folder on disk, decoded or
// as stored, recreating the folder structure.
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "cli/command.h"
#include "cli/failure.h"
#include "cli/output.h"
#include "cli/package_session.h"
#include "cli/parallel_option.h"
#include "cli/part_content.h"
#include "cli/progress_line.h"
#include "cli/safe_folder.h"
#include "cli/tree_walk.h"
#include "cli/work_queue.h"
#include "zoq/decode_options.h"
#include "zoq/utf.h"

namespace zoqcli {
namespace {

// The default target: beside the package, named after it without its
// extension (a leading dot is kept: ".zoq" stays ".zoq").
std::string DefaultTarget(const std::string& package) {
  size_t slash = package.rfind('/');
  std::string folder = slash == std::string::npos ? "" : package.substr(0, slash + 1);
  std::string name = slash == std::string::npos ? package : package.substr(slash + 1);
  size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) name.resize(dot);
  return folder + name;
}

// One part to write: where, under which name, and which requested path it
// belongs to.
struct ExportJob {
  std::shared_ptr<const FolderHandle> folder;
  std::string name;
  std::u16string path;
  size_t request = 0;
};

// Parts of one folder that a worker writes one after the other. Handing
// parts over in batches keeps the threads from waking each other for every
// small part, and keeps two workers mostly in different folders: creating
// and renaming files changes the folder's entries under the folder's lock.
using ExportBatch = std::vector<ExportJob>;
constexpr size_t kBatchParts = 128;

// Writes the parts of the requested paths. With one worker everything runs
// on the calling thread; with more, the calling thread walks the tree and
// creates the folders while the workers read and write the parts, each
// through a container of its own on the same package (opened at the same
// revision), fed through a short queue of batches so that only a few
// hundred parts are in flight. A requested path whose part or folder fails
// is not continued: the first failure is reported and the path counts as
// not extracted.
class Exporter {
 public:
  Exporter(const PackageSession& session, const PackageOptions& options, bool raw,
           int64_t total_parts, int workers)
      : raw_(raw), queue_(2 * static_cast<size_t>(workers)), progress_("extracting", total_parts) {
    if (workers <= 1) {
      serial_session_ = &session;
      return;
    }
    // The workers see the package exactly as the walk does: the same
    // revision, even when a revision is saved meanwhile.
    PackageOptions worker_options = options;
    if (worker_options.revision_limit == 0) {
      worker_options.revision_limit = session.container()->GetRevisionCount();
    }
    for (int i = 0; i < workers; ++i) {
      sessions_.push_back(std::make_unique<PackageSession>(session.package_path(), worker_options,
                                                           SessionUse::kContent));
    }
    for (auto& worker_session : sessions_) {
      threads_.emplace_back([this, s = worker_session.get()] { Work(*s); });
    }
  }

  ~Exporter() { Finish(); }

  // Exports a node into `target`: a folder with `own_folder` gets a folder of
  // its name there, else its children go straight into `target`.
  void Export(zoq::PathNode* node, const std::shared_ptr<const FolderHandle>& target,
              bool own_folder) {
    size_t request = 0;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      request = failed_.size();
      failed_.push_back(false);
    }
    try {
      if (!node->IsFolder()) {
        Submit(node, target, request);
      } else if (!own_folder) {
        WalkChildren(node, target, request);
      } else {
        auto folder = std::make_shared<const FolderHandle>(
            target->Subfolder(zoq::Utf16ToUtf8Lenient(node->GetName())));
        CountFolder();
        WalkChildren(node, folder, request);
      }
    } catch (const CodeFailure& failure) {
      Fail(request, [&] { ReportCode(failure.code(), failure.context()); });
    } catch (const ToolFailure& failure) {
      Fail(request, [&] { ReportMessage(failure.what()); });
    }
  }

  // Waits for the workers; returns how many requested paths failed.
  size_t Finish() {
    if (!pending_.empty()) queue_.Push(std::move(pending_));
    pending_.clear();
    queue_.Close();
    for (std::thread& thread : threads_) thread.join();
    threads_.clear();
    std::lock_guard<std::mutex> lock(mutex_);
    size_t failed = 0;
    for (bool f : failed_) failed += f ? 1 : 0;
    return failed;
  }

  int64_t parts() const { return parts_; }
  int64_t folders() const { return folders_; }
  int64_t bytes() const { return bytes_; }

 private:
  bool Failed(size_t request) {
    std::lock_guard<std::mutex> lock(mutex_);
    return failed_[request];
  }

  // Marks the request failed; only its first failure is reported.
  template <typename Report>
  void Fail(size_t request, const Report& report) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (failed_[request]) return;
    failed_[request] = true;
    report();
  }

  void CountFolder() {
    std::lock_guard<std::mutex> lock(mutex_);
    ++folders_;
  }

  // Throws on the first failure met by the walk itself (a folder); stops
  // quietly once a part of the request has failed.
  void WalkChildren(zoq::PathNode* folder, const std::shared_ptr<const FolderHandle>& target,
                    size_t request) {
    for (zoq::PathNode* child : folder->Children()) {
      if (Failed(request)) return;
      if (!child->IsFolder()) {
        Submit(child, target, request);
        continue;
      }
      auto subfolder = std::make_shared<const FolderHandle>(
          target->Subfolder(zoq::Utf16ToUtf8Lenient(child->GetName())));
      CountFolder();
      WalkChildren(child, subfolder, request);
    }
  }

  void Submit(zoq::PathNode* node, const std::shared_ptr<const FolderHandle>& target,
              size_t request) {
    ExportJob job{target, zoq::Utf16ToUtf8Lenient(node->GetName()), node->GetPath(), request};
    if (serial_session_ != nullptr) {
      Run(*serial_session_, job);
      return;
    }
    if (!pending_.empty() &&
        (pending_.back().folder != target || pending_.size() >= kBatchParts)) {
      queue_.Push(std::move(pending_));
      pending_.clear();
    }
    pending_.push_back(std::move(job));
  }

  void Work(const PackageSession& session) {
    ExportBatch batch;
    while (queue_.Pop(&batch)) {
      for (const ExportJob& job : batch) {
        if (!Failed(job.request)) Run(session, job);
      }
      batch.clear();  // let go of the folder handles
    }
  }

  // Writes one part; a failure marks its request.
  void Run(const PackageSession& session, const ExportJob& job) {
    std::string name = job.name;
    if (raw_) name += ".zoqf";
    int64_t written = 0;
    try {
      job.folder->WriteFile(name, [&](const FolderHandle::Writer& write) {
        written = ReadPartContent(session, job.path, raw_ ? 0 : zoq::kEcsEnd, write);
      });
    } catch (const CodeFailure& failure) {
      Fail(job.request, [&] { ReportCode(failure.code(), failure.context()); });
      return;
    } catch (const std::exception& failure) {
      // ToolFailure, or running out of memory on a worker thread.
      Fail(job.request, [&] { ReportMessage(failure.what()); });
      return;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    ++parts_;
    bytes_ += written;
    progress_.Advance(1, written);
  }

  bool raw_;
  const PackageSession* serial_session_ = nullptr;
  std::vector<std::unique_ptr<PackageSession>> sessions_;
  std::vector<std::thread> threads_;
  ExportBatch pending_;  // the walk's parts not yet handed over
  WorkQueue<ExportBatch> queue_;
  std::mutex mutex_;  // guards everything below
  std::vector<bool> failed_;
  ProgressLine progress_;
  int64_t parts_ = 0;
  int64_t folders_ = 0;
  int64_t bytes_ = 0;
};

int64_t CountParts(zoq::PathNode* node) {
  if (!node->IsFolder()) return 1;
  int64_t count = 0;
  WalkBelow(node, [&count](zoq::PathNode* below) { count += below->IsFolder() ? 0 : 1; });
  return count;
}

int RunExtract(const ParsedArgs& args) {
  PackageOptions options = ReadPackageOptions(args);
  const int workers = WorkerCount(args);
  const auto& positionals = args.Positionals();
  const std::string& package = positionals[0];
  PackageSession session(package, options, SessionUse::kContent);
  zoq::Container* container = session.container();

  // Without paths the whole tree goes straight into the target; each path
  // given is exported as itself (a folder gets a folder of its name).
  std::vector<zoq::PathNode*> nodes;
  std::vector<std::string> missing;
  for (size_t i = 1; i < positionals.size(); ++i) {
    zoq::PathNode* node = container->GetNode(PackagePathArgument(positionals[i]));
    if (node == nullptr) {
      missing.push_back(positionals[i]);
    } else {
      nodes.push_back(node);
    }
  }
  bool whole_tree = positionals.size() == 1;
  if (whole_tree) nodes.push_back(FindNode(container, "/"));

  const std::string* target_option = args.Value("-d");
  std::string target_path = target_option != nullptr ? *target_option : DefaultTarget(package);
  auto target = std::make_shared<const FolderHandle>(FolderHandle::OpenOrCreate(target_path));

  int64_t total_parts = 0;
  for (zoq::PathNode* node : nodes) total_parts += CountParts(node);
  for (const std::string& path : missing) {
    ReportCode(zoq::kNoSuchNode, "no such part or folder: " + path);
  }
  Exporter exporter(session, options, args.Has("--raw"), total_parts, workers);
  for (zoq::PathNode* node : nodes) exporter.Export(node, target, !whole_tree);
  size_t failed = missing.size() + exporter.Finish();
  size_t requested = missing.size() + nodes.size();
  if (failed > 0) {
    ReportMessage(failed == requested
                      ? "extraction failed"
                      : "extraction partly failed: " + std::to_string(failed) + " of " +
                            std::to_string(requested) + " paths not extracted");
    return 1;
  }
  Output out;
  out.Write("extracted " + std::to_string(exporter.parts()) + " parts (" +
            std::to_string(exporter.bytes()) + " bytes) into " + target_path + "\n");
  out.Flush();
  return 0;
}

}  // namespace

const Command kExtractCommand{
    "extract",
    "extract [-r N] [--raw] [--key HEX | --key-file F] [--docver N] [--schema FILE]\n"
    "           [-d DIR] [-j N] PACKAGE [PATH...]",
    "write parts and folders to disk",
    "Writes parts into the folder DIR, recreating the package's folders below it.\n"
    "Without PATH the whole tree is written straight into DIR; each PATH given is\n"
    "written as itself: a part as a file of its name, a folder as a folder of its\n"
    "name with everything below it. Parts are decoded like \"zoq cat\" does, or\n"
    "with --raw written as stored with \".zoqf\" appended to their names. Existing\n"
    "files are replaced. Nothing is ever written outside DIR, and a file appears\n"
    "only when it is complete. Inside a folder, the first part that fails stops\n"
    "that folder; the other paths are still tried, and the exit status is 1.\n"
    "A progress line appears on a terminal when the run takes longer than a\n"
    "second.\n"
    "\n"
    "Options:\n"
    "  -d DIR         the target folder, created when missing (default: beside the\n"
    "                 package, named after it without its extension)\n"
    "  -j N           N parts at a time, each decoded by a worker thread of its\n"
    "                 own (default 1; 0: one per processor core); the files\n"
    "                 written are the same\n"
    "  -r N           the parts as they stood after the first N revisions\n"
    "  --raw          write the stored bytes, nothing undone, as NAME.zoqf\n"
    "  --key HEX      the key for ADM-encrypted parts (see \"zoq cat --help\")\n"
    "  --key-file F   read the raw key bytes from the file F\n"
    "  --docver N     document version code (see \"zoq cat --help\")\n"
    "  --schema FILE  the binary schema (.bsg) for SXC parts\n",
    {kRevisionOption,
     kKeyOption,
     kKeyFileOption,
     kDocverOption,
     kSchemaOption,
     kJobsOption,
     {"--raw", false},
     {"-d", true}},
    1,
    -1,
    RunExtract,
};

}  // namespace zoqcli
