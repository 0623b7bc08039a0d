// zoq verify: the check bytes of the package's data records.
#include "cli/command.h"
#include "cli/failure.h"
#include "cli/output.h"
#include "cli/package_session.h"

namespace zoqcli {
namespace {

int RunVerify(const ParsedArgs& args) {
  PackageOptions options = ReadPackageOptions(args);
  const std::string& package = args.Positionals()[0];
  PackageSession session(package, options, SessionUse::kStructure);
  bool all = args.Has("--all");
  Check(session.container()->VerifyChecks(all), "verification of " + package + " failed");
  Output out;
  out.Write(all ? "ok: every data record of every revision checked\n"
                : "ok: the data records of the current content checked\n");
  out.Flush();
  return 0;
}

}  // namespace

const Command kVerifyCommand{
    "verify",
    "verify [--all] [-r N] PACKAGE",
    "check the check bytes of the stored data",
    "Compares every data record's check byte with its stored bytes: those that\n"
    "make up the current content of each part, or with --all every record of\n"
    "every revision. Prints \"ok: ...\" and exits 0 when all agree; otherwise\n"
    "prints the code of the first failure (5022 a wrong check byte, 5025 data\n"
    "that cannot be read, 5064 a record without data) and exits 1.\n"
    "\n"
    "Options:\n"
    "  --all   check the records of every revision, not only the current content\n"
    "  -r N    the package as it stood after its first N revisions\n",
    {kRevisionOption, {"--all", false}},
    1,
    1,
    RunVerify,
};

}  // namespace zoqcli
