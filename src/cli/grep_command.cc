// zoq grep: lines of decoded part content that match a regular expression.
// Exit status as grep's: 0 a line matched, 1 none did, 2 an error (even
// when lines matched).
#include <cstring>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "cli/command.h"
#include "cli/failure.h"
#include "cli/history_selection.h"
#include "cli/missing_path.h"
#include "zoq/ordered_work.h"
#include "cli/output.h"
#include "cli/package_session.h"
#include "cli/parallel_option.h"
#include "cli/terminal_text.h"
#include "zoq/history.h"
#include "zoq/line_search.h"
#include "zoq/part_text.h"
#include "zoq/utf.h"

namespace zoqcli {
namespace {

// One content to search: a part after a number of revisions.
struct Item {
  std::u16string path;
  int limit = 0;     // revision limit to read it at (0: as opened)
  int label = 0;     // revision printed before the path; 0 for none
};

struct Found {
  std::string text;   // the lines to print
  bool matched = false;
  std::string error;  // why the part could not be searched
};

struct Settings {
  const PackageSession* session;
  const zoq::LinePattern* pattern;
  bool names_only;
  bool binary_as_text;
};

void Search(const Settings& settings, const Item& item, Found* found) {
  std::string prefix;
  if (item.label > 0) prefix = std::to_string(item.label) + ":";
  AppendPathForStdout(item.path, &prefix);

  // SXC content is searched (and its lines numbered) with one element per
  // line.
  zoq::DecodeOptions decode = settings.session->Decode(zoq::kEcsEnd);
  zoq::DecodeReport report;
  decode.report = &report;
  zoq::PartTextReader reader;
  int code = reader.Open(settings.session->container(), item.path, item.limit, &decode);
  zoq::LineSearch search(*settings.pattern, settings.names_only);
  zoq::LineHit hit = [&](int64_t number, std::string_view line) {
    if (settings.names_only) return;
    found->text += prefix;
    found->text += ':';
    found->text += std::to_string(number);
    found->text += ':';
    found->text.append(line);
    found->text += '\n';
  };
  std::string text;
  bool first = true;
  while (code == zoq::kOk) {
    code = reader.Read(&text);
    if (code != zoq::kOk || text.empty()) break;
    if (first && reader.binary() && !settings.binary_as_text) return;  // binary content is not searched
    first = false;
    if (search.Feed(text.data(), text.size(), hit) != zoq::kOk) throw std::runtime_error(search.error());
    if (search.stopped()) break;
  }
  if (code != zoq::kOk) {
    found->error = DescribeCode(code);
    if (report.limit_reached) found->error += ": " + report.reason;
    return;
  }
  if (search.Finish(hit) != zoq::kOk) throw std::runtime_error(search.error());
  found->matched = search.matched();
  if (found->matched && settings.names_only) found->text = prefix + "\n";
}

Found SearchItem(const Settings& settings, const Item& item) {
  Found found;
  try {
    Search(settings, item, &found);
  } catch (const std::bad_alloc&) {
    found.error = "out of memory";
  } catch (const std::exception& error) {
    found.error = error.what();
  }
  if (!found.error.empty()) found.text.clear();
  return found;
}

// The parts named, as they stand in the opened package. Throws CodeFailure
// 5054 for a path that names nothing.
std::vector<Item> CurrentItems(const PackageSession& session,
                               const std::vector<std::string>& given) {
  zoq::Container* container = session.container();
  std::vector<Item> items;
  for (const std::string& text : given) {
    std::u16string path = PackagePathArgument(text);
    int kind = container->GetPathKind(path);
    if (kind == zoq::kPathPart) {
      items.push_back({path, 0, 0});
      continue;
    }
    if (kind != zoq::kPathFolder) ThrowNoSuchPath(session, text);
    if (path.back() != u'/') path.push_back(u'/');
    std::vector<std::u16string> parts;
    Check(container->ListParts(path, &parts), "cannot list " + text);
    for (std::u16string& part : parts) items.push_back({std::move(part), 0, 0});
  }
  return items;
}

// Every version of the parts named: each revision that stored data for a
// part, read as the part stood after it.
std::vector<Item> AllVersions(zoq::Container* container, const std::vector<std::string>& given) {
  std::vector<zoq::PathHistory> histories;
  Check(container->ListPathHistories(u"/", &histories), "cannot read the package");
  std::vector<Item> items;
  for (const std::string& text : given) {
    HistoryRange range = SelectHistories(histories, PackagePathArgument(text));
    if (range.begin == range.end) throw ToolFailure(text + ": no such part or folder");
    for (size_t h = range.begin; h < range.end; ++h) {
      const zoq::PathHistory& history = histories[h];
      int last = -1;
      for (const zoq::RecordMark& record : history.records) {
        if (record.revision == last) continue;
        last = record.revision;
        zoq::PartState state = zoq::StateAfter(history, record.revision + 1);
        if (!state.readable() || history.records[static_cast<size_t>(state.last)].revision !=
                                     record.revision) {
          continue;
        }
        items.push_back({history.path, record.revision + 1, record.revision + 1});
      }
    }
  }
  return items;
}

int RunGrep(const ParsedArgs& args) {
  if (args.Has("--all-revisions") && args.Has(kRevisionOption.name)) {
    throw UsageError("-r and --all-revisions exclude each other");
  }
  const int workers = WorkerCount(args);
  PackageOptions options = ReadPackageOptions(args);
  const auto& positionals = args.Positionals();
  std::string bad_pattern;
  std::unique_ptr<zoq::LinePattern> pattern =
      zoq::LinePattern::Compile(positionals[0], args.Has("-i"), &bad_pattern);
  if (!pattern) throw UsageError(bad_pattern);
  std::vector<std::string> given(positionals.begin() + 2, positionals.end());
  if (given.empty()) given.push_back("/");
  PackageSession session(positionals[1], options, SessionUse::kContent);
  std::vector<Item> items = args.Has("--all-revisions")
                                ? AllVersions(session.container(), given)
                                : CurrentItems(session, given);

  Settings settings{&session, pattern.get(), args.Has("-l"), args.Has("-a")};
  zoq::OrderedWork<Found> work(
      items.size(), workers, 64, 64 << 20,
      [&](size_t i) { return SearchItem(settings, items[i]); },
      [](const Found& found) { return static_cast<int64_t>(found.text.size()); });
  Output out;
  bool matched = false;
  bool failed = false;
  Found found;
  for (size_t i = 0; work.TakeNext(&found); ++i) {
    matched = matched || found.matched;
    out.Write(found.text);
    if (!found.error.empty()) {
      failed = true;
      out.Flush();
      std::string where = zoq::Utf16ToUtf8Lenient(items[i].path);
      if (items[i].label > 0) where += " after revision " + std::to_string(items[i].label);
      ReportMessage("cannot search " + where + ": " + found.error);
    }
  }
  out.Flush();
  return failed ? 2 : matched ? 0 : 1;
}

// Failures are exit status 2 here, as grep's: a pattern that matched
// nothing is not an error.
int RunGrepReportingErrors(const ParsedArgs& args) {
  try {
    return RunGrep(args);
  } catch (const CodeFailure& failure) {
    ReportCode(failure.code(), failure.context());
  } catch (const ToolFailure& failure) {
    ReportMessage(failure.what());
  } catch (const OutputClosed&) {
    throw;
  } catch (const UsageError&) {
    throw;
  } catch (const std::bad_alloc&) {
    ReportMessage("out of memory");
  } catch (const std::exception& error) {
    ReportMessage(error.what());
  }
  return 2;
}

}  // namespace

const Command kGrepCommand{
    "grep",
    "grep [-r N | --all-revisions] [-i] [-l] [-a] [-j N] [--key HEX | --key-file F]\n"
    "           [--docver N] [--schema FILE] PATTERN PACKAGE [PATH...]",
    "search decoded part content for a regular expression",
    "Prints every line of the parts below PATH (default: all parts) that\n"
    "matches PATTERN, a Perl-compatible regular expression, as\n"
    "PATH:LINE:TEXT. The content is searched decoded (decrypted, inflated, SXC\n"
    "turned into XML with one element per line) as UTF-8 text. Binary content\n"
    "(a zero byte in its first 8,000 bytes) is skipped unless -a is given.\n"
    "\n"
    "Exit status: 0 when a line matched, 1 when none did, 2 on an error (a\n"
    "part that could not be read is named on standard error; the others are\n"
    "still searched).\n"
    "\n"
    "Options:\n"
    ZOQ_HELP_REVISION
    "  --all-revisions\n"
    "                 search every version of every part: each revision that\n"
    "                 stored data for a part, printed as REVISION:PATH:LINE:TEXT\n"
    "  -i             ignore case\n"
    "  -l             print only the paths of the parts that match\n"
    "  -a             search binary content as text too\n"
    "  -j N           search N parts at once (0: one per processor core; at most\n"
    "                 32); the output keeps the order\n"
    ZOQ_HELP_KEY ZOQ_HELP_DOCVER ZOQ_HELP_SCHEMA,
    {kRevisionOption,
     ZOQ_CONTENT_OPTIONS,
     kJobsOption,
     {"--all-revisions", false},
     {"-i", false},
     {"-l", false},
     {"-a", false}},
    2,
    -1,
    RunGrepReportingErrors,
};

}  // namespace zoqcli
