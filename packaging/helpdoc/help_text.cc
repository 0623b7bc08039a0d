#include "help_text.h"

#include <algorithm>
#include <cctype>

namespace helpdoc {
namespace {

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

void TrimBlankLines(std::vector<std::string>* lines) {
  while (!lines->empty() && Trim(lines->front()).empty()) lines->erase(lines->begin());
  while (!lines->empty() && Trim(lines->back()).empty()) lines->pop_back();
}

// A word of a usage line without the brackets and repeat marks around it:
// "[PATH...]" -> "PATH", "N]" -> "N".
std::string Core(const std::string& word) {
  size_t begin = word.find_first_not_of("[(");
  if (begin == std::string::npos) return std::string();
  std::string core = word.substr(begin);
  for (;;) {
    if (core.size() >= 3 && core.compare(core.size() - 3, 3, "...") == 0) {
      core.resize(core.size() - 3);
    } else if (!core.empty() && (core.back() == ']' || core.back() == ')')) {
      core.pop_back();
    } else {
      break;
    }
  }
  return core;
}

bool IsOptionName(const std::string& core) {
  if (core.size() < 2 || core[0] != '-') return false;
  size_t letter = core[1] == '-' ? 2 : 1;
  return letter < core.size() && std::isalpha(static_cast<unsigned char>(core[letter]));
}

std::string OptionName(const std::string& core) { return core.substr(0, core.find('=')); }

ValueKind PlaceholderKind(const std::string& placeholder) {
  if (placeholder.find('=') != std::string::npos) return ValueKind::kNone;
  size_t dot = placeholder.find('.');
  std::string base = placeholder.substr(0, dot);
  if (base == "PACKAGE") return ValueKind::kPackage;
  if (base == "PATH" || base == "FOLDER" || base == "PREFIX") return ValueKind::kPart;
  if (base == "DIR") return ValueKind::kFolder;
  if (base == "FILE" || base == "F" || base == "IN" || base == "OUT" || dot != std::string::npos) {
    return ValueKind::kFile;
  }
  return ValueKind::kNone;
}

std::vector<std::string> SplitAt(const std::string& text, char separator) {
  std::vector<std::string> pieces;
  size_t at = 0;
  for (;;) {
    size_t end = text.find(separator, at);
    pieces.push_back(text.substr(at, end == std::string::npos ? std::string::npos : end - at));
    if (end == std::string::npos) return pieces;
    at = end + 1;
  }
}

// "2|4|8" and "decode|encode" are literal words, "FILE|-" a file (or "-").
Value MakeValue(const std::string& text) {
  Value value;
  value.text = text;
  if (text.find('=') != std::string::npos) return value;  // "PATH=FILE"
  std::vector<std::string> pieces = SplitAt(text, '|');
  bool literal = false;
  for (const std::string& piece : pieces) {
    if (!piece.empty() && piece != "-" && !IsPlaceholder(piece)) literal = true;
  }
  if (literal) {
    value.kind = ValueKind::kWords;
    value.words = pieces;
    return value;
  }
  for (const std::string& piece : pieces) {
    if (IsPlaceholder(piece)) {
      value.kind = PlaceholderKind(piece);
      break;
    }
  }
  return value;
}

void AddOption(CommandHelp* command, const std::string& name, const std::string& value_text) {
  for (Option& known : command->options) {
    if (known.name != name) continue;
    Value value = MakeValue(value_text);
    if (!value_text.empty() && (!known.takes_value || (value.kind == ValueKind::kWords &&
                                                       known.value.kind != ValueKind::kWords))) {
      known.takes_value = true;
      known.value = value;
    }
    return;
  }
  Option option;
  option.name = name;
  option.takes_value = !value_text.empty();
  if (option.takes_value) option.value = MakeValue(value_text);
  command->options.push_back(option);
}

// The value written after an option in a usage line, or "" when the option
// takes none ("[--json]", "[--raw | --keep CODE]").
std::string ValueAfter(const std::vector<std::string>& words, size_t i) {
  const std::string core = Core(words[i]);
  if (core.find('=') != std::string::npos) return core.substr(core.find('=') + 1);
  if (words[i].find(']') != std::string::npos || i + 1 >= words.size()) return std::string();
  const std::string& next = words[i + 1];
  if (next == "|" || next[0] == '[' || next[0] == '-') return std::string();
  return Core(next);
}

void ReadUsageOptions(const std::vector<std::string>& words, CommandHelp* command) {
  for (size_t i = 0; i < words.size(); ++i) {
    std::string core = Core(words[i]);
    if (IsOptionName(core)) AddOption(command, OptionName(core), ValueAfter(words, i));
  }
}

// Option lines of the body: "  -r N      the package as ..." or
// "  -o, --output FILE   ...". Descriptions are indented further.
void ReadOptionLines(CommandHelp* command) {
  for (const std::string& line : command->body) {
    if (!StartsWith(line, "  -")) continue;
    size_t gap = line.find("  ", 2);
    std::string term = line.substr(2, gap == std::string::npos ? std::string::npos : gap - 2);
    for (const std::string& alternative : SplitAt(term, ',')) {
      std::vector<std::string> words = Words(alternative);
      if (words.empty() || !IsOptionName(OptionName(words[0]))) continue;
      std::string value = words.size() > 1 ? words[1] : std::string();
      if (words[0].find('=') != std::string::npos) value = words[0].substr(words[0].find('=') + 1);
      // "-o, --output FILE": the value belongs to every name.
      if (value.empty()) {
        std::vector<std::string> last = Words(term.substr(term.rfind(',') + 1));
        if (last.size() > 1 && alternative != term) value = last[1];
      }
      AddOption(command, OptionName(words[0]), value);
    }
  }
}

// The positional arguments of one form of the usage ("schema compile ... |
// schema dump ..." has two): every word outside option groups that is not
// an option or an option's value.
std::vector<Positional> FormPositionals(const std::vector<std::string>& words) {
  std::vector<Positional> positionals;
  std::vector<bool> groups;  // per open bracket: whether it holds options
  auto close_groups = [&groups](const std::string& word) {
    for (char c : word) {
      if (c == ']' && !groups.empty()) groups.pop_back();
    }
  };
  for (size_t i = 0; i < words.size(); ++i) {
    const std::string& word = words[i];
    const std::string core = Core(word);
    size_t opens = std::min(word.find_first_not_of('['), word.size());
    for (size_t k = 0; k < opens; ++k) groups.push_back(IsOptionName(core));
    bool in_options = false;
    for (bool options : groups) in_options = in_options || options;
    close_groups(word);
    if (in_options || word == "|" || core.empty()) continue;
    if (IsOptionName(core)) {
      // An option outside brackets ("-o OUT.bsg"): its value is no argument.
      if (core.find('=') == std::string::npos && !ValueAfter(words, i).empty())
        close_groups(words[++i]);
      continue;
    }
    Positional positional;
    positional.value = MakeValue(core);
    positional.repeats = word.find("...") != std::string::npos;
    positionals.push_back(positional);
  }
  return positionals;
}

void ReadPositionals(const std::vector<std::string>& words, CommandHelp* command) {
  std::vector<std::vector<std::string>> forms(1);
  for (size_t i = 0; i < words.size(); ++i) {
    if (i == 0 && words[i] == command->name) continue;
    if (words[i] == "|" && i + 1 < words.size() && words[i + 1] == command->name) {
      forms.emplace_back();
      ++i;
      continue;
    }
    forms.back().push_back(words[i]);
  }
  for (const auto& form : forms) {
    std::vector<Positional> positionals = FormPositionals(form);
    for (size_t i = 0; i < positionals.size(); ++i) {
      if (i >= command->positionals.size()) {
        command->positionals.push_back(positionals[i]);
        continue;
      }
      Value& known = command->positionals[i].value;
      const Value& other = positionals[i].value;
      if (known.kind == ValueKind::kWords && other.kind == ValueKind::kWords) {
        known.words.insert(known.words.end(), other.words.begin(), other.words.end());
        known.text += "|" + other.text;
      } else if (known.kind == ValueKind::kNone) {
        known = other;
      }
    }
  }
}

}  // namespace

std::string Trim(const std::string& text) {
  size_t begin = text.find_first_not_of(" \t");
  if (begin == std::string::npos) return std::string();
  size_t end = text.find_last_not_of(" \t");
  return text.substr(begin, end - begin + 1);
}

std::vector<std::string> Words(const std::string& text) {
  std::vector<std::string> words;
  size_t at = 0;
  while ((at = text.find_first_not_of(" \t", at)) != std::string::npos) {
    size_t end = text.find_first_of(" \t", at);
    if (end == std::string::npos) end = text.size();
    words.push_back(text.substr(at, end - at));
    at = end;
  }
  return words;
}

bool IsPlaceholder(const std::string& piece) {
  std::string base = piece.substr(0, piece.find('.'));
  if (base.empty() || !std::isupper(static_cast<unsigned char>(base[0]))) return false;
  for (char c : base) {
    if (!std::isupper(static_cast<unsigned char>(c)) &&
        !std::isdigit(static_cast<unsigned char>(c)) && c != '_') {
      return false;
    }
  }
  return true;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines = SplitAt(text, '\n');
  if (!lines.empty() && lines.back().empty()) lines.pop_back();
  return lines;
}

bool ParseOverview(const std::string& text, ToolHelp* out, std::string* error) {
  std::vector<std::string> lines = SplitLines(text);
  if (lines.empty() || !StartsWith(lines[0], "usage: ")) {
    *error = "\"zoq help\" does not begin with a usage line";
    return false;
  }
  out->usage = lines[0].substr(7);
  size_t i = 1;
  for (; i < lines.size() && lines[i] != "Commands:"; ++i) out->description.push_back(lines[i]);
  if (i == lines.size()) {
    *error = "\"zoq help\" has no \"Commands:\" list";
    return false;
  }
  for (++i; i < lines.size() && StartsWith(lines[i], "  "); ++i) {
    std::vector<std::string> words = Words(lines[i]);
    if (words.empty()) break;
    CommandHelp command;
    command.name = words[0];
    command.summary = Trim(lines[i].substr(lines[i].find(words[0]) + words[0].size()));
    out->commands.push_back(command);
  }
  for (; i < lines.size(); ++i) out->notes.push_back(lines[i]);
  TrimBlankLines(&out->description);
  TrimBlankLines(&out->notes);
  if (out->commands.empty()) {
    *error = "the command list of \"zoq help\" is empty";
    return false;
  }
  return true;
}

bool ParseCommandHelp(const std::string& text, CommandHelp* command, std::string* error) {
  std::vector<std::string> lines = SplitLines(text);
  const std::string prefix = "usage: zoq ";
  if (lines.empty() || !StartsWith(lines[0], prefix)) {
    *error = "\"zoq help " + command->name + "\" does not begin with \"" + prefix + "\"";
    return false;
  }
  command->synopsis = Trim(lines[0].substr(prefix.size()));
  size_t i = 1;
  for (; i < lines.size() && !Trim(lines[i]).empty(); ++i) {
    command->synopsis += ' ';
    command->synopsis += Trim(lines[i]);
  }
  command->body.assign(lines.begin() + static_cast<std::ptrdiff_t>(i), lines.end());
  TrimBlankLines(&command->body);
  std::vector<std::string> words = Words(command->synopsis);
  ReadUsageOptions(words, command);
  ReadOptionLines(command);
  ReadPositionals(words, command);
  return true;
}

const CommandHelp* FindCommand(const ToolHelp& help, const std::string& name) {
  for (const CommandHelp& command : help.commands) {
    if (command.name == name) return &command;
  }
  return nullptr;
}

const Option* FindOption(const CommandHelp& command, const std::string& name) {
  const std::string bare = OptionName(name);
  for (const Option& option : command.options) {
    if (option.name == bare) return &option;
  }
  return nullptr;
}

}  // namespace helpdoc
