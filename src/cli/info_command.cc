// zoq info: the facts of a package, or the information of one part.
#include <sys/stat.h>

#include <cstdio>
#include <initializer_list>
#include <string_view>
#include <utility>

#include "cli/command.h"
#include "cli/failure.h"
#include "cli/json_writer.h"
#include "cli/missing_path.h"
#include "cli/output.h"
#include "cli/package_session.h"
#include "cli/part_facts.h"
#include "cli/terminal_text.h"
#include "cli/tree_walk.h"
#include "zoq/package_layout.h"
#include "zoq/schema_folder.h"

namespace zoqcli {
namespace {

struct PackageFacts {
  zoq::PackageLayout layout;
  int version = 0;
  int revisions = 0;
  int64_t parts = 0;
  int64_t folders = 0;  // the root included
  std::string schema;   // empty: none in effect
};

// The schema in effect as the package sees it: its own copy, a file in the
// tool's schema folder (which may be missing) or the file
// named with --schema. Empty when there is none. The container hands out
// its own copy as a temporary file that is gone when the command ends, so
// that is named by the part it comes from.
std::string SchemaInEffect(const PackageSession& session, const PackageOptions& options) {
  std::string path;
  if (session.container()->GetSchemaPath(&path)) return {};
  if (!options.schema.empty() && path == options.schema) return path;
  const std::string resources = zoq::FindSchemaFolder(ExecutableFolder());
  if (path.compare(0, resources.size(), resources) == 0) {
    struct stat file;
    return ::stat(path.c_str(), &file) == 0 ? path : path + " (missing)";
  }
  return "embedded: /__ECSEnv/01/Schema.bsg";
}

PackageFacts GatherFacts(const PackageSession& session, const PackageOptions& options) {
  PackageFacts facts;
  Check(zoq::ReadPackageLayoutFile(session.package_path(), session.revision_limit(), &facts.layout),
        "cannot open " + session.package_path());
  zoq::Container* container = session.container();
  facts.version = container->GetContainerVersion();
  facts.revisions = container->GetRevisionCount();
  facts.folders = 1;
  WalkBelow(FindNode(container, "/"),
            [&facts](zoq::PathNode* node) { ++(node->IsFolder() ? facts.folders : facts.parts); });
  facts.schema = SchemaInEffect(session, options);
  return facts;
}

std::string VersionText(int version) {
  return std::to_string(version >> 8) + "." + std::to_string(version & 0xFF);
}

std::string Field(const char* name, const std::string& value) {
  std::string line = name;
  line += ':';
  if (line.size() < 14) line.append(14 - line.size(), ' ');
  return line + value + "\n";
}

void WritePackageText(Output& out, const PackageFacts& facts) {
  const zoq::HeaderFacts& header = facts.layout.header;
  out.Write(Field("version", VersionText(facts.version)));
  out.Write(Field("offset width", std::to_string(header.width)));
  out.Write(Field("revisions",
                  std::to_string(facts.revisions) + " of " + std::to_string(header.entry_count)));
  out.Write(Field("parts", std::to_string(facts.parts)));
  out.Write(Field("folders", std::to_string(facts.folders) + " (root included)"));
  out.Write(Field("schema", facts.schema.empty() ? "(none)"
                                                : ForTerminal(facts.schema, StdoutIsTerminal())));
  if (!facts.layout.entries.empty()) out.Write("entries:\n");
  char line[160];
  for (const zoq::EntryFacts& entry : facts.layout.entries) {
    std::snprintf(line, sizeof line,
                  "  %d: offset %lld, BitStream %lld, length %u, table flags %d, records %zu\n",
                  entry.revision + 1, static_cast<long long>(entry.offset),
                  static_cast<long long>(entry.bitstream), entry.length, entry.table_flags,
                  entry.records.size());
    out.Write(line);
  }
}

// Integer members of the current object, in the order given.
void IntMembers(JsonWriter& json,
                std::initializer_list<std::pair<std::string_view, int64_t>> members) {
  for (const auto& [key, value] : members) {
    json.Key(key);
    json.Int(value);
  }
}

void WritePackageJson(Output& out, const PackageFacts& facts) {
  const zoq::HeaderFacts& header = facts.layout.header;
  JsonWriter json(2);
  json.BeginObject();
  json.Key("version");
  json.String(VersionText(facts.version));
  IntMembers(json, {{"offset_width", header.width},
                    {"revision_count", facts.revisions},
                    {"stored_revision_count", header.entry_count},
                    {"parts", facts.parts},
                    {"folders", facts.folders}});
  json.Key("schema");
  if (facts.schema.empty()) {
    json.Null();
  } else {
    json.String(facts.schema);
  }
  json.Key("entries");
  json.BeginArray();
  for (const zoq::EntryFacts& entry : facts.layout.entries) {
    json.BeginObject();
    IntMembers(json, {{"revision", entry.revision + 1},
                      {"offset", entry.offset},
                      {"bitstream", entry.bitstream},
                      {"length", entry.length},
                      {"table_flags", entry.table_flags},
                      {"records", static_cast<int64_t>(entry.records.size())}});
    json.EndObject();
  }
  json.EndArray();
  json.EndObject();
  out.Write(json.Take());
  out.Write("\n");
}

std::string CodeNames(const zoq::PartInfo& info) {
  std::string text;
  for (int i = 0; i < info.code_count && i < static_cast<int>(info.codes.size()); ++i) {
    if (i > 0) text += ", ";
    switch (info.codes[i]) {
      case 1:
        text += "1 (sxc)";
        break;
      case 2:
        text += "2 (zip)";
        break;
      case 128:
        text += "128 (adm)";
        break;
      default:
        text += std::to_string(info.codes[i]);
    }
  }
  return text.empty() ? "(none)" : text;
}

// `info` is null for a folder; `error` the code when the part's information
// cannot be read.
void WriteNodeText(Output& out, zoq::PathNode* node, const zoq::PartInfo* info, int error) {
  out.Write(Field("path", ForTerminal(NodePath(node), StdoutIsTerminal())));
  std::string kind = node->IsFolder() ? "folder" : "part";
  if (BesideFolder(node)) kind += kBesideFolderMark;
  out.Write(Field("kind", kind));
  if (error != 0) {
    const std::string text = CodeText(error);
    out.Write(Field("error", std::to_string(error) + (text.empty() ? "" : ": " + text)));
    return;
  }
  if (info == nullptr) {
    out.Write(Field("children", std::to_string(node->Children().size())));
    return;
  }
  out.Write(Field("size", std::to_string(info->size)));
  out.Write(Field("total size", std::to_string(info->total_size)));
  out.Write(Field("position", std::to_string(info->position)));
  out.Write(Field("revisions", RevisionList(*info)));
  out.Write(Field("codes", CodeNames(*info)));
  out.Write(Field("deleted", info->deleted ? "yes" : "no"));
  out.Write(Field("skippable", info->skippable ? "yes" : "no"));
}

void WriteNodeJson(Output& out, zoq::PathNode* node, const zoq::PartInfo* info, int error) {
  JsonWriter json(1);
  json.BeginObject();
  json.Key("path");
  json.String(NodePath(node));
  json.Key("kind");
  json.String(node->IsFolder() ? "folder" : "part");
  if (BesideFolder(node)) {
    json.Key("beside_folder");
    json.Bool(true);
  }
  if (error != 0) {
    WriteErrorMember(json, error);
  } else if (info == nullptr) {
    json.Key("children");
    json.Int(static_cast<int64_t>(node->Children().size()));
  } else {
    json.Key("position");
    json.Int(info->position);
    WritePartMembers(json, *info);
  }
  json.EndObject();
  out.Write(json.Take());
  out.Write("\n");
}

int RunInfo(const ParsedArgs& args) {
  PackageOptions options = ReadPackageOptions(args);
  const auto& positionals = args.Positionals();
  PackageSession session(positionals[0], options, SessionUse::kContent);
  bool as_json = args.Has("--json");
  Output out;
  if (positionals.size() > 1) {
    zoq::PathNode* node = RequireNode(session, positionals[1]);
    zoq::PartInfo info;
    int error = 0;
    if (!node->IsFolder()) {
      error = session.container()->GetPartInfo(&info, node, session.revision_limit());
    }
    const zoq::PartInfo* part = node->IsFolder() ? nullptr : &info;
    if (as_json) {
      WriteNodeJson(out, node, part, error);
    } else {
      WriteNodeText(out, node, part, error);
    }
    if (error != 0) {
      out.Flush();
      ReportUnreadable(NodePath(node), error);
      return 1;
    }
  } else {
    PackageFacts facts = GatherFacts(session, options);
    if (as_json) {
      WritePackageJson(out, facts);
    } else {
      WritePackageText(out, facts);
    }
  }
  out.Flush();
  return 0;
}

}  // namespace

const Command kInfoCommand{
    "info",
    "info [-r N] [--json] [--docver N] [--schema FILE] PACKAGE [PATH]",
    "show the facts of a package or of one part",
    "Without PATH: the package's format version, offset width, the number of\n"
    "revisions read (of those stored), the number of parts and folders (the\n"
    "root included) in the tree, the binary schema in effect for SXC parts (as\n"
    "\"embedded: /__ECSEnv/01/Schema.bsg\" when the package holds its own, else\n"
    "the file, marked \"(missing)\" when it is not there), and per revision its\n"
    "entry's offset, BitStream offset, length, table flags and record count.\n"
    "With PATH: the part's stored size (newest full record), total stored size\n"
    "(all data records), file position of its oldest data, revisions with\n"
    "records (1-based, newest first), ECS codes, and the deleted and skippable\n"
    "flags; for a folder, its number of children. A part whose information\n"
    "cannot be read shows the error instead (in JSON an error object with code\n"
    "and text), and the exit status is 1.\n"
    "\n"
    "Options:\n"
    ZOQ_HELP_REVISION
    "  --json         the same as a JSON object\n"
    ZOQ_HELP_DOCVER ZOQ_HELP_SCHEMA,
    {kRevisionOption, kDocverOption, kSchemaOption, {"--json", false}},
    1,
    2,
    RunInfo,
};

}  // namespace zoqcli
