// zoq cat: a part's content on standard output.
#include "cli/command.h"
#include "cli/failure.h"
#include "cli/missing_path.h"
#include "cli/output.h"
#include "cli/package_options.h"
#include "cli/package_session.h"
#include "cli/part_content.h"
#include "cli/piece_writer.h"
#include "zoq/decode_options.h"

namespace zoqcli {
namespace {

int RunCat(const ParsedArgs& args) {
  PackageOptions options = ReadPackageOptions(args);
  int code = zoq::kEcsEnd;
  if (args.Has("--raw") && args.Has("--keep")) {
    throw UsageError("--raw and --keep exclude each other");
  }
  if (args.Has("--raw")) code = 0;
  if (const std::string* keep = args.Value("--keep")) code = KeepCode(*keep);
  const auto& positionals = args.Positionals();
  std::u16string path = PackagePathArgument(positionals[1]);
  PackageSession session(positionals[0], options, SessionUse::kContent);
  int kind = session.container()->GetPathKind(path);
  if (kind == zoq::kPathFolder) {
    throw ToolFailure(positionals[1] + " is a folder (use ls or extract)");
  }
  if (kind == zoq::kPathNotFound) ThrowNoSuchPath(session, positionals[1]);
  Output out;
  bool damaged = false;
  const PieceWriter::Write write = [&out](const uint8_t* bytes, size_t count) {
    out.Write(bytes, count);
  };
  if (OutputWorthAThread()) {
    PieceWriter writer(write);
    ReadPartContent(
        session, path, code,
        [&writer](const uint8_t* bytes, size_t count) {
          if (!writer.Put(reinterpret_cast<const char*>(bytes), count)) writer.Finish();
        },
        &damaged);
    writer.Finish();
  } else {
    ReadPartContent(session, path, code, write, &damaged);
  }
  out.Flush();
  if (!damaged) return 0;
  WarnDamaged(path);
  return 1;
}

}  // namespace

const Command kCatCommand{
    "cat",
    "cat [-r N] [--raw | --keep CODE] [--key HEX | --key-file F] [--docver N]\n"
    "           [--schema FILE] [--max-output SIZE] PACKAGE PATH",
    "write a part's content to standard output",
    "Writes the content of the part PATH to standard output, fully decoded\n"
    "(every ECS code undone: decrypted, inflated, SXC turned into XML) unless\n"
    "told otherwise. When the content cannot be read to its end, the command\n"
    "fails (exit status 1) even if some bytes were already written. Stored data\n"
    "that does not match its check byte is written as read, with a warning and\n"
    "exit status 1.\n"
    "\n"
    "A part deleted at that revision fails with 5054, naming the revision that\n"
    "deleted it.\n"
    "\n"
    "Options:\n"
    ZOQ_HELP_REVISION
    "  --raw          the bytes as stored, nothing undone\n"
    "  --keep CODE    leave the part's first ECS code in place (1/sxc, 2/zip,\n"
    "                 128/adm; it must be the part's first code)\n"
    ZOQ_HELP_KEY ZOQ_HELP_DOCVER ZOQ_HELP_SCHEMA ZOQ_HELP_MAX_OUTPUT,
    {kRevisionOption, ZOQ_CONTENT_OPTIONS, kMaxOutputOption, {"--raw", false}, {"--keep", true}},
    2,
    2,
    RunCat,
};

}  // namespace zoqcli
