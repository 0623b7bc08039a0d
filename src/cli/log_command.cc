// zoq log: the revisions of a package as stored, with their records.
#include <cstdio>

#include "cli/command.h"
#include "cli/failure.h"
#include "cli/json_writer.h"
#include "cli/output.h"
#include "cli/terminal_text.h"
#include "zoq/package_layout.h"
#include "zoq/utf.h"

namespace zoqcli {
namespace {

char RecordLetter(int type) {
  switch (type) {
    case zoq::kRecordCreated:
      return 'C';
    case zoq::kRecordAppended:
      return 'A';
    case zoq::kRecordReplaced:
      return 'R';
    case zoq::kRecordDeleted:
      return 'D';
    default:
      return 'N';
  }
}

void WriteText(Output& out, const zoq::PackageLayout& layout) {
  const bool terminal = StdoutIsTerminal();
  std::string line;
  for (const zoq::EntryFacts& entry : layout.entries) {
    line = std::to_string(entry.revision + 1) + "\t" + std::to_string(entry.offset) + "\t" +
           std::to_string(entry.table_flags);
    for (const zoq::RecordFacts& record : entry.records) {
      line += '\t';
      line += RecordLetter(record.type);
      line += ' ';
      line += ForTerminal(zoq::Utf16ToUtf8Lenient(record.path), terminal);
    }
    line += '\n';
    out.Write(line);
  }
}

void WriteJson(Output& out, const zoq::PackageLayout& layout) {
  JsonWriter json(1);
  json.BeginArray();
  for (const zoq::EntryFacts& entry : layout.entries) {
    json.BeginObject();
    json.Key("revision");
    json.Int(entry.revision + 1);
    json.Key("offset");
    json.Int(entry.offset);
    json.Key("table_flags");
    json.Int(entry.table_flags);
    json.Key("records");
    json.BeginArray();
    for (const zoq::RecordFacts& record : entry.records) {
      json.BeginObject();
      json.Key("type");
      json.String(std::string(1, RecordLetter(record.type)));
      json.Key("path");
      json.String(zoq::Utf16ToUtf8Lenient(record.path));
      if (record.skippable) {
        json.Key("skippable");
        json.Bool(true);
      }
      json.EndObject();
    }
    json.EndArray();
    json.EndObject();
    if (json.text().size() > (1 << 16)) out.Write(json.Take());
  }
  json.EndArray();
  out.Write(json.Take());
  out.Write("\n");
}

int RunLog(const ParsedArgs& args) {
  const std::string& package = args.Positionals()[0];
  zoq::PackageLayout layout;
  Check(zoq::ReadPackageLayoutFile(package, 0, &layout), "cannot open " + package);
  Output out;
  if (args.Has("--json")) {
    WriteJson(out, layout);
  } else {
    WriteText(out, layout);
  }
  out.Flush();
  return 0;
}

}  // namespace

const Command kLogCommand{
    "log",
    "log [--json] PACKAGE",
    "show every revision with its records",
    "Shows every revision of the package as stored, oldest first, one line each:\n"
    "the revision number (1-based), the entry's file offset, its table flags\n"
    "(1 Name Table compressed, 2 Item List compressed) and its records, each as\n"
    "a type letter and the part's path: C created, A appended, R replaced,\n"
    "D deleted, N none. The fields are separated by tabs.\n"
    "\n"
    "Options:\n"
    "  --json   an array of objects: revision, offset, table_flags, records\n"
    "           (type letter, path, and skippable when set)\n",
    {{"--json", false}},
    1,
    1,
    RunLog,
};

}  // namespace zoqcli
