#include "man_page.h"

#include <algorithm>
#include <cctype>

namespace helpdoc {
namespace {

size_t Indent(const std::string& line) {
  size_t indent = line.find_first_not_of(' ');
  return indent == std::string::npos ? line.size() : indent;
}

bool IsBlank(const std::string& line) { return Trim(line).empty(); }

// Adds a wrapped line's words to text joined so far.
void JoinLine(std::string* text, const std::string& line) {
  if (!text->empty()) text->push_back(' ');
  text->append(Trim(line));
}

// Text for roff: backslashes written out, a dash that starts a word (an
// option) as a minus sign, and a leading "." or "'" kept from being read as
// a request.
std::string Escape(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    char before = i == 0 ? ' ' : text[i - 1];
    if (c == '\\') {
      out += "\\e";
    } else if (c == '-' && (std::string(" \t([|\"'/=,-").find(before) != std::string::npos)) {
      out += "\\-";
    } else {
      out += c;
    }
  }
  if (!out.empty() && (out[0] == '.' || out[0] == '\'')) out.insert(0, "\\&");
  return out;
}

// One word of a usage line or option term: options and literal words in
// bold, placeholders in italics, brackets and separators plain.
std::string FormatWord(const std::string& word) {
  size_t begin = word.find_first_not_of("[(");
  if (begin == std::string::npos) return Escape(word);
  size_t end = word.size();
  while (end > begin && (word[end - 1] == ']' || word[end - 1] == ')' || word[end - 1] == '.' ||
                         word[end - 1] == ',')) {
    --end;
  }
  // "PATH..." keeps its dots outside the italics; "OUT.bsg" keeps its own.
  if (end < word.size() && word[end] == '.' && word.compare(end, 3, "...") != 0) {
    end = word.find_first_of("])", end);
    if (end == std::string::npos) end = word.size();
  }
  std::string core = word.substr(begin, end - begin);
  std::string out = word.substr(0, begin);
  std::string piece;
  auto flush = [&]() {
    if (piece.empty()) return;
    bool placeholder = IsPlaceholder(piece);
    out += placeholder ? "\\fI" : "\\fB";
    out += Escape(piece);
    out += "\\fR";
    piece.clear();
  };
  for (size_t i = 0; i < core.size(); ++i) {
    char c = core[i];
    // "|" separates alternatives, "=" an option from its value.
    if (c == '|' || (c == '=' && i > 0)) {
      flush();
      out += c;
    } else {
      piece += c;
    }
  }
  flush();
  out += Escape(word.substr(end));
  return out;
}

std::string FormatUsage(const std::string& text) {
  std::string out;
  size_t at = 0;
  while ((at = text.find_first_not_of(' ', at)) != std::string::npos) {
    size_t end = text.find(' ', at);
    if (end == std::string::npos) end = text.size();
    if (!out.empty()) out += ' ';
    out += FormatWord(text.substr(at, end - at));
    at = end;
  }
  return out;
}

// The body of a command's help: paragraphs, option entries ("  -r N   text"
// with continuation lines indented further), and terms at the margin
// followed by indented text (the forms of "zoq schema").
void WriteBody(const std::vector<std::string>& body, std::string* out) {
  bool paragraph_open = false;
  for (size_t i = 0; i < body.size(); ++i) {
    const std::string& line = body[i];
    if (IsBlank(line)) {
      paragraph_open = false;
      continue;
    }
    size_t indent = Indent(line);
    bool next_indented = i + 1 < body.size() && !IsBlank(body[i + 1]) && Indent(body[i + 1]) >= 2;
    if (indent == 2 && line[2] == '-') {
      size_t gap = line.find("  ", 2);
      std::string term = line.substr(2, gap == std::string::npos ? std::string::npos : gap - 2);
      *out += ".TP\n" + FormatUsage(term) + "\n";
      if (gap != std::string::npos) *out += Escape(Trim(line.substr(gap))) + "\n";
      while (i + 1 < body.size() && !IsBlank(body[i + 1]) && Indent(body[i + 1]) > 2) {
        *out += Escape(Trim(body[++i])) + "\n";
      }
      paragraph_open = false;
    } else if (indent == 0 && next_indented && body[i + 1].compare(0, 3, "  -") != 0) {
      *out += ".TP\n" + FormatUsage(line) + "\n";
      while (i + 1 < body.size() && !IsBlank(body[i + 1]) && Indent(body[i + 1]) >= 2) {
        *out += Escape(Trim(body[++i])) + "\n";
      }
      paragraph_open = false;
    } else if (indent == 0 && line.back() == ':' && next_indented) {
      *out += ".PP\n\\fB" + Escape(line) + "\\fR\n";
      paragraph_open = false;
    } else {
      if (!paragraph_open) *out += ".PP\n";
      *out += Escape(Trim(line)) + "\n";
      paragraph_open = true;
    }
  }
}

// "Exit status: 0 success, 1 failure (...), 2 usage error." as a list.
void WriteExitStatus(const std::string& text, std::string* out) {
  std::string list = text.substr(text.find(':') + 1);
  list = Trim(list);
  if (!list.empty() && list.back() == '.') list.pop_back();
  std::string items;
  size_t at = 0;
  while (at <= list.size()) {
    size_t end = list.find(", ", at);
    std::string item = list.substr(at, end == std::string::npos ? std::string::npos : end - at);
    size_t space = item.find(' ');
    if (item.empty() || !std::isdigit(static_cast<unsigned char>(item[0])) ||
        space == std::string::npos) {
      *out += Escape(Trim(text)) + "\n";
      return;
    }
    items += ".TP\n.B " + item.substr(0, space) + "\n" + Escape(item.substr(space + 1)) + "\n";
    if (end == std::string::npos) break;
    at = end + 2;
  }
  *out += items;
}

std::string NameLine(const ToolHelp& help) {
  std::string first;
  for (const std::string& line : help.description) {
    if (IsBlank(line)) break;
    JoinLine(&first, line);
  }
  // Up to the end of the first clause: "Reads ... packages (.zoq, .pliv):".
  size_t end = std::min(first.find(':'), first.find(". "));
  first = first.substr(0, end);
  if (!first.empty() && first.back() == '.') first.pop_back();
  if (!first.empty())
    first[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(first[0])));
  return first;
}

void WriteExamples(const std::vector<std::string>& examples, std::string* out) {
  bool in_commands = false;
  for (const std::string& line : examples) {
    if (IsBlank(line) || line[0] == '#') continue;
    bool command = Indent(line) >= 4;
    if (command && !in_commands) *out += ".PP\n.RS 4\n.nf\n";
    if (!command && in_commands) *out += ".fi\n.RE\n";
    if (!command) *out += ".PP\n";
    *out += Escape(Trim(line)) + "\n";
    in_commands = command;
  }
  if (in_commands) *out += ".fi\n.RE\n";
}

}  // namespace

std::string WriteManPage(const ToolHelp& help, const ManPageFacts& facts) {
  std::string out;
  out += ".\\\" Generated from the help texts of zoq " + facts.version + ".\n";
  out += ".TH ZOQ 1 \"\" \"zoq " + facts.version + "\" \"User Commands\"\n";
  out += ".SH NAME\nzoq \\- " + Escape(NameLine(help)) + "\n";
  out += ".SH SYNOPSIS\n" + FormatUsage("zoq " + help.usage.substr(help.usage.find(' ') + 1)) +
         "\n.br\n" + FormatUsage("zoq help [COMMAND]") + "\n.br\n" +
         FormatUsage("zoq COMMAND --help") + "\n.br\n" + FormatUsage("zoq --version") + "\n";
  out += ".SH DESCRIPTION\n";
  WriteBody(help.description, &out);
  std::vector<std::string> notes;
  std::string exit_status;
  for (const std::string& line : help.notes) {
    if (line.compare(0, 12, "Exit status:") == 0 || (!exit_status.empty() && !IsBlank(line))) {
      JoinLine(&exit_status, line);
    } else {
      notes.push_back(line);
    }
  }
  if (!notes.empty()) {
    out += ".PP\n";
    WriteBody(notes, &out);
  }
  out += ".SH COMMANDS\n";
  for (const CommandHelp& command : help.commands) {
    out += ".SS " + command.name + "\n";
    out += FormatUsage("zoq " + command.synopsis) + "\n";
    WriteBody(command.body, &out);
  }
  if (!exit_status.empty()) {
    out += ".SH EXIT STATUS\n";
    WriteExitStatus(exit_status, &out);
  }
  out +=
      ".SH ENVIRONMENT\n.TP\n.B TMPDIR\n"
      "Where zoq makes its temporary folder for decoded and pending part content "
      "(default \\fI/tmp\\fR).\n"
      ".TP\n.B ZOQ_LANG\n"
      "\\fBen\\fR (or a form such as \\fBen_US.UTF-8\\fR): the texts of the package codes in "
      "error messages are English instead of Chinese.\n";
  out += ".SH FILES\n.TP\n.I " + Escape(facts.schema_dir) + "/\n" +
         "The binary schemas that decode SXC parts of packages that carry no schema of their "
         "own, chosen by document subset and version.\n"
         ".TP\n.I Resource/BinarySchema/\n"
         "beside the zoq executable: looked at first, for a tool run from its build folder or "
         "shipped with its schemas beside it.\n";
  if (!facts.examples.empty()) {
    out += ".SH EXAMPLES\n";
    WriteExamples(facts.examples, &out);
  }
  out += ".SH SEE ALSO\n.BR zoq\\-explorer (1)\n";
  return out;
}

std::vector<std::string> CheckExamples(const ToolHelp& help,
                                       const std::vector<std::string>& examples) {
  std::vector<std::string> problems;
  for (size_t n = 0; n < examples.size(); ++n) {
    const std::string& line = examples[n];
    if (IsBlank(line) || line[0] == '#' || Indent(line) < 4) continue;
    std::vector<std::string> words = Words(line);
    std::string where = "example line " + std::to_string(n + 1) + ": ";
    if (words.size() < 2 || words[0] != "zoq") {
      problems.push_back(where + "does not call zoq");
      continue;
    }
    const CommandHelp* command = FindCommand(help, words[1]);
    if (command == nullptr) {
      problems.push_back(where + "zoq has no command \"" + words[1] + "\"");
      continue;
    }
    for (size_t i = 2; i < words.size(); ++i) {
      const std::string& word = words[i];
      if (word == "--" || word == "|" || word == ">" || word == "<" || word == "&&") break;
      if (word.size() > 1 && word[0] == '-' && FindOption(*command, word) == nullptr) {
        problems.push_back(where + "zoq " + command->name + " has no option " + word);
      }
    }
  }
  return problems;
}

}  // namespace helpdoc
