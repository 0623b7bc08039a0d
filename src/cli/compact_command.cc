// zoq compact: the package rewritten as a single revision.
#include <unistd.h>

#include "cli/arguments.h"
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
  // 0 keeps the package's offset width.
  const int width = OffsetWidthOption(args, 0);
  if (target != nullptr) {
    // Written under a temporary name beside OUT and moved into place only
    // when complete, so that a file that appeared at OUT meanwhile is never
    // replaced without --force.
    const Existing existing = ExistingRule(args.Has("--force"));
    CheckTarget(*target, existing);
    const std::string temporary = TemporaryBeside(*target);
    int code = session.container()->SaveCompactWithWidth(temporary, width);
    if (code != 0) {
      ::unlink(temporary.c_str());
      throw CodeFailure(code, "cannot write " + *target);
    }
    PlaceFile(temporary, *target, existing);
  } else {
    Check(session.container()->SaveCompactWithWidth("", width), "cannot compact " + package);
  }
  return 0;
}

}  // namespace

const Command kCompactCommand{
    "compact",
    "compact PACKAGE [-o OUT [--force]] [--width 2|4|8]",
    "rewrite a package as a single revision",
    "Rewrites the package with one revision that holds the current content of\n"
    "every part; the history is dropped.\n"
    "\n"
    "Options:\n"
    "  -o OUT      write the result to OUT instead (it appears only when complete)\n"
    "              and leave PACKAGE as it is; an existing file is refused\n"
    "  --force     replace an existing OUT\n"
    "  --width W   offset width of the result: 2, 4 or 8 bytes (default: the\n"
    "              package's own); 2-byte offsets address at most 64 KiB\n",
    {{"-o", true}, {"--force", false}, {"--width", true}},
    1,
    1,
    RunCompact,
};

}  // namespace zoqcli
