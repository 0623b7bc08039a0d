// zoq recover: a new package from the revisions of a damaged one that still
// read, with a report of what was lost and why.
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "cli/command.h"
#include "cli/failure.h"
#include "cli/json_writer.h"
#include "cli/output.h"
#include "cli/terminal_text.h"
#include "zoq/package_layout.h"
#include "zoq/recovery.h"
#include "zoq/utf.h"

namespace zoqcli {
namespace {

const char* TypeLetter(int type) {
  switch (type) {
    case zoq::kRecordCreated:
      return "C";
    case zoq::kRecordAppended:
      return "A";
    case zoq::kRecordReplaced:
      return "R";
    case zoq::kRecordDeleted:
      return "D";
    default:
      return "N";
  }
}

const char* FateName(zoq::RecordFate fate) {
  switch (fate) {
    case zoq::RecordFate::kDamaged:
      return "damaged";
    case zoq::RecordFate::kNotCopied:
      return "not copied";
    case zoq::RecordFate::kBaseLost:
      return "lost with earlier content";
    case zoq::RecordFate::kSalvaged:
      return "salvaged";
  }
  return "";
}

std::string RevisionRange(int first, int last) {  // 1-based, inclusive
  if (first == last) return "revision " + std::to_string(first);
  return "revisions " + std::to_string(first) + " to " + std::to_string(last);
}

std::string TextReport(const std::string& damaged, const std::string& out_path,
                       const zoq::RecoveryReport& report) {
  std::string text = damaged + ": " + std::to_string(report.entry_count) +
                     (report.entry_count == 1 ? " revision" : " revisions") +
                     " in the header\n";
  if (report.complete > 0) {
    text += "kept: " + RevisionRange(1, report.complete) + " (every part reads and checks)\n";
  }
  for (const zoq::ExaminedRevision& revision : report.revisions) {
    text += "revision " + std::to_string(revision.revision + 1) + " (entry at offset " +
            std::to_string(revision.offset) + "): ";
    if (revision.problem != 0) {
      text += DescribeCode(revision.problem);
    } else {
      text += "reads, but follows a damaged revision";
    }
    if (revision.output_revision >= 0) {
      text += "; salvaged as revision " + std::to_string(revision.output_revision + 1);
    }
    text += '\n';
    if (!revision.records_known) {
      text += "  its parts are unknown: the entry's tables do not read\n";
    }
    for (const zoq::ExaminedRecord& record : revision.records) {
      text += "  ";
      text += FateName(record.fate);
      text += '\t';
      text += TypeLetter(record.type);
      text += ' ';
      AppendPathForStdout(record.path, &text);
      if (record.problem != 0) text += '\t' + DescribeCode(record.problem);
      text += '\n';
    }
  }
  if (report.reached < report.entry_count) {
    text += RevisionRange(report.reached + 1, report.entry_count) +
            ": not reached, the chain of entries ends";
    if (report.chain_problem != 0) text += " (" + DescribeCode(report.chain_problem) + ")";
    text += '\n';
  }
  text += "wrote " + out_path + ": " + std::to_string(report.output_revisions) +
          (report.output_revisions == 1 ? " revision, " : " revisions, ") +
          std::to_string(report.output_size) + " bytes\n";
  return text;
}

std::string JsonReport(const std::string& out_path, const zoq::RecoveryReport& report) {
  JsonWriter json(2);
  json.BeginObject();
  json.Key("entry_count");
  json.Int(report.entry_count);
  json.Key("kept");
  json.Int(report.complete);
  json.Key("reached");
  json.Int(report.reached);
  json.Key("chain_problem");
  json.Int(report.chain_problem);
  json.Key("revisions");
  json.BeginArray();
  for (const zoq::ExaminedRevision& revision : report.revisions) {
    json.BeginObject();
    json.Key("revision");
    json.Int(revision.revision + 1);
    json.Key("offset");
    json.Int(revision.offset);
    json.Key("problem");
    json.Int(revision.problem);
    json.Key("records_known");
    json.Bool(revision.records_known);
    if (revision.output_revision >= 0) {
      json.Key("output_revision");
      json.Int(revision.output_revision + 1);
    }
    json.Key("records");
    json.BeginArray();
    for (const zoq::ExaminedRecord& record : revision.records) {
      json.BeginObject();
      json.Key("type");
      json.String(TypeLetter(record.type));
      json.Key("path");
      json.String(zoq::Utf16ToUtf8Lenient(record.path));
      json.Key("problem");
      json.Int(record.problem);
      json.Key("fate");
      json.String(FateName(record.fate));
      json.EndObject();
    }
    json.EndArray();
    json.EndObject();
  }
  json.EndArray();
  json.Key("output");
  json.BeginObject();
  json.Key("path");
  json.String(out_path);
  json.Key("revisions");
  json.Int(report.output_revisions);
  json.Key("size");
  json.Int(report.output_size);
  json.EndObject();
  json.EndObject();
  return json.Take() + "\n";
}

int RunRecover(const ParsedArgs& args) {
  const std::string& damaged = args.Positionals()[0];
  const std::string& out_path = args.Positionals()[1];
  zoq::RecoverOptions options;
  options.salvage = args.Has("--salvage");
  options.replace = args.Has("--force");
  // The usual mistakes get their own words before the library says 5066.
  struct stat source;
  struct stat target;
  if (stat(damaged.c_str(), &source) != 0) {
    throw ToolFailure("cannot read " + damaged + ": " + std::strerror(errno));
  }
  if (lstat(out_path.c_str(), &target) == 0) {
    struct stat followed;
    if (stat(out_path.c_str(), &followed) == 0 && followed.st_dev == source.st_dev &&
        followed.st_ino == source.st_ino) {
      throw ToolFailure(out_path + " is the damaged package itself; recover never writes it");
    }
    if (!options.replace) throw ToolFailure(out_path + " exists; give --force to replace it");
  }
  zoq::RecoveryReport report;
  int code = zoq::RecoverPackage(damaged, out_path, options, &report);
  if (code != 0 && report.header_problem != 0) {
    throw CodeFailure(code, damaged + ": the package header does not read; nothing can be recovered");
  }
  if (code != 0 && report.output_revisions == 0 && report.entry_count > 0) {
    throw CodeFailure(code, damaged + ": no revision reads" +
                                std::string(options.salvage ? " and nothing could be salvaged"
                                                            : " (--salvage may save parts)"));
  }
  Check(code, "cannot write " + out_path);
  Output out;
  out.Write(args.Has("--json") ? JsonReport(out_path, report)
                               : TextReport(damaged, out_path, report));
  out.Flush();
  return 0;
}

}  // namespace

const Command kRecoverCommand{
    "recover",
    "recover [--salvage] [--force] [--json] DAMAGED OUT",
    "write what still reads of a damaged package into a new one",
    "Reads the package DAMAGED as far as it reads and writes a new package OUT\n"
    "holding every revision up to the last one that reads completely (its\n"
    "entry, tables and the data of every part, check bytes included), byte for\n"
    "byte. Then reports what was lost and why: each later revision with the\n"
    "failure found, its parts and what became of them.\n"
    "\n"
    "DAMAGED is never written. OUT is written under a temporary name beside it,\n"
    "synced, and appears only when complete; an existing OUT is refused unless\n"
    "--force is given. When nothing reads (a damaged header, or no revision and\n"
    "nothing to salvage), nothing is written and the exit status is 1.\n"
    "\n"
    "Options:\n"
    "  --salvage  also copy the parts of later revisions whose data still reads\n"
    "             and checks, one new revision for each revision they come from;\n"
    "             appended data is copied only when the content it extends\n"
    "             survived\n"
    "  --force    replace an existing OUT\n"
    "  --json     the report as a JSON object\n",
    {{"--salvage", false}, {"--force", false}, {"--json", false}},
    2,
    2,
    RunRecover,
};

}  // namespace zoqcli
