// zoq verify: the check bytes of the package's data records, and with
// --decode the content of every part decoded through its whole code stack.
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "cli/command.h"
#include "cli/failure.h"
#include "cli/output.h"
#include "cli/package_session.h"
#include "cli/part_content.h"
#include "cli/tree_walk.h"
#include "zoq/decode_options.h"
#include "zoq/package_layout.h"
#include "zoq/utf.h"

namespace zoqcli {
namespace {

// One content to decode: a part as it stood at a revision limit.
struct ContentVersion {
  std::u16string path;
  int revision_limit = 0;
};

// The part contents of the current tree at the session's revision limit.
std::vector<ContentVersion> CurrentContents(const PackageSession& session) {
  std::vector<ContentVersion> contents;
  WalkBelow(FindNode(session.container(), "/"), [&](zoq::PathNode* node) {
    if (!node->IsFolder()) contents.push_back({node->GetPath(), session.revision_limit()});
  });
  return contents;
}

// Every content any revision up to the limit held, each data record
// decoded once: a part's content at the last revision of each run of
// records that builds on one full record (the full record and the records
// appended to it), deleted parts included.
std::vector<ContentVersion> AllContents(const PackageSession& session) {
  zoq::PackageLayout layout;
  Check(zoq::ReadPackageLayoutFile(session.package_path(), session.revision_limit(), &layout),
        "cannot read the revisions of " + session.package_path());
  std::vector<ContentVersion> contents;
  std::map<std::u16string, int> open_runs;  // path -> revision limit that ends its run
  auto close_run = [&](const std::u16string& path) {
    auto run = open_runs.find(path);
    if (run == open_runs.end()) return;
    contents.push_back({path, run->second});
    open_runs.erase(run);
  };
  for (const zoq::EntryFacts& entry : layout.entries) {
    for (const zoq::RecordFacts& record : entry.records) {
      switch (record.type) {
        case zoq::kRecordCreated:
        case zoq::kRecordReplaced:
          close_run(record.path);
          open_runs[record.path] = entry.revision + 1;
          break;
        case zoq::kRecordAppended:
          open_runs[record.path] = entry.revision + 1;
          break;
        default:  // a deletion or a record without content ends the run
          close_run(record.path);
      }
    }
  }
  while (!open_runs.empty()) close_run(open_runs.begin()->first);
  return contents;
}

int RunVerify(const ParsedArgs& args) {
  PackageOptions options = ReadPackageOptions(args);
  const std::string& package = args.Positionals()[0];
  const bool all = args.Has("--all");
  const bool decode = args.Has("--decode");
  if (!decode) {
    for (const OptionSpec& option : {ZOQ_CONTENT_OPTIONS}) {
      if (args.Has(option.name)) throw UsageError(std::string(option.name) + " needs --decode");
    }
  }
  PackageSession session(package, options,
                         decode ? SessionUse::kContent : SessionUse::kStructure);
  const int checks = session.container()->VerifyChecks(all);
  if (!decode) {
    Check(checks, "verification of " + package + " failed");
    Output out;
    out.Write(all ? "ok: the check bytes of every data record of every revision agree "
                    "(content not decoded; --decode decodes it)\n"
                  : "ok: the check bytes of the current content's data records agree "
                    "(content not decoded; --decode decodes it)\n");
    out.Flush();
    return 0;
  }
  if (checks != 0) ReportCode(checks, "check bytes of " + package);

  std::vector<ContentVersion> contents = all ? AllContents(session) : CurrentContents(session);
  size_t failed = 0;
  for (const ContentVersion& content : contents) {
    try {
      ReadPartContentAt(session, content.path, zoq::kEcsEnd, content.revision_limit,
                        [](const uint8_t*, size_t) {});
    } catch (const CodeFailure& failure) {
      ++failed;
      std::string what = zoq::Utf16ToUtf8Lenient(content.path);
      if (all) what += " (revision " + std::to_string(content.revision_limit) + ")";
      std::string line = what + ": " + DescribeCode(failure.code());
      if (!failure.reason().empty()) line += ": " + failure.reason();
      ReportMessage(line);
    }
    // Only frees the copy; the path was read just before.
    session.container()->ReleasePartCopies(content.path).IgnoreError();
  }
  const std::string counted =
      std::to_string(contents.size()) + (all ? " part versions of all revisions" : " parts");
  if (failed > 0 || checks != 0) {
    std::string summary = "verification of " + package + " failed: ";
    if (checks != 0) summary += "checking the check bytes failed";
    if (checks != 0 && failed > 0) summary += " and ";
    if (failed > 0) summary += std::to_string(failed) + " of " + counted + " cannot be decoded";
    ReportMessage(summary);
    return 1;
  }
  Output out;
  out.Write("ok: the check bytes agree and " + counted + " decode\n");
  out.Flush();
  return 0;
}

}  // namespace

const Command kVerifyCommand{
    "verify",
    "verify [--all] [-r N] [--decode [--key HEX | --key-file F] [--docver N]\n"
    "           [--schema FILE]] PACKAGE",
    "check the stored data, and with --decode that every part decodes",
    "Compares every data record's check byte with its stored bytes: those that\n"
    "make up the current content of each part, or with --all every record of\n"
    "every revision. Only the check bytes are checked: content whose stored\n"
    "bytes are damaged in a way the check byte does not see, or that cannot be\n"
    "decrypted, inflated or decoded, passes. Prints \"ok: ...\" and exits 0 when\n"
    "all agree; otherwise prints the code of the first failure (5022 a wrong\n"
    "check byte, 5025 data that cannot be read, 5064 a record without data) and\n"
    "exits 1.\n"
    "With --decode, also decodes every part's content through all its ECS codes\n"
    "(as \"zoq cat\" does, the output thrown away): every part of the tree, or\n"
    "with --all every content any revision held. Each part that fails is named\n"
    "with its code on standard error, the others are still tried, and the exit\n"
    "status is 1 when a check byte or any part failed.\n"
    "\n"
    "The options --key, --key-file, --docver and --schema go with --decode;\n"
    "encrypted parts fail without a key.\n"
    "\n"
    "Options:\n"
    "  --all          every revision, not only the current content\n"
    ZOQ_HELP_REVISION
    "  --decode       decode every part's content too\n"
    ZOQ_HELP_KEY ZOQ_HELP_DOCVER ZOQ_HELP_SCHEMA,
    {kRevisionOption, ZOQ_CONTENT_OPTIONS, {"--all", false}, {"--decode", false}},
    1,
    1,
    RunVerify,
};

}  // namespace zoqcli
