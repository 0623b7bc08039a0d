// zoq create: a new, empty package.
#include "cli/command.h"
#include "cli/failure.h"
#include "cli/file_output.h"
#include "cli/package_session.h"
#include "zoq/main_document.h"

namespace zoqcli {
namespace {

int SubsetCode(const std::string& name) {
  if (name == "A") return 1;
  if (name == "P") return 2;
  if (name == "M") return 8;
  if (name == "Full") return 16;
  if (name == "I") {
    throw UsageError("--subset I cannot be named in the document's main part (readers know A, P, "
                     "M and Full), so the package would not keep its type");
  }
  throw UsageError("--subset expects A, P, M or Full, not \"" + name + "\"");
}

int RunCreate(const ParsedArgs& args) {
  const std::string& package = args.Positionals()[0];
  NewPackage create;
  create.width = OffsetWidthOption(args, create.width);
  const std::string* subset = args.Value("--subset");
  const std::string* docver = args.Value("--docver");
  if ((subset == nullptr) != (docver == nullptr)) {
    throw UsageError("--subset and --docver go together");
  }
  if (subset != nullptr) {
    create.subset = SubsetCode(*subset);
    create.docver = static_cast<int>(ParseInteger(*docver, "--docver", 256, 258));
  }
  CreatedFile file(package);
  {
    PackageSession session(package, PackageOptions{}, create);
    if (create.subset != 0) {
      Check(zoq::WriteMainDocument(session.container(), create.subset, create.docver),
            "cannot store the main part /__main.xml");
    }
    session.SaveIncremental(false);
  }
  file.Keep();
  return 0;
}

}  // namespace

const Command kCreateCommand{
    "create",
    "create [--width 2|4|8] [--subset A|P|M|Full --docver 256|257|258] PACKAGE",
    "make a new package",
    "Writes a new package without parts. An existing file is never replaced.\n"
    "With --subset and --docver it is a PLIV document: its first revision holds\n"
    "the main part /__main.xml naming the subset and version, from which every\n"
    "command takes the document type (whatever the file is called).\n"
    "\n"
    "Options:\n"
    "  --width W     offset width of the package: 2, 4 (default) or 8 bytes\n"
    "  --subset S    document subset of a PLIV document (A, P, M, Full), with\n"
    "  --docver N    its document version code (256 1.0, 257 1.1, 258 1.2); a\n"
    "                code above 257 makes a format 1.1 package, else 1.0;\n"
    "                without them the package is of format 1.1\n",
    {{"--width", true}, {"--subset", true}, {"--docver", true}},
    1,
    1,
    RunCreate,
};

}  // namespace zoqcli
