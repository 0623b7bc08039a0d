// zoq ls: the tree below a folder, one package path a line or as JSON.
#include "cli/command.h"
#include "cli/json_writer.h"
#include "cli/output.h"
#include "cli/package_session.h"
#include "cli/part_facts.h"
#include "cli/tree_walk.h"

namespace zoqcli {
namespace {

void WriteJsonNode(JsonWriter& json, zoq::Container* container, zoq::PathNode* node,
                   int revision_limit) {
  json.BeginObject();
  json.Key("path");
  json.String(NodePath(node));
  json.Key("kind");
  json.String(node->IsFolder() ? "folder" : "part");
  if (!node->IsFolder()) WritePartMembers(json, ReadPartInfo(container, node, revision_limit));
  json.EndObject();
}

int RunLs(const ParsedArgs& args) {
  PackageOptions options = ReadPackageOptions(args);
  const auto& positionals = args.Positionals();
  PackageSession session(positionals[0], options, SessionUse::kStructure);
  zoq::Container* container = session.container();
  zoq::PathNode* start = FindNode(container, positionals.size() > 1 ? positionals[1] : "/");
  bool as_json = args.Has("--json");
  Output out;
  // A part named directly lists itself; a folder lists what is below it.
  std::vector<zoq::PathNode*> nodes;
  std::string text;
  if (!start->IsFolder()) {
    nodes.push_back(start);
    text = NodePath(start) + "\n";
  } else {
    WalkBelowWithPaths(start, [&](zoq::PathNode* node, const std::string& path) {
      if (as_json) {
        nodes.push_back(node);
        return;
      }
      text += path;
      text.push_back('\n');
      if (text.size() >= (1 << 16)) {
        out.Write(text);
        text.clear();
      }
    });
  }
  if (!as_json) {
    out.Write(text);
    out.Flush();
    return 0;
  }
  JsonWriter json(1);
  json.BeginArray();
  for (zoq::PathNode* node : nodes) {
    WriteJsonNode(json, container, node, session.revision_limit());
    if (json.text().size() > (1 << 16)) out.Write(json.Take());
  }
  json.EndArray();
  out.Write(json.Take());
  out.Write("\n");
  out.Flush();
  return 0;
}

}  // namespace

const Command kLsCommand{
    "ls",
    "ls [-r N] [--json] PACKAGE [FOLDER]",
    "list the folders and parts below a folder",
    "Lists everything below FOLDER (default: the root \"/\"), recursively, in tree\n"
    "order (the order in which the package first stored them), one package path\n"
    "a line; folder paths end with \"/\". A part given as FOLDER lists itself.\n"
    "\n"
    "Options:\n"
    "  -r N      the package as it stood after its first N revisions\n"
    "  --json    an array of objects in tree order: path, kind (\"folder\" or\n"
    "            \"part\") and, for parts, size (stored size of the newest full\n"
    "            record), total_size (all data records), revisions (1-based,\n"
    "            newest first), codes (ECS codes), deleted, skippable\n",
    {kRevisionOption, {"--json", false}},
    1,
    2,
    RunLs,
};

}  // namespace zoqcli
