#include "completion.h"

#include <cctype>
#include <vector>

namespace helpdoc {
namespace {

std::string KindText(const Value& value) {
  switch (value.kind) {
    case ValueKind::kNone:
      return "none";
    case ValueKind::kPackage:
      return "package";
    case ValueKind::kPart:
      return "part";
    case ValueKind::kFile:
      return "file";
    case ValueKind::kFolder:
      return "folder";
    case ValueKind::kWords: {
      std::string text = "words:";
      for (size_t i = 0; i < value.words.size(); ++i) text += (i ? "," : "") + value.words[i];
      return text;
    }
  }
  return "none";
}

// Only names made of letters, digits, "-" and "_" reach the script, so no
// quoting is needed inside its single-quoted tables.
bool IsPlain(const std::string& text) {
  for (char c : text) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '_' && c != ',' &&
        c != ':' && c != '.' && c != '=') {
      return false;
    }
  }
  return !text.empty();
}

// The part of the script that does not depend on the commands.
const char kFunctions[] = R"BASH(
# Sets COMPREPLY to the candidates of KIND for the word CUR; PACKAGE is the
# package file named on the line (for paths inside it), TOOL the zoq to ask.
_zoq_complete_kind() {
  local kind=$1 cur=$2 package=$3 tool=$4
  case $kind in
    package|file)
      compopt -o filenames 2>/dev/null
      mapfile -t COMPREPLY < <(compgen -f -- "$cur") ;;
    folder)
      compopt -o filenames 2>/dev/null
      mapfile -t COMPREPLY < <(compgen -d -- "$cur") ;;
    part)
      _zoq_complete_part "$cur" "$package" "$tool" ;;
    words:*)
      local words=${kind#words:}
      mapfile -t COMPREPLY < <(compgen -W "${words//,/ }" -- "$cur") ;;
  esac
}

# Paths inside the package, one folder level at a time, as "zoq ls" lists
# them ("/" is added in front when the word lacks it, as zoq does).
_zoq_complete_part() {
  local cur=$1 package=$2 tool=$3 prefix=$1 strip=0
  [[ $package == "~/"* ]] && package=$HOME/${package#"~/"}
  [[ -n $package && -f $package ]] || return 0
  if [[ $prefix != /* ]]; then
    prefix=/$prefix
    strip=1
  fi
  local item
  COMPREPLY=()
  while IFS= read -r item; do
    COMPREPLY+=("$(printf '%q' "$item")")
  done < <("$tool" ls "$package" 2>/dev/null | awk -v prefix="$prefix" -v strip="$strip" '
    index($0, prefix) == 1 && length($0) > length(prefix) {
      rest = substr($0, length(prefix) + 1)
      cut = index(rest, "/")
      item = cut ? prefix substr(rest, 1, cut) : $0
      if (!(item in seen)) {
        seen[item] = 1
        print strip ? substr(item, 2) : item
      }
    }')
  # A folder is completed without a space after it, so that its parts can
  # follow.
  if [[ ${#COMPREPLY[@]} -eq 1 && ${COMPREPLY[0]} == */ ]]; then
    compopt -o nospace 2>/dev/null
  fi
  return 0
}

_zoq() {
  local cur prev words cword
  if declare -F _get_comp_words_by_ref >/dev/null; then
    _get_comp_words_by_ref -n =: cur prev words cword
  else
    words=("${COMP_WORDS[@]}")
    cword=$COMP_CWORD
    cur=${words[cword]}
  fi
  COMPREPLY=()
  local tool=${words[0]}
  [[ $tool == "~/"* ]] && tool=$HOME/${tool#"~/"}
  if ((cword == 1)); then
    mapfile -t COMPREPLY < <(compgen -W "$_zoq_commands help --help --version" -- "$cur")
    return 0
  fi
  local command=${words[1]}
  if [[ $command == help ]]; then
    ((cword == 2)) && mapfile -t COMPREPLY < <(compgen -W "$_zoq_commands" -- "$cur")
    return 0
  fi
  local _zoq_reply options positionals
  _zoq_options "$command" || return 0
  options=" $_zoq_reply -h --help "
  _zoq_positionals "$command"
  positionals=($_zoq_reply)

  # Walk the words before the cursor: options with their values, and the
  # positional arguments (the first of which is the package).
  local i word kind expect="" count=0 package="" options_end=""
  for ((i = 2; i < cword; i++)); do
    word=${words[i]}
    if [[ -n $expect ]]; then
      expect=""
      continue
    fi
    if [[ -z $options_end && $word == -?* ]]; then
      if [[ $word == -- ]]; then
        options_end=1
      elif [[ $word != *=* && $options == *" $word="* ]]; then
        kind=${options#*" $word="}
        expect=${kind%% *}
      fi
      continue
    fi
    ((count == 0)) && package=$word
    ((count++))
  done

  if [[ -n $expect ]]; then
    _zoq_complete_kind "$expect" "$cur" "$package" "$tool"
  elif [[ -z $options_end && $cur == -* ]]; then
    local names=() option
    for option in $options; do names+=("${option%%=*}"); done
    mapfile -t COMPREPLY < <(compgen -W "${names[*]}" -- "$cur")
  elif ((${#positionals[@]} > 0)); then
    local slot=${positionals[count]-}
    if [[ -z $slot ]]; then
      slot=${positionals[${#positionals[@]} - 1]}
      [[ $slot == *... ]] || return 0
    fi
    _zoq_complete_kind "${slot%...}" "$cur" "$package" "$tool"
  fi
  return 0
}

complete -F _zoq zoq
)BASH";

// One arm of a shell "case" per command: NAME) _zoq_reply='ENTRY ...' ;;
template <typename Entries>
void WriteCaseArms(const ToolHelp& help, Entries entries, std::string* out) {
  for (const CommandHelp& command : help.commands) {
    if (!IsPlain(command.name)) continue;
    std::string list;
    for (const std::string& entry : entries(command)) {
      if (!IsPlain(entry)) continue;
      if (!list.empty()) list += ' ';
      list += entry;
    }
    *out += "    " + command.name + ") _zoq_reply='" + list + "' ;;\n";
  }
}

}  // namespace

std::string WriteBashCompletion(const ToolHelp& help) {
  std::string out =
      "# bash completion for zoq: commands, options and their values, and paths\n"
      "# inside the package named on the line. Made from zoq's own help texts.\n";
  std::string commands;
  for (const CommandHelp& command : help.commands) {
    if (!IsPlain(command.name)) continue;
    if (!commands.empty()) commands += ' ';
    commands += command.name;
  }
  out += "\n_zoq_commands='" + commands + "'\n";
  out +=
      "\n# The options of a command: NAME, or NAME=KIND when a value of that kind\n"
      "# follows.\n_zoq_options() {\n  case $1 in\n";
  WriteCaseArms(
      help,
      [](const CommandHelp& command) {
        std::vector<std::string> entries;
        for (const Option& option : command.options) {
          entries.push_back(option.name);
          if (option.takes_value) {
            entries.back() += '=';
            entries.back() += KindText(option.value);
          }
        }
        return entries;
      },
      &out);
  out += "    *) return 1 ;;\n  esac\n}\n";
  out +=
      "\n# The kinds of a command's positional arguments in order; KIND... repeats.\n"
      "_zoq_positionals() {\n  case $1 in\n";
  WriteCaseArms(
      help,
      [](const CommandHelp& command) {
        std::vector<std::string> entries;
        for (const Positional& positional : command.positionals) {
          entries.push_back(KindText(positional.value));
          if (positional.repeats) entries.back() += "...";
        }
        return entries;
      },
      &out);
  out += "    *) _zoq_reply='' ;;\n  esac\n}\n";
  out += kFunctions;
  return out;
}

}  // namespace helpdoc
