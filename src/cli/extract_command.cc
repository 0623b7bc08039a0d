// zoq extract: parts and folders written below a folder on disk, decoded or
// as stored, recreating the folder structure.
#include <unistd.h>

#include <string>
#include <vector>

#include "cli/command.h"
#include "cli/failure.h"
#include "cli/output.h"
#include "cli/package_session.h"
#include "cli/parallel_option.h"
#include "cli/progress_line.h"
#include "cli/tree_walk.h"
#include "zoq/extract_job.h"

namespace zoqcli {
namespace {

// The default target: beside the package, named after it without its
// extension (a leading dot is kept: ".zoq" stays ".zoq"). Empty when that
// name cannot serve: nothing left, "." or ".." (the package's own folder or
// the one above), or the package file itself.
std::string DefaultTarget(const std::string& package) {
  const size_t slash = package.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : package.substr(0, slash + 1);
  std::string name = slash == std::string::npos ? package : package.substr(slash + 1);
  const size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) name.resize(dot);
  if (name.empty() || name == "." || name == ".." || folder + name == package) return {};
  return folder + name;
}

void ReportProblem(const zoq::ExtractProblem& problem) {
  if (problem.kind == zoq::ExtractProblem::kRead) {
    ReportCode(problem.code, problem.message + (problem.limit_reached ? kLimitHint : ""));
  } else if (problem.kind == zoq::ExtractProblem::kWarning) {
    ReportWarning(problem.message);
  } else {
    ReportMessage(problem.message);
  }
}

int RunExtract(const ParsedArgs& args) {
  PackageOptions options = ReadPackageOptions(args);
  const auto& positionals = args.Positionals();
  const std::string& package = positionals[0];
  const std::string* target_option = args.Value("-d");
  const std::string target_path =
      target_option != nullptr ? *target_option : DefaultTarget(package);
  if (target_path.empty()) {
    throw UsageError("cannot name a target folder after the package \"" + package +
                     "\": give one with -d DIR");
  }
  zoq::ExtractSettings settings;
  settings.workers = WorkerCount(args);
  PackageSession session(package, options, SessionUse::kContent);
  zoq::Container* container = session.container();
  settings.revision_limit = session.revision_limit();
  settings.raw = args.Has("--raw");
  settings.key = session.key();
  settings.release_copies = true;

  // Without paths the whole tree goes straight into the target; each path
  // given is extracted as itself (a folder gets a folder of its name).
  std::vector<zoq::ExtractItem> items;
  size_t missing = 0;
  for (size_t i = 1; i < positionals.size(); ++i) {
    zoq::PathNode* node = container->GetNode(PackagePathArgument(positionals[i]));
    if (node == nullptr) {
      ReportCode(zoq::kNoSuchNode, "no such part or folder: " + positionals[i]);
      ++missing;
    } else {
      items.push_back({node, true});
    }
  }
  if (positionals.size() == 1) items.push_back({FindNode(container, "/"), false});
  if (items.empty()) {
    ReportMessage("extraction failed");
    return 1;
  }

  const bool target_existed = ::access(target_path.c_str(), F_OK) == 0;
  zoq::OutputFolder target;
  std::string why;
  if (zoq::OutputFolder::OpenOrCreate(target_path, &target, &why) != zoq::kOk) {
    throw ToolFailure(why);
  }
  target.KeepFile(package);

  zoq::ExtractJob job(container, settings);
  ProgressLine progress("extracting", job.Measure(items, false).parts);
  int64_t parts_shown = 0;
  int64_t bytes_shown = 0;
  job.SetProgress([&](const zoq::ExtractProgress& now) {
    progress.Advance(now.parts_done - parts_shown, now.bytes_written - bytes_shown);
    parts_shown = now.parts_done;
    bytes_shown = now.bytes_written;
    return true;
  });
  size_t damaged = 0;
  job.SetProblems([&damaged](const zoq::ExtractProblem& problem) {
    if (problem.kind == zoq::ExtractProblem::kWarning) ++damaged;
    ReportProblem(problem);
  });
  const size_t failed = missing + job.Run(items, target);
  const size_t requested = missing + items.size();
  if (failed > 0) {
    // A target made for nothing goes again (it stays when anything is in it).
    if (!target_existed && job.progress().parts_written == 0) ::rmdir(target_path.c_str());
    ReportMessage(failed == requested
                      ? "extraction failed"
                      : "extraction partly failed: " + std::to_string(failed) + " of " +
                            std::to_string(requested) + " paths not extracted");
    return 1;
  }
  Output out;
  out.Write("extracted " + std::to_string(job.progress().parts_written) + " parts (" +
            std::to_string(job.progress().bytes_written) + " bytes) into " + target_path + "\n");
  out.Flush();
  if (damaged == 0) return 0;
  ReportMessage(std::to_string(damaged) + (damaged == 1 ? " part" : " parts") +
                " written from damaged stored data");
  return 1;
}

}  // namespace

const Command kExtractCommand{
    "extract",
    "extract [-r N] [--raw] [--key HEX | --key-file F] [--docver N] [--schema FILE]\n"
    "           [--max-output SIZE] [-d DIR] [-j N] PACKAGE [PATH...]",
    "write parts and folders to disk",
    "Writes parts into the folder DIR, recreating the package's folders below it.\n"
    "Without PATH the whole tree is written straight into DIR; each PATH given is\n"
    "written as itself: a part as a file of its name, a folder as a folder of its\n"
    "name with everything below it. Parts are decoded like \"zoq cat\" does, or\n"
    "with --raw written as stored with \".zoqf\" appended to their names. Existing\n"
    "files are replaced; the package itself never is. Nothing is ever written\n"
    "outside DIR: names that could leave it (\"\", \".\", \"..\", names holding \"/\"\n"
    "or \"\\\") are refused, and a symbolic link is never followed or replaced\n"
    "below DIR. A file appears only when it is complete. Inside a folder, the\n"
    "first part that fails stops that folder; the other paths are still tried,\n"
    "and the exit status is 1. A part beside a folder of the same name (possible\n"
    "in packages made elsewhere) is reported and not written; the folder is.\n"
    "A part whose stored data fails its check byte is written whole, as read,\n"
    "named in a warning, and makes the exit status 1.\n"
    "A progress line appears on a terminal when the run takes longer than a\n"
    "second.\n"
    "\n"
    "Options:\n"
    "  -d DIR         the target folder, created when missing (default: beside the\n"
    "                 package, named after it without its extension; a package\n"
    "                 whose name gives no such folder, such as \"..zoq\", needs -d)\n"
    "  -j N           N parts at a time, each decoded by a worker thread of its\n"
    "                 own (default 1; 0: one per processor core; at most 32); the\n"
    "                 files written are the same\n"
    "  -r N           the parts as they stood after the first N revisions\n"
    "  --raw          write the stored bytes, nothing undone, as NAME.zoqf\n"
    "  --key HEX      the key for ADM-encrypted parts (see \"zoq cat --help\")\n"
    "  --key-file F   read the raw key bytes from the file F\n"
    "  --docver N     document version code (see \"zoq cat --help\")\n"
    "  --schema FILE  the binary schema (.bsg) for SXC parts\n"
    "  --max-output SIZE\n"
    "                 the most XML text one SXC part may decode to (see \"zoq cat\n"
    "                 --help\")\n",
    {kRevisionOption,
     kKeyOption,
     kKeyFileOption,
     kDocverOption,
     kSchemaOption,
     kMaxOutputOption,
     kJobsOption,
     {"--raw", false},
     {"-d", true}},
    1,
    -1,
    RunExtract,
};

}  // namespace zoqcli
