// The bash completion of zoq, made from the tool's help texts: commands,
// each command's options and their values, and package paths read from
// the package itself with "zoq ls".
#pragma once

#include <string>

#include "help_text.h"

namespace helpdoc {

std::string WriteBashCompletion(const ToolHelp& help);

}  // namespace helpdoc
