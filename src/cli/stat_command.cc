// zoq stat: stored space per file type, like the statistics table of the
// desktop program.
#include <cstdio>
#include <map>

#include "cli/command.h"
#include "cli/failure.h"
#include "cli/output.h"
#include "cli/package_session.h"
#include "cli/part_facts.h"
#include "cli/terminal_text.h"
#include "cli/tree_walk.h"
#include "zoq/utf.h"

namespace zoqcli {
namespace {

struct TypeTotals {
  int64_t count = 0;
  int64_t size = 0;
};

// The statistics key of a part name: from its last dot to the end (or the
// whole name without a dot), upper-cased.
std::string TypeKey(const std::u16string& name) {
  size_t dot = name.rfind(u'.');
  std::string key = zoq::Utf16ToUtf8Lenient(dot == std::u16string::npos ? name : name.substr(dot));
  for (char& c : key) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return key;
}

std::string FormatRow(const std::string& key, int64_t count, int64_t size, int64_t total_size) {
  char share[32] = "";
  if (total_size > 0) {
    std::snprintf(share, sizeof share, "%6.2f %%",
                  static_cast<double>(size) * 100.0 / static_cast<double>(total_size));
  }
  char line[96];
  std::snprintf(line, sizeof line, " %10lld %15lld  %s\n", static_cast<long long>(count),
                static_cast<long long>(size), share);
  std::string text = ForTerminal(key, StdoutIsTerminal());
  if (text.size() < 12) text.append(12 - text.size(), ' ');
  return text + line;
}

int RunStat(const ParsedArgs& args) {
  PackageOptions options = ReadPackageOptions(args);
  PackageSession session(args.Positionals()[0], options, SessionUse::kStructure);
  zoq::Container* container = session.container();
  std::map<std::string, TypeTotals> table;
  TypeTotals all;
  auto count = [&table, &all](const std::string& key, int64_t size) {
    TypeTotals& totals = table[key];
    totals.count += 1;
    totals.size += size;
    all.count += 1;
    all.size += size;
  };
  zoq::PathNode* root = FindNode(container, "/");
  count("\\", 0);
  // A part whose information cannot be read is counted without its size
  // and named on standard error; the others are still counted.
  size_t unreadable = 0;
  WalkBelow(root, [&](zoq::PathNode* node) {
    if (node->IsFolder()) {
      count("\\", 0);
      return;
    }
    zoq::PartInfo info;
    int code = container->GetPartInfo(&info, node, session.revision_limit());
    if (code != 0) {
      ++unreadable;
      ReportUnreadable(NodePath(node), code);
    }
    count(TypeKey(node->GetName()), code == 0 ? info.total_size : 0);
  });
  Output out;
  std::string header = "TYPE";
  header.append(8, ' ');
  out.Write(header + "      COUNT      TOTAL SIZE    SHARE\n");
  for (const auto& [key, totals] : table) {
    out.Write(FormatRow(key, totals.count, totals.size, all.size));
  }
  out.Write(FormatRow("total", all.count, all.size, all.size));
  out.Flush();
  if (unreadable > 0) {
    ReportMessage("the sizes of " + std::to_string(unreadable) +
                  (unreadable == 1 ? " part are" : " parts are") + " not counted");
    return 1;
  }
  return 0;
}

}  // namespace

const Command kStatCommand{
    "stat",
    "stat [-r N] PACKAGE",
    "stored space per file type",
    "Counts the folders and parts of the tree by type and adds up their stored\n"
    "size (every data record of a part): one row per type, keyed by the\n"
    "upper-case extension with its dot (\".XML\"; a name without a dot is its own\n"
    "key), folders (the root included) under a single backslash with size 0,\n"
    "with the count, the total stored size in bytes and the share of all stored\n"
    "bytes (left empty when nothing is stored), and a total row. A part whose\n"
    "information cannot be read is counted without its size and named on\n"
    "standard error, and the exit status is 1.\n"
    "\n"
    "Options:\n"
    "  -r N   the package as it stood after its first N revisions\n",
    {kRevisionOption},
    1,
    1,
    RunStat,
};

}  // namespace zoqcli
