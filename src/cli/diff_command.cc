// zoq diff: what differs between two revisions of a package.
#include <string>
#include <vector>

#include "cli/command.h"
#include "cli/diff_content.h"
#include "cli/failure.h"
#include "cli/history_selection.h"
#include "cli/json_writer.h"
#include "cli/output.h"
#include "cli/package_session.h"
#include "cli/revision_argument.h"
#include "cli/terminal_text.h"
#include "zoq/history.h"
#include "zoq/utf.h"

namespace zoqcli {
namespace {

struct Revisions {
  int from = 0;
  int to = 0;
};

void WriteRevisionList(JsonWriter& json, const std::vector<int>& revisions) {
  json.BeginArray();
  for (int revision : revisions) json.Int(revision + 1);
  json.EndArray();
}

void WriteChangeJson(JsonWriter& json, const zoq::PathHistory& history,
                     const zoq::PartChange& change) {
  json.BeginObject();
  json.Key("status");
  json.String(std::string(1, change.status));
  json.Key("path");
  json.String(zoq::Utf16ToUtf8Lenient(history.path));
  // The records whose data makes up each content (1-based revisions).
  json.Key("from");
  WriteRevisionList(json, zoq::ContentRevisions(history, change.before));
  json.Key("to");
  WriteRevisionList(json, zoq::ContentRevisions(history, change.after));
  if (change.status == 'D' && change.after.ended_by >= 0) {
    json.Key("deleted_in");
    json.Int(history.records[static_cast<size_t>(change.after.ended_by)].revision + 1);
  }
  json.EndObject();
}

// Name and status of every part of `histories` that differs; returns the
// number of parts that could not be compared (each reported).
int WriteNameStatus(const PackageSession& session, const zoq::PathHistory* histories,
                    size_t count, const Revisions& revisions, JsonWriter* json, Output& out) {
  zoq::DecodeOptions decode = session.Decode(zoq::kEcsEnd);
  std::vector<zoq::PartChange> changes;
  std::vector<zoq::PartProblem> problems;
  Check(zoq::CompareRevisions(session.container(), histories, count, revisions.from,
                              revisions.to, &decode, &changes, &problems));
  std::string text;
  for (const zoq::PartChange& change : changes) {
    const zoq::PathHistory& history = histories[change.history];
    if (json != nullptr) {
      WriteChangeJson(*json, history, change);
      if (json->text().size() > (1 << 16)) out.Write(json->Take());
      continue;
    }
    text.push_back(change.status);
    text.push_back('\t');
    AppendPathForStdout(history.path, &text);
    text.push_back('\n');
    if (text.size() > (1 << 16)) {
      out.Write(text);
      text.clear();
    }
  }
  out.Write(text);
  for (const zoq::PartProblem& problem : problems) {
    out.Flush();
    ReportCode(problem.code, "cannot compare " + zoq::Utf16ToUtf8Lenient(problem.path));
  }
  return static_cast<int>(problems.size());
}

std::string Label(const std::string& path, int revision, bool exists) {
  if (!exists) return "/dev/null";
  return path + "\trevision " + std::to_string(revision);
}

// The unified diff of one part's decoded content, or for binary content
// their sizes and digests.
void WritePartDiff(const PackageSession& session, ContentFiles& files,
                   const zoq::PathHistory& history, const Revisions& revisions, Output& out) {
  const zoq::PartState before = zoq::StateAfter(history, revisions.from);
  const zoq::PartState after = zoq::StateAfter(history, revisions.to);
  if (!before.exists && !after.exists) return;
  if (before.exists && after.exists) {
    zoq::DecodeOptions decode = session.Decode(zoq::kEcsEnd);
    bool same = false;
    Check(zoq::SameContent(session.container(), history, revisions.from, revisions.to, &decode,
                           &same),
          "cannot compare " + zoq::Utf16ToUtf8Lenient(history.path));
    if (same) return;
  }
  std::string path;
  AppendPathForStdout(history.path, &path);
  const std::string file_a = before.exists ? files.Get(history.path, revisions.from) : "/dev/null";
  const std::string file_b = after.exists ? files.Get(history.path, revisions.to) : "/dev/null";
  if (LooksBinary(file_a) || LooksBinary(file_b)) {
    std::string text = "binary parts differ: " + path + "\n";
    const struct {
      int revision;
      bool exists;
      const std::string& file;
    } sides[] = {{revisions.from, before.exists, file_a}, {revisions.to, after.exists, file_b}};
    for (const auto& side : sides) {
      text += "  revision " + std::to_string(side.revision) + ": ";
      if (!side.exists) {
        text += "absent\n";
        continue;
      }
      ContentDigest digest = DigestOfFile(side.file);
      text += std::to_string(digest.size) + " bytes, SHA-256 " + digest.sha256 + "\n";
    }
    out.Write(text);
    return;
  }
  WriteUnifiedDiff(Label(path, revisions.from, before.exists), file_a,
                   Label(path, revisions.to, after.exists), file_b, out);
}

int RunDiff(const ParsedArgs& args) {
  PackageOptions options = ReadOptionsWithoutRevision(args);
  const std::vector<std::string> given = args.Values(kRevisionOption.name);
  if (given.size() > 2) throw UsageError("give at most two revisions with -r");
  const auto& positionals = args.Positionals();
  std::vector<std::u16string> paths;
  for (size_t i = 1; i < positionals.size(); ++i) {
    paths.push_back(PackagePathArgument(positionals[i]));
  }
  PackageSession session(positionals[0], options, SessionUse::kContent);
  zoq::Container* container = session.container();
  const int count = container->GetRevisionCount();
  Revisions revisions{count > 0 ? count - 1 : 0, count};
  if (given.size() >= 1) revisions.from = RevisionArgument(given[0], 0, count);
  if (given.size() == 2) revisions.to = RevisionArgument(given[1], 0, count);

  // Without PATH only the paths with records between the two states can
  // differ: the others are not even listed.
  std::vector<zoq::PathHistory> histories;
  Check(paths.empty() ? container->ListPathHistoriesChangedIn(u"/", revisions.from, revisions.to,
                                                              &histories)
                      : container->ListPathHistories(u"/", &histories),
        "cannot read " + positionals[0]);
  // Every path must name something in one of the two revisions before
  // anything is written.
  std::vector<HistoryRange> ranges;
  if (paths.empty()) ranges.push_back({0, histories.size(), false});
  for (size_t i = 0; i < paths.size(); ++i) {
    HistoryRange range = SelectHistories(histories, paths[i]);
    bool found = false;
    for (size_t h = range.begin; h < range.end && !found; ++h) {
      found = zoq::StateAfter(histories[h], revisions.from).exists ||
              zoq::StateAfter(histories[h], revisions.to).exists;
    }
    if (!found) {
      throw ToolFailure(positionals[i + 1] + ": no such part or folder in revision " +
                        std::to_string(revisions.from) + " or " + std::to_string(revisions.to));
    }
    ranges.push_back(range);
  }

  const bool name_status = args.Has("--name-status") || args.Has("--json");
  JsonWriter json(1);
  JsonWriter* as_json = args.Has("--json") ? &json : nullptr;
  if (as_json != nullptr) json.BeginArray();
  Output out;
  ContentFiles files(session);
  int problems = 0;
  for (const HistoryRange& range : ranges) {
    if (range.part && !name_status) {
      WritePartDiff(session, files, histories[range.begin], revisions, out);
      continue;
    }
    problems += WriteNameStatus(session, histories.data() + range.begin, range.end - range.begin,
                                revisions, as_json, out);
  }
  if (as_json != nullptr) {
    json.EndArray();
    out.Write(json.Take());
    out.Write("\n");
  }
  out.Flush();
  return problems == 0 ? 0 : 1;
}

}  // namespace

const Command kDiffCommand{
    "diff",
    "diff [-r A [-r B]] [--name-status] [--json] [--key HEX | --key-file F]\n"
    "           [--docver N] [--schema FILE] PACKAGE [PATH...]",
    "show what differs between two revisions",
    "Compares the package as it stood after revision A with the package after\n"
    "revision B (default: the previous and the newest revision; with one -r, that\n"
    "revision and the newest). -r 0 is the empty package before the first\n"
    "revision.\n"
    "\n"
    "Without PATH, or for a folder, lists the parts that differ, one line each:\n"
    "a status letter, a tab and the part's path:\n"
    "  A  the part exists after B and not after A\n"
    "  D  the part exists after A and not after B\n"
    "  M  the part exists after both with different decoded content (a newer\n"
    "     version with the same content is no change)\n"
    "These letters say how two revisions differ; they are not the record kinds\n"
    "of \"zoq log\" (C created, A appended, R replaced, D deleted).\n"
    "\n"
    "For a part PATH, shows a unified diff of its decoded content (SXC parts as\n"
    "XML text), made by GNU diff; for binary content, \"binary parts differ\" with\n"
    "each side's size and SHA-256. Parts whose contents cannot be read (no key,\n"
    "damaged data) are named on standard error and make the exit status 1.\n"
    "\n"
    "Options:\n"
    "  -r N           a revision to compare (give it once or twice)\n"
    "  --name-status  list part paths given as PATH too, instead of their diffs\n"
    "  --json         the list as an array of objects: status, path, and the\n"
    "                 revisions of the records that make up the content after A\n"
    "                 (from) and after B (to); deleted_in for a deleted part\n"
    ZOQ_HELP_KEY ZOQ_HELP_DOCVER ZOQ_HELP_SCHEMA,
    {kRevisionOption, ZOQ_CONTENT_OPTIONS, {"--name-status", false}, {"--json", false}},
    1,
    -1,
    RunDiff,
};

}  // namespace zoqcli
