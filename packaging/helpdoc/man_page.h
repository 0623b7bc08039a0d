// zoq(1) in roff, made from the tool's help texts.
#pragma once

#include <string>
#include <vector>

#include "help_text.h"

namespace helpdoc {

struct ManPageFacts {
  std::string version;
  std::string schema_dir;  // where an installation keeps the binary schemas
  // The EXAMPLES section: text lines say what an example does, lines
  // indented by four spaces are the commands.
  std::vector<std::string> examples;
};

std::string WriteManPage(const ToolHelp& help, const ManPageFacts& facts);

// Every command line of the examples must call a command the tool has, with
// options that command has; the problems found, one a line.
std::vector<std::string> CheckExamples(const ToolHelp& help,
                                       const std::vector<std::string>& examples);

}  // namespace helpdoc
