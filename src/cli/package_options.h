// The options shared by the commands that open a package: revision limit,
// key, document version code and schema file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/arguments.h"

namespace zoqcli {

struct PackageOptions {
  int revision_limit = 0;  // -r N: the package after its first N revisions; 0 all
  std::vector<uint8_t> key;
  bool has_key = false;
  std::optional<int> docver;  // --docver N
  std::string schema;         // --schema FILE
  int64_t max_output = 0;     // --max-output SIZE; 0: the library's limit
};

// Option declarations to add to a command's list.
extern const OptionSpec kRevisionOption;  // -r N
extern const OptionSpec kKeyOption;       // --key HEX
extern const OptionSpec kKeyFileOption;   // --key-file FILE
extern const OptionSpec kDocverOption;    // --docver N
extern const OptionSpec kSchemaOption;    // --schema FILE
extern const OptionSpec kMaxOutputOption; // --max-output SIZE

// The help lines of --max-output, for the commands that decode content.
#define ZOQ_HELP_MAX_OUTPUT                                                           \
  "  --max-output SIZE\n"                                                            \
  "                 the most XML text one SXC part may decode to (K, M, G: KiB,\n"   \
  "                 MiB, GiB; it may also inflate that far on the way). Without\n"   \
  "                 it a document may inflate to 32 times its stored size (at\n"     \
  "                 least 32 MiB) and decode to four times that; past its limit\n"   \
  "                 decoding fails (6008). Raise it for a document known to be\n"    \
  "                 genuine\n"

// Said after the reason of a decode that passed its limits.
constexpr char kLimitHint[] = " (give --max-output SIZE for a document known to be genuine)";

// A size: a whole number of bytes, or one followed by K, M or G (KiB, MiB,
// GiB); anything else, or 0, throws UsageError naming the option.
int64_t ParseSize(const std::string& text, const std::string& option);

// The options for reading and writing content, in a command's option list.
#define ZOQ_CONTENT_OPTIONS kKeyOption, kKeyFileOption, kDocverOption, kSchemaOption

// Their lines in a command's help, so that every command describes them
// alike (the option column is 15 characters wide).
#define ZOQ_HELP_REVISION "  -r N           the package as it stood after its first N revisions\n"
#define ZOQ_HELP_KEY                                                                   \
  "  --key HEX      the key for ADM-encrypted parts: an even number of hex\n"          \
  "                 digits, optionally after \"0x\" (\"00112233...\"), or byte\n"     \
  "                 pairs separated by spaces, colons or dashes (\"FF FE 0D 0A\");\n" \
  "                 anything else is refused\n"                                         \
  "  --key-file F   read the key from the file F as raw bytes (1 to 256 bytes, not\n"   \
  "                 hex text); keeps the key out of process lists and history\n"
#define ZOQ_HELP_DOCVER                                                              \
  "  --docver N     document version code (256 1.0, 257 1.1, 258 1.2, 0 none)\n"     \
  "                 instead of the one the package's main part /__main.xml\n"        \
  "                 names; it chooses the schema, and above 257 ADM data begins\n"   \
  "                 with a 16-byte initial counter block\n"
#define ZOQ_HELP_SCHEMA                                                              \
  "  --schema FILE  the binary schema (.bsg) for SXC parts when the package holds\n" \
  "                 none and the tool's schema folder has none for the document\n"  \
  "                 type\n"

// Reads whichever of the options above were given. --key and --key-file
// together, a bad number or a key that is not in one of the accepted forms
// are usage errors; a key file that cannot be read, is empty or holds more
// than 256 bytes is a ToolFailure.
PackageOptions ReadPackageOptions(const ParsedArgs& args);

// Raw key bytes from a file: 1 to 256 bytes, taken as they are.
std::vector<uint8_t> ReadKeyFile(const std::string& path);

}  // namespace zoqcli
