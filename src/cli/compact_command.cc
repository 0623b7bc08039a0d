// zoq compact: the package rewritten as a single revision.
#include <unistd.h>

#include "cli/command.h"
#include "cli/failure.h"
#include "cli/file_output.h"
#include "cli/package_session.h"

namespace zoqcli {
namespace {

int RunCompact(const ParsedArgs& args) {
  const std::string& package = args.Positionals()[0];
  PackageSession session(package, PackageOptions{}, SessionUse::kContent);
  const std::string* target = args.Value("-o");
  if (target != nullptr) {
    // Written under a temporary name beside OUT and moved into place only
    // when complete, so that a file that appeared at OUT meanwhile is never
    // replaced without --force.
    const Existing existing = ExistingRule(args.Has("--force"));
    CheckTarget(*target, existing);
    const std::string temporary = TemporaryBeside(*target);
    int code = session.container()->SaveAs(temporary, zoq::kSaveCompact, false);
    if (code != 0) {
      ::unlink(temporary.c_str());
      throw CodeFailure(code, "cannot write " + *target);
    }
    PlaceFile(temporary, *target, existing);
  } else {
    Check(session.container()->Save(zoq::kSaveCompact, false), "cannot compact " + package);
  }
  return 0;
}

}  // namespace

const Command kCompactCommand{
    "compact",
    "compact PACKAGE [-o OUT [--force]]",
    "rewrite a package as a single revision",
    "Rewrites the package with one revision that holds the current content of\n"
    "every part; the history is dropped.\n"
    "\n"
    "Options:\n"
    "  -o OUT    write the result to OUT instead (it appears only when complete)\n"
    "            and leave PACKAGE as it is; an existing file is refused\n"
    "  --force   replace an existing OUT\n",
    {{"-o", true}, {"--force", false}},
    1,
    1,
    RunCompact,
};

}  // namespace zoqcli
