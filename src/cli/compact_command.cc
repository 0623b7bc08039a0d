// zoq compact: the package rewritten as a single revision.
#include "cli/command.h"
#include "cli/failure.h"
#include "cli/package_session.h"

namespace zoqcli {
namespace {

int RunCompact(const ParsedArgs& args) {
  const std::string& package = args.Positionals()[0];
  PackageSession session(package, PackageOptions{}, SessionUse::kContent);
  const std::string* target = args.Value("-o");
  if (target != nullptr) {
    Check(session.container()->SaveAs(*target, zoq::kSaveCompact, false),
          "cannot write " + *target);
  } else {
    Check(session.container()->Save(zoq::kSaveCompact, false), "cannot compact " + package);
  }
  return 0;
}

}  // namespace

const Command kCompactCommand{
    "compact",
    "compact PACKAGE [-o OUT]",
    "rewrite a package as a single revision",
    "Rewrites the package with one revision that holds the current content of\n"
    "every part; the history is dropped. With -o the result is written to OUT\n"
    "and PACKAGE stays as it is.\n",
    {{"-o", true}},
    1,
    1,
    RunCompact,
};

}  // namespace zoqcli
