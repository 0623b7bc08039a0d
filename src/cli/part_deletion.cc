#include "cli/part_deletion.h"

#include <set>

#include "cli/failure.h"
#include "cli/missing_path.h"
#include "zoq/container.h"
#include "zoq/utf.h"

namespace zoqcli {

void DeleteParts(const PackageSession& session, const std::vector<std::string>& paths,
                 bool recursive) {
  zoq::Container* container = session.container();
  std::vector<std::u16string> parts;
  std::set<std::u16string> seen;
  auto take = [&](const std::u16string& part) {
    if (seen.insert(part).second) parts.push_back(part);
  };
  for (const std::string& text : paths) {
    std::u16string path = PackagePathArgument(text);
    int kind = container->GetPathKind(path);
    if (kind == zoq::kPathPart) {
      take(path);
    } else if (kind == zoq::kPathFolder) {
      if (!recursive) {
        throw ToolFailure(text + " is a folder (rm -r removes it with everything below it)");
      }
      if (path.back() != u'/' && path.back() != u'\\') path.push_back(u'/');
      std::vector<std::u16string> below;
      Check(container->ListParts(path, &below), "cannot list " + text);
      if (below.empty()) throw CodeFailure(zoq::kNoSuchNode, "no part below " + text);
      for (const std::u16string& part : below) take(part);
    } else {
      ThrowNoSuchPath(session, text);
    }
  }
  for (const std::u16string& part : parts) {
    Check(container->DeletePart(part), "cannot delete " + zoq::Utf16ToUtf8Lenient(part));
  }
}

}  // namespace zoqcli
