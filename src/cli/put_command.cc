// zoq add, replace and append: one part's content from a file or standard
// input, saved as a new revision.
#include <unistd.h>

#include "cli/code_list.h"
#include "cli/command.h"
#include "cli/failure.h"
#include "cli/file_output.h"
#include "cli/package_session.h"
#include "cli/sxc_failure.h"
#include "zoq/container.h"

namespace zoqcli {
namespace {

enum class PutKind { kAdd, kReplace, kAppend };

int Put(const ParsedArgs& args, PutKind kind) {
  PackageOptions options = ReadPackageOptions(args);
  const auto& positionals = args.Positionals();
  const std::string& package = positionals[0];
  std::u16string path = PackagePathArgument(positionals[1]);
  std::string source = positionals.size() > 2 ? positionals[2] : "-";
  PackageSession session(package, options, SessionUse::kContent);
  const std::string* code_text = args.Value("--codes");
  std::vector<zoq::EcsCodeArg> codes =
      ParseCodeList(code_text != nullptr ? *code_text : "", session.key());
  const zoq::EcsCodeArg* code_data = codes.empty() ? nullptr : codes.data();
  int count = static_cast<int>(codes.size());
  bool skippable = args.Has("--skippable");
  zoq::Container* container = session.container();
  int code = 0;
  std::string bytes;
  if (source == "-") {
    bytes = ReadWholeFile("/dev/stdin");
    if (kind == PutKind::kAppend) {
      code = container->AppendToPartFromMemory(
          path, bytes.data(), static_cast<int64_t>(bytes.size()), code_data, count);
    } else if (kind == PutKind::kReplace) {
      code = container->ReplacePartFromMemory(
          path, bytes.data(), static_cast<int64_t>(bytes.size()), code_data, count, skippable);
    } else {
      code = container->AddPartFromMemory(path, bytes.data(), static_cast<int64_t>(bytes.size()),
                                          code_data, count, skippable);
    }
  } else if (kind == PutKind::kAppend) {
    code = container->AppendToPartFromFile(path, source, code_data, count);
  } else if (kind == PutKind::kReplace) {
    code = container->ReplacePartFromFile(path, source, code_data, count, skippable);
  } else {
    code = container->AddPartFromFile(path, source, code_data, count, skippable);
  }
  CheckStored(code, "cannot store " + positionals[1], session, codes, source == "-" ? "" : source,
              &bytes);
  session.SaveIncremental(false);
  return 0;
}

int RunAdd(const ParsedArgs& args) { return Put(args, PutKind::kAdd); }
int RunReplace(const ParsedArgs& args) { return Put(args, PutKind::kReplace); }
int RunAppend(const ParsedArgs& args) { return Put(args, PutKind::kAppend); }

#define ZOQ_PUT_OPTION_HELP                                                          \
  "Options:\n"                                                                       \
  "  --codes LIST   ECS codes applied in this order, e.g. zip,adm (sxc, zip, adm);\n" \
  "                 content that does not fit the schema for sxc fails with the\n"   \
  "                 encoder's reason (element and line)\n"                           \
  ZOQ_HELP_KEY ZOQ_HELP_DOCVER ZOQ_HELP_SCHEMA

#define ZOQ_PUT_OPTIONS \
  ZOQ_CONTENT_OPTIONS, {"--codes", true}

}  // namespace

const Command kAddCommand{
    "add",
    "add [--codes LIST] [--key HEX | --key-file F] [--docver N] [--schema FILE]\n"
    "           [--skippable] PACKAGE PATH [FILE|-]",
    "store a part (new or as a new full version)",
    "Stores FILE (or standard input) as the part PATH, a new part or a new full\n"
    "version of an existing one, and saves the package as a new revision.\n"
    "--skippable marks the part as one a reader may skip (format 1.1 "
    "packages).\n\n" ZOQ_PUT_OPTION_HELP,
    {ZOQ_PUT_OPTIONS, {"--skippable", false}},
    2,
    3,
    RunAdd,
};

const Command kReplaceCommand{
    "replace",
    "replace [--codes LIST] [--key HEX | --key-file F] [--docver N]\n"
    "           [--schema FILE] [--skippable] PACKAGE PATH [FILE|-]",
    "store a new full version of a part",
    "Stores FILE (or standard input) as the new content of the part PATH and\n"
    "saves the package as a new revision. --skippable marks the part as one a\n"
    "reader may skip (format 1.1 packages).\n\n" ZOQ_PUT_OPTION_HELP,
    {ZOQ_PUT_OPTIONS, {"--skippable", false}},
    2,
    3,
    RunReplace,
};

const Command kAppendCommand{
    "append",
    "append [--codes LIST] [--key HEX | --key-file F] [--docver N]\n"
    "           [--schema FILE] PACKAGE PATH [FILE|-]",
    "append data to a part",
    "Appends FILE (or standard input) to the content of the part PATH and saves\n"
    "the package as a new revision. The appended record keeps the skippable\n"
    "flag of the part.\n\n" ZOQ_PUT_OPTION_HELP,
    {ZOQ_PUT_OPTIONS},
    2,
    3,
    RunAppend,
};

}  // namespace zoqcli
