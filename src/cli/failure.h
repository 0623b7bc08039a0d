// Failures of a command: a result code of the library, or a problem of the
// tool itself (a file it cannot read or write). Both end the command with
// exit status 1 after one message on standard error.
#pragma once

#include <stdexcept>
#include <string>

namespace zoqcli {

class CodeFailure : public std::runtime_error {
 public:
  explicit CodeFailure(int code, std::string context = {}, std::string reason = {})
      : std::runtime_error("error " + std::to_string(code)),
        code_(code),
        context_(std::move(context)),
        reason_(std::move(reason)) {}
  int code() const { return code_; }
  // What was being done, e.g. the package path; may be empty.
  const std::string& context() const { return context_; }
  // Why a decoder failed, when it could tell (a decoding limit); may be empty.
  const std::string& reason() const { return reason_; }

 private:
  int code_;
  std::string context_;
  std::string reason_;
};

class ToolFailure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Standard output was closed by its reader (a pipe into "head"): the command
// stops quietly.
class OutputClosed : public std::runtime_error {
 public:
  OutputClosed() : std::runtime_error("standard output closed") {}
};

// Throws CodeFailure unless `code` is 0.
inline void Check(int code, const std::string& context = {}) {
  if (code != 0) throw CodeFailure(code, context);
}

// The message line for a code: "error CODE: TEXT", the text the tool has
// for an option to use, else the library's text of the code (package
// messages in Chinese, or in English when ZOQ_LANG names it), else none
// ("error CODE").
std::string DescribeCode(int code);

// Only the text of DescribeCode (empty when there is none).
std::string CodeText(int code);

// Prints "zoq: error CODE: TEXT" (preceded by a line naming the context when
// there is one) to standard error.
void ReportCode(int code, const std::string& context = {});

// Prints "zoq: MESSAGE" to standard error (control characters escaped when
// that is a terminal: messages name parts).
void ReportMessage(const std::string& message);

// Prints "zoq: warning: MESSAGE" to standard error.
void ReportWarning(const std::string& message);

}  // namespace zoqcli
