#include "cli/failure.h"

#include <cstdio>

#include "cli/terminal_text.h"
#include "zoq/codes.h"
#include "zoq/error_table.h"

namespace zoqcli {
namespace {

// Codes that the package error table has no text for, but that a user of
// the tool meets and should understand.
const char* ToolText(int code) {
  switch (code) {
    case zoq::kFailed:
      return "the operation failed";
    case zoq::kNotSupported:
      return "not supported by this version of the library";
    case zoq::kInvalidArgument:
      return "invalid argument";
    case zoq::kNoStream:
      return "no package is open";
    case zoq::kNotPossible:
      return "not possible on this stream";
    case zoq::kOutOfMemory:
      return "out of memory";
    case zoq::kStreamNotOpen:
      return "stream not open";
    case zoq::kStreamWriteOnly:
      return "stream is write-only";
    case zoq::kStreamReadOnly:
      return "stream is read-only";
    case zoq::kCopyFailed:
      return "copying stream content failed";
    case zoq::kCreateException:
      return "a stream could not be created";
    case zoq::kFileOpenFailed:
      return "cannot open file";
    case zoq::kEncodeFailed:
      return "encoding failed";
    case zoq::kDecodeFailed:
      return "decoding failed (damaged or undecodable data)";
    case zoq::kBadOpenMode:
      return "bad open mode";
    case zoq::kSiteTooManyCodes:
      return "a data record lists more than 7 ECS codes";
    case zoq::kSiteZeroCode:
      return "a data record lists the ECS code 0";
    case zoq::kSiteVersionCodeTooHigh:
      return "document version 258 or above needs a version 1.1 package";
    case zoq::kSiteVersionCodeTooLow:
      return "document version below 258 needs a version 1.0 package";
    case zoq::kSiteEmptyRecordList:
      return "the part has no records";
    case zoq::kSiteFirstCodeMismatch:
      return "the part's first ECS code is not the code asked for";
    case zoq::kSiteNoKey:
      return "the part is encrypted: give a key with --key or --key-file";
    case zoq::kSiteNoSchemaFound:
      return "no binary schema file found";
    default:
      return nullptr;
  }
}

}  // namespace

std::string CodeText(int code) {
  // ZOQ_LANG chooses the language of the package codes' texts; the tool's own
  // texts are English either way.
  static const zoq::MessageLanguage language = zoq::MessageLanguageFromEnvironment();
  const char* text = zoq::PackageErrorText(code, language);
  if (text == nullptr) text = ToolText(code);
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
