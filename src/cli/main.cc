// zoq: the command-line tool for ZOQ packages. Dispatches to one command,
// prints help, and turns failures into messages and exit statuses:
// 0 success, 1 failure ("zoq: error CODE: TEXT"), 2 usage error.
#include <malloc.h>

#include <csignal>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "cli/command.h"
#include "cli/failure.h"
#include "zoq/container.h"

namespace {

using zoqcli::Command;

void PrintOverview(std::FILE* out) {
  std::fprintf(out,
               "usage: zoq COMMAND [OPTIONS] ARGUMENTS...\n"
               "\n"
               "Reads and writes ZOQ packages (.zoq, .pliv): their tree of folders and\n"
               "parts, every revision, and part content decoded or as stored; compiles\n"
               "binary schemas and converts SXC binary XML.\n"
               "\n"
               "Commands:\n");
  for (const Command* command : zoqcli::AllCommands()) {
    std::fprintf(out, "  %-9s %s\n", command->name, command->summary);
  }
  std::fprintf(out,
               "\n"
               "Revision numbers are 1-based: -r N is the package as it stood after its\n"
               "first N revisions. Run \"zoq COMMAND --help\" for a command's options,\n"
               "\"zoq --version\" for the version of the tool.\n"
               "The texts of the package codes 5000-5075 are Chinese; with ZOQ_LANG=en\n"
               "in the environment they are English.\n"
               "Exit status: 0 success, 1 failure (zoq: error CODE: TEXT), 2 usage error.\n");
}

void PrintCommandHelp(const Command& command) {
  std::printf("usage: zoq %s\n\n%s", command.synopsis, command.help);
}

int UsageFailure(const Command* command, const std::string& message) {
  zoqcli::ReportMessage(message);
  if (command != nullptr) {
    std::fprintf(stderr, "usage: zoq %s\n", command->synopsis);
    std::fprintf(stderr, "Run \"zoq %s --help\" for details.\n", command->name);
  } else {
    std::fprintf(stderr, "usage: zoq COMMAND [OPTIONS] ARGUMENTS...\n");
    std::fprintf(stderr, "Run \"zoq --help\" for the list of commands.\n");
  }
  return 2;
}

int RunCommand(const Command& command, const std::vector<std::string>& args) {
  if (zoqcli::AsksForHelp(args)) {
    PrintCommandHelp(command);
    return 0;
  }
  zoqcli::ParsedArgs parsed = zoqcli::ParseArguments(args, command.options);
  int count = static_cast<int>(parsed.Positionals().size());
  if (count < command.min_positionals) throw zoqcli::UsageError("missing arguments");
  if (command.max_positionals >= 0 && count > command.max_positionals) {
    throw zoqcli::UsageError("too many arguments");
  }
  return command.run(parsed);
}

}  // namespace

int main(int argc, char** argv) {
  // Commands over thousands of parts allocate and free the same decoder
  // buffers for every part. Serving them from the heap and keeping freed
  // memory (up to a bound) saves a pair of system calls per buffer and part.
  mallopt(M_MMAP_THRESHOLD, 4 << 20);
  mallopt(M_TRIM_THRESHOLD, 32 << 20);
  // A closed pipe shows up as a write error (EPIPE) that ends the command
  // quietly, so that temporary files are still removed.
  std::signal(SIGPIPE, SIG_IGN);
  if (argc < 2) return UsageFailure(nullptr, "no command given");
  std::string name = argv[1];
  if (name == "--version") {
    std::printf("zoq %s\n", ZOQ_VERSION_TEXT);
    return std::fflush(stdout) == 0 ? 0 : 1;
  }
  if (name == "--help" || name == "-h" || name == "help") {
    if (name == "help" && argc > 2) {
      if (const Command* command = zoqcli::FindCommand(argv[2])) {
        PrintCommandHelp(*command);
        return 0;
      }
    }
    PrintOverview(stdout);
    return 0;
  }
  const Command* command = zoqcli::FindCommand(name.c_str());
  if (command == nullptr) return UsageFailure(nullptr, "unknown command \"" + name + "\"");
  std::vector<std::string> args(argv + 2, argv + argc);
  try {
    // Temporary folders of earlier runs that were killed go at start, also
    // before commands that only read (one scan of the temporary folder).
    zoq::RemoveStaleTemporaries(std::string());
    int status = RunCommand(*command, args);
    if (std::fflush(stdout) != 0) {
      zoqcli::ReportMessage("cannot write to standard output");
      return 1;
    }
    return status;
  } catch (const zoqcli::UsageError& error) {
    return UsageFailure(command, error.what());
  } catch (const zoqcli::CodeFailure& failure) {
    zoqcli::ReportCode(failure.code(), failure.context());
  } catch (const zoqcli::ToolFailure& failure) {
    zoqcli::ReportMessage(failure.what());
  } catch (const zoqcli::OutputClosed&) {
  } catch (const std::bad_alloc&) {
    zoqcli::ReportMessage("out of memory");
  } catch (const std::exception& error) {
    zoqcli::ReportMessage(error.what());
  }
  return 1;
}
