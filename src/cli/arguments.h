// Parsing a command's arguments: options (declared per command, given
// anywhere before "--"), their values, and the positional arguments.
#pragma once

#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace zoqcli {

// A mistake in how the command was called; reported with the usage text and
// exit status 2.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct OptionSpec {
  const char* name;  // "-r", "--json": as the user types it
  bool takes_value;
};

class ParsedArgs {
 public:
  bool Has(const std::string& name) const { return values_.count(name) != 0; }
  // The last value given for the option, or null when it was not given.
  const std::string* Value(const std::string& name) const;
  // Every value given for a repeatable option, in order.
  std::vector<std::string> Values(const std::string& name) const;
  const std::vector<std::string>& Positionals() const { return positionals_; }

  void AddOption(const std::string& name, std::string value);
  // Forgets every value given for the option.
  void RemoveOption(const std::string& name) { values_.erase(name); }
  void AddPositional(std::string value) { positionals_.push_back(std::move(value)); }

 private:
  std::map<std::string, std::vector<std::string>> values_;
  std::vector<std::string> positionals_;
};

// Accepts "--name value", "--name=value", "-x value" and "-xVALUE" for
// options with a value; "-" alone is a positional (standard input or
// output); "--" ends the options. Unknown options and missing values throw
// UsageError.
ParsedArgs ParseArguments(const std::vector<std::string>& args,
                          const std::vector<OptionSpec>& allowed);

// Whether "--help" or "-h" stands among the options.
bool AsksForHelp(const std::vector<std::string>& args);

// A whole decimal number within [min, max]; anything else throws UsageError
// naming the option.
long long ParseInteger(const std::string& text, const std::string& option, long long min,
                       long long max);

// The value of --width: an offset width of 2, 4 or 8, or `fallback` when the
// option is not given.
int OffsetWidthOption(const ParsedArgs& args, int fallback);

}  // namespace zoqcli
