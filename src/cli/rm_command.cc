// zoq rm and zoq encode: deleting parts, and applying further ECS codes to
// a part's stored data, each saved as a new revision.
#include "cli/code_list.h"
#include "cli/command.h"
#include "cli/failure.h"
#include "cli/package_session.h"
#include "cli/part_deletion.h"

namespace zoqcli {
namespace {

int RunRm(const ParsedArgs& args) {
  const auto& positionals = args.Positionals();
  PackageSession session(positionals[0], PackageOptions{}, SessionUse::kContent);
  DeleteParts(session, {positionals.begin() + 1, positionals.end()}, args.Has("-r"));
  session.SaveIncremental(false);
  return 0;
}

int RunEncode(const ParsedArgs& args) {
  PackageOptions options = ReadPackageOptions(args);
  const auto& positionals = args.Positionals();
  PackageSession session(positionals[0], options, SessionUse::kContent);
  std::vector<zoq::EcsCodeArg> codes = ParseCodeList(positionals[2], session.key());
  if (codes.empty()) throw UsageError("encode needs at least one code");
  Check(session.container()->AddPartEncoding(PackagePathArgument(positionals[1]), codes.data(),
                                             static_cast<int>(codes.size())),
        "cannot encode " + positionals[1]);
  session.SaveIncremental(false);
  return 0;
}

}  // namespace

const Command kRmCommand{
    "rm",
    "rm [-r] PACKAGE PATH...",
    "delete parts",
    "Records the deletion of every PATH and saves the package as one new\n"
    "revision. Earlier revisions keep the parts. When a PATH names nothing\n"
    "(5054, naming the revision that deleted it) or names a folder without -r,\n"
    "the command fails and nothing is deleted.\n"
    "\n"
    "Options:\n"
    "  -r   a folder PATH deletes every part below it, at any depth\n",
    {{"-r", false}},
    2,
    -1,
    RunRm,
};

const Command kEncodeCommand{
    "encode",
    "encode [--key HEX | --key-file F] [--docver N] [--schema FILE]\n"
    "           PACKAGE PATH LIST",
    "apply further ECS codes to a part",
    "Applies the ECS codes of LIST (e.g. zip,adm) to the stored data of the part\n"
    "PATH and saves the package as a new revision.\n"
    "\n"
    "Options:\n" ZOQ_HELP_KEY ZOQ_HELP_DOCVER ZOQ_HELP_SCHEMA,
    {ZOQ_CONTENT_OPTIONS},
    3,
    3,
    RunEncode,
};

}  // namespace zoqcli
