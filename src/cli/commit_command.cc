// zoq commit: many changes saved as one revision.
#include <sys/stat.h>

#include "cli/code_list.h"
#include "cli/command.h"
#include "cli/failure.h"
#include "cli/package_session.h"
#include "cli/part_deletion.h"
#include "cli/sxc_failure.h"

namespace zoqcli {
namespace {

// "PATH=FILE" split at its first "=".
std::pair<std::string, std::string> Assignment(const std::string& text, const char* option) {
  size_t equals = text.find('=');
  if (equals == std::string::npos || equals == 0 || equals + 1 == text.size()) {
    throw UsageError(std::string(option) + " expects PATH=FILE, not \"" + text + "\"");
  }
  return {text.substr(0, equals), text.substr(equals + 1)};
}

int RunCommit(const ParsedArgs& args) {
  PackageOptions options = ReadPackageOptions(args);
  const std::vector<std::string> adds = args.Values("--add");
  const std::vector<std::string> appends = args.Values("--append");
  const std::vector<std::string> removals = args.Values("--rm");
  if (adds.empty() && appends.empty() && removals.empty()) {
    throw UsageError("commit needs at least one --add, --append or --rm");
  }
  PackageSession session(args.Positionals()[0], options, SessionUse::kContent);
  const std::string* code_text = args.Value("--codes");
  std::vector<zoq::EcsCodeArg> codes =
      ParseCodeList(code_text != nullptr ? *code_text : "", session.key());
  const zoq::EcsCodeArg* code_data = codes.empty() ? nullptr : codes.data();
  int count = static_cast<int>(codes.size());
  zoq::Container* container = session.container();
  for (const std::string& add : adds) {
    auto [path, file] = Assignment(add, "--add");
    CheckStored(container->AddPartFromFile(PackagePathArgument(path), file, code_data, count, false),
                "cannot store " + path, session, codes, file);
  }
  for (const std::string& append : appends) {
    auto [path, file] = Assignment(append, "--append");
    CheckStored(container->AppendToPartFromFile(PackagePathArgument(path), file, code_data, count),
                "cannot append to " + path, session, codes, file);
  }
  DeleteParts(session, removals, false);
  const bool merge = args.Has("--merge");
  // A revision is appended to the file; one whose changes cancel each other
  // out is not written at all.
  struct stat before, after;
  const bool sized = ::stat(session.package_path().c_str(), &before) == 0;
  session.SaveIncremental(merge);
  if (!merge && sized && ::stat(session.package_path().c_str(), &after) == 0 &&
      after.st_size == before.st_size) {
    ReportMessage("no revision written: the changes cancel each other out");
  }
  return 0;
}

}  // namespace

const Command kCommitCommand{
    "commit",
    "commit PACKAGE [--add PATH=FILE]... [--append PATH=FILE]... [--rm PATH]...\n"
    "           [--codes LIST] [--key HEX | --key-file F] [--docver N]\n"
    "           [--schema FILE] [--merge]",
    "make many changes as one revision",
    "Stores, appends and deletes parts (in that order) and saves all of it as\n"
    "one new revision; when the changes cancel each other out (a part stored\n"
    "and deleted again) no revision is written and a note says so. A --rm PATH\n"
    "that names no part fails with 5054, and then nothing is saved.\n"
    "\n"
    "Options:\n"
    "  --add PATH=FILE\n"
    "                 store FILE as the part PATH (new or a new version)\n"
    "  --append PATH=FILE\n"
    "                 append FILE to the part PATH\n"
    "  --rm PATH      delete the part PATH\n"
    "  --codes LIST   ECS codes for every stored or appended part (zip,adm)\n"
    ZOQ_HELP_KEY ZOQ_HELP_DOCVER ZOQ_HELP_SCHEMA
    "  --merge        merge the changes into the newest revision when possible\n"
    "                 instead of adding a revision\n",
    {ZOQ_CONTENT_OPTIONS,
     {"--add", true},
     {"--append", true},
     {"--rm", true},
     {"--codes", true},
     {"--merge", false}},
    1,
    1,
    RunCommit,
};

}  // namespace zoqcli
