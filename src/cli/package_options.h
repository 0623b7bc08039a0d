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
};

// Option declarations to add to a command's list.
extern const OptionSpec kRevisionOption;  // -r N
extern const OptionSpec kKeyOption;       // --key HEX
extern const OptionSpec kKeyFileOption;   // --key-file FILE
extern const OptionSpec kDocverOption;    // --docver N
extern const OptionSpec kSchemaOption;    // --schema FILE

// Reads whichever of the options above were given. --key and --key-file
// together, a bad number or a key without any hexadecimal digit are usage
// errors; a key file that cannot be read is a ToolFailure.
PackageOptions ReadPackageOptions(const ParsedArgs& args);

// Raw key bytes from a file (at most 256 are used).
std::vector<uint8_t> ReadKeyFile(const std::string& path);

}  // namespace zoqcli
