// zoq restore: parts back as they were after an earlier revision, saved as
// one new revision.
#include <string>
#include <vector>

#include "cli/command.h"
#include "cli/failure.h"
#include "cli/output.h"
#include "cli/package_session.h"
#include "cli/revision_argument.h"
#include "cli/terminal_text.h"
#include "zoq/history.h"
#include "zoq/utf.h"

namespace zoqcli {
namespace {

int RunRestore(const ParsedArgs& args) {
  PackageOptions options = ReadOptionsWithoutRevision(args);
  const std::string* revision_text = args.Value(kRevisionOption.name);
  if (revision_text == nullptr) throw UsageError("say with -r N which revision to restore from");
  const auto& positionals = args.Positionals();
  std::vector<std::u16string> paths;
  for (size_t i = 1; i < positionals.size(); ++i) {
    paths.push_back(PackagePathArgument(positionals[i]));
  }
  PackageSession session(positionals[0], options, SessionUse::kContent);
  const int revision =
      RevisionArgument(*revision_text, 1, session.container()->GetRevisionCount());

  std::vector<zoq::RestoredPart> done;
  std::u16string failed;
  int code = zoq::RestoreParts(session.container(), revision, paths, session.key(), &done, &failed);
  if (code == zoq::kNoSuchNode) {
    throw ToolFailure(zoq::Utf16ToUtf8Lenient(failed) + ": no part or folder of that name in revision " +
                      std::to_string(revision));
  }
  Check(code, "cannot restore " + zoq::Utf16ToUtf8Lenient(failed));
  bool changed = false;
  std::string text;
  for (const zoq::RestoredPart& part : done) {
    changed = changed || part.restored;
    text += part.restored ? "restored\t" : "unchanged\t";
    AppendPathForStdout(part.path, &text);
    text += '\n';
  }
  // Only a complete set of restored parts is saved.
  if (changed) session.SaveIncremental(false);
  Output out;
  out.Write(text);
  out.Flush();
  return 0;
}

}  // namespace

const Command kRestoreCommand{
    "restore",
    "restore -r N [--key HEX | --key-file F] [--docver N] [--schema FILE]\n"
    "           PACKAGE PATH...",
    "bring parts back as they were after revision N",
    "Stores the content every PATH had after revision N as its newest version,\n"
    "all in one new revision. A part deleted since comes back. A folder stands\n"
    "for every part that existed below it after revision N; parts added to it\n"
    "later stay as they are. A part whose content is still what it was then\n"
    "gets no new record; when no part changes, nothing is saved. Prints one line\n"
    "per part: \"restored\" or \"unchanged\", a tab and its path. When anything\n"
    "fails, the package is left as it was.\n"
    "\n"
    "A version held in one record is stored again byte for byte, with its ECS\n"
    "codes. A version made of appended pieces is decoded and encoded again with\n"
    "the codes of its first piece; an encrypted one needs the key.\n"
    "\n"
    "Options:\n"
    "  -r N           the revision whose versions come back (1-based)\n"
    ZOQ_HELP_KEY ZOQ_HELP_DOCVER ZOQ_HELP_SCHEMA,
    {kRevisionOption, ZOQ_CONTENT_OPTIONS},
    2,
    -1,
    RunRestore,
};

}  // namespace zoqcli
