#include "cli/failure.h"

#include <cstdio>

#include "cli/terminal_text.h"
#include "zoq/codes.h"
#include "zoq/error_table.h"

namespace zoqcli {
namespace {

// The tool's own wording for codes whose remedy is one of its options.
const char* ToolText(int code) {
  return code == zoq::kSiteNoKey ? "the part is encrypted: give a key with --key or --key-file"
                                 : nullptr;
}

}  // namespace

std::string CodeText(int code) {
  // ZOQ_LANG chooses the language of the package codes' texts; the other
  // codes' texts are English either way.
  static const zoq::MessageLanguage language = zoq::MessageLanguageFromEnvironment();
  const char* text = ToolText(code);
  if (text == nullptr) text = zoq::ResultCodeText(code, language);
  return text != nullptr ? text : "";
}

std::string DescribeCode(int code) {
  std::string line = "error " + std::to_string(code);
  std::string text = CodeText(code);
  if (!text.empty()) line += ": " + text;
  return line;
}

void ReportCode(int code, const std::string& context) {
  if (!context.empty()) ReportMessage(context);
  ReportMessage(DescribeCode(code));
}

void ReportMessage(const std::string& message) {
  std::fprintf(stderr, "zoq: %s\n", ForTerminal(message, StderrIsTerminal()).c_str());
}

void ReportWarning(const std::string& message) { ReportMessage("warning: " + message); }

}  // namespace zoqcli
