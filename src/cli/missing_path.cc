#include "cli/missing_path.h"

#include "cli/failure.h"
#include "zoq/codes.h"
#include "zoq/package_layout.h"

namespace zoqcli {

std::string DescribeMissingPath(const PackageSession& session, const std::string& path_text) {
  std::u16string path = PackagePathArgument(path_text);
  for (char16_t& c : path) {
    if (c == u'\\') c = u'/';
  }
  // The layout lists every record of every revision read; the newest one
  // for the path tells whether it was deleted. Reading it again costs a
  // pass over the tables, which only a failing command pays.
  int deleted_in = 0;
  zoq::PackageLayout layout;
  if (zoq::ReadPackageLayoutFile(session.package_path(), session.revision_limit(), &layout) == 0) {
    for (const zoq::EntryFacts& entry : layout.entries) {
      for (const zoq::RecordFacts& record : entry.records) {
        if (record.path != path || record.type == zoq::kRecordNone) continue;
        deleted_in = record.type == zoq::kRecordDeleted ? entry.revision + 1 : 0;
      }
    }
  }
  if (deleted_in > 0) {
    return "no such part: " + path_text + " (deleted in revision " + std::to_string(deleted_in) +
           ")";
  }
  return "no such part or folder: " + path_text;
}

void ThrowNoSuchPath(const PackageSession& session, const std::string& path_text) {
  throw CodeFailure(zoq::kNoSuchNode, DescribeMissingPath(session, path_text));
}

zoq::PathNode* RequireNode(const PackageSession& session, const std::string& path_text) {
  zoq::PathNode* node = session.container()->GetNode(PackagePathArgument(path_text));
  if (node == nullptr) ThrowNoSuchPath(session, path_text);
  return node;
}

}  // namespace zoqcli
