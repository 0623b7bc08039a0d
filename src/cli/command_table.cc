#include <cstring>

#include "cli/command.h"

namespace zoqcli {

const std::vector<const Command*>& AllCommands() {
  static const std::vector<const Command*> commands = {
      &kLsCommand,      &kInfoCommand,   &kCatCommand,    &kExtractCommand, &kLogCommand,
      &kVerifyCommand,  &kStatCommand,   &kCreateCommand, &kAddCommand,     &kReplaceCommand,
      &kAppendCommand,  &kRmCommand,     &kEncodeCommand, &kCommitCommand,  &kImportCommand,
      &kCompactCommand, &kSchemaCommand, &kSxcCommand,
      // Working with the revision history.
      &kDiffCommand,    &kRestoreCommand, &kGrepCommand, &kRecoverCommand,
  };
  return commands;
}

const Command* FindCommand(const char* name) {
  for (const Command* command : AllCommands()) {
    if (std::strcmp(command->name, name) == 0) return command;
  }
  return nullptr;
}

}  // namespace zoqcli
