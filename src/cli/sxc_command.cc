// zoq sxc: standalone conversion between SXC binary XML and XML text with a
// binary schema.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/command.h"
#include "cli/failure.h"
#include "cli/file_output.h"
#include "cli/output.h"
#include "cli/package_options.h"
#include "cli/piece_writer.h"
#include "zoq/encode_report.h"
#include "zoq/result.h"
#include "zoq/sxc_tools.h"

namespace zoqcli {
namespace {

int RunSxc(const ParsedArgs& args) {
  const auto& positionals = args.Positionals();
  const std::string& action = positionals[0];
  if (action != "decode" && action != "encode") {
    throw UsageError("unknown sxc action \"" + action + "\" (decode or encode)");
  }
  if (positionals.size() != 2) throw UsageError("sxc " + action + " takes one input file");
  const std::string* schema = args.Value("--schema");
  if (schema == nullptr) throw UsageError("sxc " + action + " needs --schema FILE.bsg");
  const std::string* target_option = args.Value("-o");
  std::string target = target_option != nullptr ? *target_option : "";
  const std::string& input = positionals[1];
  const Existing existing = ExistingRule(args.Has("--force"));
  if (!target.empty() && target != "-") CheckTarget(target, existing);

  Output out;
  if (action == "decode") {
    zoq::SxcFile file;
    std::string error;
    if (!zoq::ReadSxcFile(*schema, input, &file, &error)) throw ToolFailure(input + ": " + error);
    // The text goes out as it is decoded; a failed decode leaves no file
    // named with -o behind.
    const std::string* size = args.Value(kMaxOutputOption.name);
    const int64_t max_output = size != nullptr ? ParseSize(*size, kMaxOutputOption.name) : 0;
    auto decode = [&](const ResultWriter& write) {
      PieceWriter writer(write);
      zoq::DecodeReport report;
      const bool decoded = zoq::DecodeSxcFile(
          file, [&](const char* bytes, size_t count) { return writer.Put(bytes, count); }, &error,
          max_output, &report);
      writer.Finish();
      if (report.limit_reached) {
        throw CodeFailure(zoq::kDecodeFailed, input + ": " + error + kLimitHint);
      }
      if (!decoded) throw ToolFailure(input + ": " + error);
    };
    // Anything the coder printed goes before the XML.
    std::fflush(stdout);
    WriteResultPieces(target, decode, out, existing);
  } else {
    std::vector<uint8_t> sxc;
    zoq::EncodeReport report;
    report.print_messages = true;
    bool encoded = zoq::EncodeSxcFile(*schema, input, &sxc, &report);
    std::fflush(stdout);
    if (!encoded) {
      throw ToolFailure(input + ": " +
                        (report.reason.empty() ? "cannot be encoded" : report.reason));
    }
    WriteResult(target, sxc.data(), sxc.size(), out, existing);
  }
  out.Flush();
  return 0;
}

}  // namespace

const Command kSxcCommand{
    "sxc",
    "sxc decode|encode --schema FILE.bsg [--max-output SIZE] IN [-o OUT [--force]]",
    "convert between SXC binary XML and XML text",
    "sxc decode --schema FILE.bsg [--max-output SIZE] IN [-o OUT [--force]]\n"
    "  Turns the SXC document IN into XML text. A document past its decoding\n"
    "  limit fails (error 6008) with what was written so far on standard output.\n"
    "sxc encode --schema FILE.bsg IN [-o OUT [--force]]\n"
    "  Turns the XML document IN into SXC binary XML. When the document does not\n"
    "  fit the schema, the encoder's message appears on standard output exactly\n"
    "  as the encoder writes it (and nothing else there), the reason with its\n"
    "  element and line on standard error, and the exit status is 1.\n"
    "\n"
    "Options:\n"
    "  --schema FILE.bsg   the binary schema (see \"zoq schema compile\")\n"
    "  -o OUT              write the result to OUT (it appears only when complete);\n"
    "                      default standard output; an existing file is refused\n"
    "  --force             replace an existing OUT\n"
    ZOQ_HELP_MAX_OUTPUT,
    {{"--schema", true}, {"-o", true}, {"--force", false}, kMaxOutputOption},
    1,
    2,
    RunSxc,
};

}  // namespace zoqcli
