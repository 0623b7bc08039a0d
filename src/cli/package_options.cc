#include "cli/package_options.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "cli/failure.h"
#include "zoq/key_text.h"

namespace zoqcli {

const OptionSpec kRevisionOption{"-r", true};
const OptionSpec kKeyOption{"--key", true};
const OptionSpec kKeyFileOption{"--key-file", true};
const OptionSpec kDocverOption{"--docver", true};
const OptionSpec kSchemaOption{"--schema", true};

std::vector<uint8_t> ReadKeyFile(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    throw ToolFailure("cannot read key file " + path + ": " + std::strerror(errno));
  }
  // One byte more than a key may have tells a file that is too long.
  std::vector<uint8_t> key(zoq::kMaxKeyBytes + 1);
  size_t got = std::fread(key.data(), 1, key.size(), file);
  bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed) throw ToolFailure("cannot read key file " + path);
  if (got == 0) throw ToolFailure("key file " + path + " is empty");
  if (got > zoq::kMaxKeyBytes) {
    throw ToolFailure("key file " + path + " holds more than " +
                      std::to_string(zoq::kMaxKeyBytes) + " bytes; a key is at most that long");
  }
  key.resize(got);
  return key;
}

PackageOptions ReadPackageOptions(const ParsedArgs& args) {
  PackageOptions options;
  if (const std::string* limit = args.Value(kRevisionOption.name)) {
    options.revision_limit = static_cast<int>(ParseInteger(*limit, "-r", 1, 0x7FFFFFFF));
  }
  const std::string* key_text = args.Value(kKeyOption.name);
  const std::string* key_file = args.Value(kKeyFileOption.name);
  if (key_text != nullptr && key_file != nullptr) {
    throw UsageError("give the key either with --key or with --key-file, not both");
  }
  if (key_text != nullptr) {
    zoq::KeyText key = zoq::ReadKeyText(*key_text, zoq::KeyTextMode::kStrict);
    if (!key.ok()) throw UsageError("--key: " + key.problem);
    options.key = std::move(key.bytes);
    options.has_key = true;
  } else if (key_file != nullptr) {
    options.key = ReadKeyFile(*key_file);
    options.has_key = true;
  }
  if (const std::string* docver = args.Value(kDocverOption.name)) {
    options.docver = static_cast<int>(ParseInteger(*docver, "--docver", 0, 0x7FFFFFFF));
  }
  if (const std::string* schema = args.Value(kSchemaOption.name)) options.schema = *schema;
  return options;
}

}  // namespace zoqcli
