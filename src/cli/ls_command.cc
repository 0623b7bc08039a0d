// zoq ls: the tree below a folder, one package path a line or as JSON.
#include "cli/command.h"
#include "cli/failure.h"
#include "cli/json_writer.h"
#include "cli/missing_path.h"
#include "cli/output.h"
#include "cli/package_session.h"
#include "cli/part_facts.h"
#include "cli/terminal_text.h"
#include "cli/tree_walk.h"

namespace zoqcli {
namespace {

// Writes the node's object; false when its information cannot be read (the
// object then carries the error instead).
bool WriteJsonNode(JsonWriter& json, zoq::Container* container, zoq::PathNode* node,
                   int revision_limit) {
  json.BeginObject();
  json.Key("path");
  const std::string path = NodePath(node);
  json.String(path);
  json.Key("kind");
  json.String(node->IsFolder() ? "folder" : "part");
  if (BesideFolder(node)) {
    json.Key("beside_folder");
    json.Bool(true);
  }
  int code = 0;
  if (!node->IsFolder()) {
    zoq::PartInfo info;
    code = container->GetPartInfo(&info, node, revision_limit);
    if (code == 0) {
      WritePartMembers(json, info);
    } else {
      WriteErrorMember(json, code);
      ReportUnreadable(path, code);
    }
  }
  json.EndObject();
  return code == 0;
}

int RunLs(const ParsedArgs& args) {
  PackageOptions options = ReadPackageOptions(args);
  const auto& positionals = args.Positionals();
  PackageSession session(positionals[0], options, SessionUse::kStructure);
  zoq::Container* container = session.container();
  zoq::PathNode* start = RequireNode(session, positionals.size() > 1 ? positionals[1] : "/");
  bool as_json = args.Has("--json");
  const bool terminal = StdoutIsTerminal();
  Output out;
  // A part named directly lists itself; a folder lists what is below it.
  std::vector<zoq::PathNode*> nodes;
  std::string text;
  if (!start->IsFolder()) {
    nodes.push_back(start);
    text = ForTerminal(NodePath(start), terminal) + (BesideFolder(start) ? kBesideFolderMark : "") +
           "\n";
  } else if (as_json) {
    WalkBelow(start, [&](zoq::PathNode* node) { nodes.push_back(node); });
  } else {
    ListPathsBelow(start, terminal, &text, [&out](std::string* full) {
      out.Write(*full);
      full->clear();
    });
  }
  if (!as_json) {
    out.Write(text);
    out.Flush();
    return 0;
  }
  JsonWriter json(1);
  json.BeginArray();
  size_t unreadable = 0;
  for (zoq::PathNode* node : nodes) {
    if (!WriteJsonNode(json, container, node, session.revision_limit())) ++unreadable;
    if (json.text().size() > (1 << 16)) out.Write(json.Take());
  }
  json.EndArray();
  out.Write(json.Take());
  out.Write("\n");
  out.Flush();
  if (unreadable > 0) {
    ReportMessage("the information of " + std::to_string(unreadable) +
                  (unreadable == 1 ? " part" : " parts") + " cannot be read");
    return 1;
  }
  return 0;
}

}  // namespace

const Command kLsCommand{
    "ls",
    "ls [-r N] [--json] PACKAGE [FOLDER]",
    "list the folders and parts below a folder",
    "Lists everything below FOLDER (default: the root \"/\"), recursively, in tree\n"
    "order (the order in which the package first stored them), one package path\n"
    "a line; folder paths end with \"/\". A part given as FOLDER lists itself. A\n"
    "package made elsewhere may hold a part and a folder of one name (\"/a\" and\n"
    "\"/a/\"): both are listed, the part marked as standing beside the folder.\n"
    "\n"
    "Options:\n"
    "  -r N      the package as it stood after its first N revisions\n"
    "  --json    an array of objects in tree order: path, kind (\"folder\" or\n"
    "            \"part\"), beside_folder (true for such a part) and, for parts,\n"
    "            size (stored size of the newest full record), total_size (all\n"
    "            data records), revisions (1-based, newest first), codes (ECS\n"
    "            codes), deleted, skippable; a part\n"
    "            whose information cannot be read has instead an error object\n"
    "            (code, text), is named on standard error, and the exit\n"
    "            status is 1\n",
    {kRevisionOption, {"--json", false}},
    1,
    2,
    RunLs,
};

}  // namespace zoqcli
