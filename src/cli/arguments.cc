#include "cli/arguments.h"

#include <cerrno>
#include <cstdlib>

namespace zoqcli {
namespace {

const OptionSpec* FindOption(const std::vector<OptionSpec>& allowed, const std::string& name) {
  for (const OptionSpec& spec : allowed) {
    if (name == spec.name) return &spec;
  }
  return nullptr;
}

}  // namespace

const std::string* ParsedArgs::Value(const std::string& name) const {
  auto found = values_.find(name);
  if (found == values_.end() || found->second.empty()) return nullptr;
  return &found->second.back();
}

std::vector<std::string> ParsedArgs::Values(const std::string& name) const {
  auto found = values_.find(name);
  return found == values_.end() ? std::vector<std::string>{} : found->second;
}

void ParsedArgs::AddOption(const std::string& name, std::string value) {
  values_[name].push_back(std::move(value));
}

ParsedArgs ParseArguments(const std::vector<std::string>& args,
                          const std::vector<OptionSpec>& allowed) {
  ParsedArgs parsed;
  bool options_ended = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (options_ended || arg.size() < 2 || arg[0] != '-') {
      parsed.AddPositional(arg);
      continue;
    }
    if (arg == "--") {
      options_ended = true;
      continue;
    }
    std::string name = arg;
    std::string value;
    bool has_inline_value = false;
    if (arg.compare(0, 2, "--") == 0) {
      size_t equals = arg.find('=');
      if (equals != std::string::npos) {
        name = arg.substr(0, equals);
        value = arg.substr(equals + 1);
        has_inline_value = true;
      }
    } else if (arg.size() > 2) {
      name = arg.substr(0, 2);
      value = arg.substr(2);
      has_inline_value = true;
    }
    const OptionSpec* spec = FindOption(allowed, name);
    if (spec == nullptr) throw UsageError("unknown option " + arg);
    if (!spec->takes_value) {
      if (has_inline_value) throw UsageError("option " + name + " takes no value");
      parsed.AddOption(name, "");
      continue;
    }
    if (!has_inline_value) {
      if (i + 1 >= args.size()) throw UsageError("option " + name + " needs a value");
      value = args[++i];
    }
    parsed.AddOption(name, value);
  }
  return parsed;
}

bool AsksForHelp(const std::vector<std::string>& args) {
  for (const std::string& arg : args) {
    if (arg == "--") return false;
    if (arg == "--help" || arg == "-h") return true;
  }
  return false;
}

long long ParseInteger(const std::string& text, const std::string& option, long long min,
                       long long max) {
  const char* begin = text.c_str();
  char* end = nullptr;
  errno = 0;
  long long value = std::strtoll(begin, &end, 10);
  bool whole = !text.empty() && end == begin + text.size() &&
               (text[0] == '-' || (text[0] >= '0' && text[0] <= '9'));
  if (!whole || errno == ERANGE || value < min || value > max) {
    throw UsageError("option " + option + " expects a number from " + std::to_string(min) + " to " +
                     std::to_string(max) + ", not \"" + text + "\"");
  }
  return value;
}

int OffsetWidthOption(const ParsedArgs& args, int fallback) {
  const std::string* text = args.Value("--width");
  if (text == nullptr) return fallback;
  const int width = static_cast<int>(ParseInteger(*text, "--width", 2, 8));
  if (width != 2 && width != 4 && width != 8) throw UsageError("--width expects 2, 4 or 8");
  return width;
}

}  // namespace zoqcli
