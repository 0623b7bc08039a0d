#include "cli/package_options.h"

#include <cerrno>
#include <cstdio>
#include <cstdint>
#include <cstring>

#include "cli/failure.h"
#include "zoq/key_text.h"

namespace zoqcli {

const OptionSpec kRevisionOption{"-r", true};
const OptionSpec kKeyOption{"--key", true};
const OptionSpec kKeyFileOption{"--key-file", true};
const OptionSpec kDocverOption{"--docver", true};
const OptionSpec kSchemaOption{"--schema", true};
const OptionSpec kMaxOutputOption{"--max-output", true};

int64_t ParseSize(const std::string& text, const std::string& option) {
  size_t digits = 0;
  while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') ++digits;
  int shift = -1;
  if (digits == text.size()) shift = 0;
  if (digits + 1 == text.size()) {
    switch (text.back()) {
      case 'K': case 'k': shift = 10; break;
      case 'M': case 'm': shift = 20; break;
      case 'G': case 'g': shift = 30; break;
      default: break;
    }
  }
  uint64_t number = 0;
  bool fits = digits > 0 && shift >= 0;
  for (size_t i = 0; fits && i < digits; ++i) {
    fits = number <= (uint64_t{INT64_MAX} >> shift) / 10;
    number = number * 10 + static_cast<uint64_t>(text[i] - '0');
  }
  fits = fits && number > 0 && number <= (uint64_t{INT64_MAX} >> shift);
  if (!fits) {
    throw UsageError("option " + option + " expects a size above 0 in bytes, or with K, M or G, not \"" +
                     text + "\"");
  }
  return static_cast<int64_t>(number << shift);
}

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
  if (const std::string* size = args.Value(kMaxOutputOption.name)) {
    options.max_output = ParseSize(*size, kMaxOutputOption.name);
  }
  return options;
}

}  // namespace zoqcli
