// zoq extract: parts and folders written below a folder on disk, decoded or
// as stored, recreating the folder structure.
#include <memory>

#include "cli/command.h"
#include "cli/failure.h"
#include "cli/output.h"
#include "cli/package_session.h"
#include "cli/part_content.h"
#include "cli/progress_line.h"
#include "cli/safe_folder.h"
#include "cli/tree_walk.h"
#include "package/decode_options.h"
#include "package/utf.h"

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

class Exporter {
 public:
  Exporter(const PackageSession& session, bool raw, int64_t total_parts)
      : session_(session), raw_(raw), progress_("extracting", total_parts) {}

  // Exports a node into `target`; a folder with `own_folder` gets a folder
  // of its name there, else its children go straight into `target`. The
  // first child that fails ends the folder. Reports the failure and returns
  // false.
  bool Export(zoq::PathNode* node, const FolderHandle& target, bool own_folder) {
    try {
      if (!node->IsFolder()) {
        ExportPart(node, target);
        return true;
      }
      if (!own_folder) return ExportChildren(node, target);
      FolderHandle folder = target.Subfolder(zoq::Utf16ToUtf8(node->GetName()));
      ++folders_;
      return ExportChildren(node, folder);
    } catch (const CodeFailure& failure) {
      ReportCode(failure.code(), failure.context());
    } catch (const ToolFailure& failure) {
      ReportMessage(failure.what());
    }
    return false;
  }

  int64_t parts() const { return parts_; }
  int64_t folders() const { return folders_; }
  int64_t bytes() const { return bytes_; }

 private:
  bool ExportChildren(zoq::PathNode* folder, const FolderHandle& target) {
    for (zoq::PathNode* child : folder->Children()) {
      if (!Export(child, target, true)) return false;
    }
    return true;
  }

  void ExportPart(zoq::PathNode* node, const FolderHandle& target) {
    std::string name = zoq::Utf16ToUtf8(node->GetName());
    if (raw_) name += ".zoqf";
    int64_t written = 0;
    target.WriteFile(name, [&](const FolderHandle::Writer& write) {
      written = ReadPartContent(session_, node->GetPath(), raw_ ? 0 : zoq::kEcsEnd, write);
    });
    ++parts_;
    bytes_ += written;
    progress_.Advance(1, written);
  }

  const PackageSession& session_;
  bool raw_;
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
  FolderHandle target = FolderHandle::OpenOrCreate(target_path);

  int64_t total_parts = 0;
  for (zoq::PathNode* node : nodes) total_parts += CountParts(node);
  Exporter exporter(session, args.Has("--raw"), total_parts);
  size_t failed = missing.size();
  for (const std::string& path : missing) {
    ReportCode(zoq::kNoSuchNode, "no such part or folder: " + path);
  }
  for (zoq::PathNode* node : nodes) {
    if (!exporter.Export(node, target, !whole_tree)) ++failed;
  }
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
    "           [-d DIR] PACKAGE [PATH...]",
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
     {"--raw", false},
     {"-d", true}},
    1,
    -1,
    RunExtract,
};

}  // namespace zoqcli
