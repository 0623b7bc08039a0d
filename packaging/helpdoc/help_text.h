// zoq's help texts read into a structure: the overview of "zoq help" and,
// per command, the usage line and body of "zoq help COMMAND". The man page
// and the bash completion are both made from it, so that neither can list a
// command or option the tool does not have.
#pragma once

#include <string>
#include <vector>

namespace helpdoc {

// What a value or a positional argument stands for, as far as completing it
// goes.
enum class ValueKind {
  kNone,     // nothing sensible to offer (a number, a key, a code list)
  kPackage,  // a package file
  kPart,     // a path inside the package
  kFile,     // a file
  kFolder,   // a folder on disk
  kWords,    // one of a few literal words
};

struct Value {
  std::string text;  // as the help writes it: "N", "FILE.bsg", "2|4|8"
  ValueKind kind = ValueKind::kNone;
  std::vector<std::string> words;  // kWords
};

struct Option {
  std::string name;  // "-r", "--key-file"
  bool takes_value = false;
  Value value;
};

struct Positional {
  Value value;
  bool repeats = false;  // "PATH...": every further argument
};

struct CommandHelp {
  std::string name;
  std::string summary;            // the line of the command list
  std::string synopsis;           // the usage after "zoq ", continuation lines joined
  std::vector<std::string> body;  // the lines after the usage paragraph
  std::vector<Option> options;    // from the usage and the option lines
  std::vector<Positional> positionals;
};

struct ToolHelp {
  std::string usage;                     // after "usage: "
  std::vector<std::string> description;  // the lines before the command list
  std::vector<std::string> notes;        // the lines after it
  std::vector<CommandHelp> commands;
};

// Reads "zoq help". False, with the reason, when the text has no usage line
// or no command list.
bool ParseOverview(const std::string& text, ToolHelp* out, std::string* error);

// Reads "zoq help NAME" into the command (name and summary already set).
bool ParseCommandHelp(const std::string& text, CommandHelp* command, std::string* error);

// The command of that name, or null.
const CommandHelp* FindCommand(const ToolHelp& help, const std::string& name);

// The option of that name ("--key" or "--key=..." both find "--key"), or
// null.
const Option* FindOption(const CommandHelp& command, const std::string& name);

// Lines of text split at "\n" (a last line without one included).
std::vector<std::string> SplitLines(const std::string& text);

// The words of text between spaces and tabs.
std::vector<std::string> Words(const std::string& text);

// Text without the spaces and tabs around it.
std::string Trim(const std::string& text);

// An upper-case placeholder of a usage line such as "N", "FILE" or
// "SCHEMA.xsd" (not a literal value such as "Full" or "2").
bool IsPlaceholder(const std::string& piece);

}  // namespace helpdoc
