// zoq create: a new, empty package.
#include <sys/stat.h>

#include "cli/command.h"
#include "cli/failure.h"
#include "cli/package_session.h"

namespace zoqcli {
namespace {

int SubsetCode(const std::string& name) {
  if (name == "A") return 1;
  if (name == "P") return 2;
  if (name == "I") return 4;
  if (name == "M") return 8;
  if (name == "Full") return 16;
  throw UsageError("--subset expects A, P, I, M or Full, not \"" + name + "\"");
}

int RunCreate(const ParsedArgs& args) {
  const std::string& package = args.Positionals()[0];
  NewPackage create;
  if (const std::string* width = args.Value("--width")) {
    create.width = static_cast<int>(ParseInteger(*width, "--width", 2, 8));
    if (create.width != 2 && create.width != 4 && create.width != 8) {
      throw UsageError("--width expects 2, 4 or 8");
    }
  }
  const std::string* subset = args.Value("--subset");
  const std::string* docver = args.Value("--docver");
  if ((subset == nullptr) != (docver == nullptr)) {
    throw UsageError("--subset and --docver go together");
  }
  if (subset != nullptr) {
    create.subset = SubsetCode(*subset);
    create.docver = static_cast<int>(ParseInteger(*docver, "--docver", 256, 258));
  }
  struct stat existing;
  if (::lstat(package.c_str(), &existing) == 0) {
    throw ToolFailure(package + " exists already");
  }
  PackageSession session(package, PackageOptions{}, create);
  session.SaveIncremental(false);
  return 0;
}

}  // namespace

const Command kCreateCommand{
    "create",
    "create [--width 2|4|8] [--subset A|P|I|M|Full --docver 256|257|258] PACKAGE",
    "make a new, empty package",
    "Writes a new package without parts. An existing file is never replaced.\n"
    "\n"
    "Options:\n"
    "  --width W     offset width of the package: 2, 4 (default) or 8 bytes\n"
    "  --subset S    document subset of a PLIV document (A, P, I, M, Full), with\n"
    "  --docver N    its document version code (256 1.0, 257 1.1, 258 1.2); a\n"
    "                code above 257 makes a format 1.1 package, else 1.0\n",
    {{"--width", true}, {"--subset", true}, {"--docver", true}},
    1,
    1,
    RunCreate,
};

}  // namespace zoqcli
