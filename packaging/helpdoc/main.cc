// zoq-helpdoc: runs the built zoq for its help texts ("zoq help" and
// "zoq help COMMAND") and writes zoq(1) and the bash completion from them.
//
//   zoq-helpdoc --tool ZOQ --version V --schema-dir DIR --examples FILE
//               --man OUT.1 --completion OUT.bash
//
// Fails (exit status 1, nothing written) when the help texts cannot be read
// or an example calls a command or option the tool does not have.
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <vector>

#include "completion.h"
#include "help_text.h"
#include "man_page.h"

namespace {

std::string Quoted(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

bool RunTool(const std::string& tool, const std::string& arguments, std::string* output) {
  std::string command = Quoted(tool) + " " + arguments;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return false;
  char buffer[4096];
  size_t count;
  while ((count = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output->append(buffer, count);
  int status = ::pclose(pipe);
  return status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Writes beside the target and renames, so that the target is either the
// whole new text or what it was.
bool WriteFile(const std::string& path, const std::string& text) {
  const std::string temporary = path + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out.flush()) return false;
  }
  return std::rename(temporary.c_str(), path.c_str()) == 0;
}

int Fail(const std::string& message) {
  std::cerr << "zoq-helpdoc: " << message << "\n";
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> names = {"--tool",     "--version", "--schema-dir",
                                          "--examples", "--man",     "--completion"};
  std::map<std::string, std::string> args;
  for (int i = 1; i < argc; i += 2) {
    if (std::find(names.begin(), names.end(), argv[i]) == names.end() || i + 1 == argc) {
      return Fail(std::string("unknown or incomplete argument ") + argv[i]);
    }
    args[argv[i]] = argv[i + 1];
  }
  for (const std::string& name : names) {
    if (args.count(name) == 0) return Fail("missing " + name);
  }
  const std::string& tool = args["--tool"];
  std::string text;
  std::string error;
  helpdoc::ToolHelp help;
  if (!RunTool(tool, "help", &text)) return Fail("\"" + tool + " help\" failed");
  if (!helpdoc::ParseOverview(text, &help, &error)) return Fail(error);
  for (helpdoc::CommandHelp& command : help.commands) {
    text.clear();
    if (!RunTool(tool, "help " + Quoted(command.name), &text)) {
      return Fail("\"" + tool + " help " + command.name + "\" failed");
    }
    if (!helpdoc::ParseCommandHelp(text, &command, &error)) return Fail(error);
  }

  helpdoc::ManPageFacts facts;
  facts.version = args["--version"];
  facts.schema_dir = args["--schema-dir"];
  std::ifstream examples(args["--examples"]);
  if (!examples) return Fail("cannot read " + args["--examples"]);
  for (std::string line; std::getline(examples, line);) facts.examples.push_back(line);
  std::vector<std::string> problems = helpdoc::CheckExamples(help, facts.examples);
  if (!problems.empty()) {
    for (const std::string& problem : problems)
      std::cerr << args["--examples"] << ": " << problem << "\n";
    return Fail("the examples do not match the tool's help");
  }

  if (!WriteFile(args["--man"], helpdoc::WriteManPage(help, facts))) {
    return Fail("cannot write " + args["--man"]);
  }
  if (!WriteFile(args["--completion"], helpdoc::WriteBashCompletion(help))) {
    return Fail("cannot write " + args["--completion"]);
  }
  return 0;
}
