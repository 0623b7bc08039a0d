// What every command of the tool declares: its name, how it is called, its
// help text, its options and how many positional arguments it takes.
#pragma once

#include <vector>

#include "cli/arguments.h"

namespace zoqcli {

struct Command {
  const char* name;
  const char* synopsis;  // the usage line after "zoq "
  const char* summary;   // one line for the command list
  const char* help;      // what the command does and its options, in detail
  std::vector<OptionSpec> options;
  int min_positionals;
  int max_positionals;  // -1: no upper bound
  // Runs the command; returns the exit status. Throws UsageError,
  // CodeFailure, ToolFailure or OutputClosed.
  int (*run)(const ParsedArgs& args);
};

// Every command in the order the help lists them.
const std::vector<const Command*>& AllCommands();

// The command of that name, or null.
const Command* FindCommand(const char* name);

// The declarations of the individual commands.
extern const Command kLsCommand;
extern const Command kInfoCommand;
extern const Command kCatCommand;
extern const Command kExtractCommand;
extern const Command kLogCommand;
extern const Command kVerifyCommand;
extern const Command kStatCommand;
extern const Command kCreateCommand;
extern const Command kAddCommand;
extern const Command kReplaceCommand;
extern const Command kAppendCommand;
extern const Command kRmCommand;
extern const Command kEncodeCommand;
extern const Command kCommitCommand;
extern const Command kImportCommand;
extern const Command kCompactCommand;
extern const Command kSchemaCommand;
extern const Command kSxcCommand;
extern const Command kDiffCommand;
extern const Command kRestoreCommand;
extern const Command kGrepCommand;
extern const Command kRecoverCommand;

}  // namespace zoqcli
