#include "cli/tree_walk.h"

#include "cli/failure.h"
#include "cli/package_session.h"
#include "zoq/codes.h"
#include "zoq/utf.h"

namespace zoqcli {

void WalkBelow(zoq::PathNode* node, const std::function<void(zoq::PathNode*)>& visit) {
  for (zoq::PathNode* child : node->Children()) {
    visit(child);
    if (child->IsFolder()) WalkBelow(child, visit);
  }
}

namespace {

void WalkWithPaths(zoq::PathNode* node, std::string& path,
                   const std::function<void(zoq::PathNode*, const std::string&)>& visit) {
  const size_t folder_length = path.size();
  for (zoq::PathNode* child : node->Children()) {
    path.resize(folder_length);
    child->AppendNameUtf8(&path);
    if (child->IsFolder()) {
      path.push_back('/');
      visit(child, path);
      WalkWithPaths(child, path, visit);
    } else {
      visit(child, path);
    }
  }
  path.resize(folder_length);
}

}  // namespace

void WalkBelowWithPaths(zoq::PathNode* node,
                        const std::function<void(zoq::PathNode*, const std::string&)>& visit) {
  std::string path = NodePath(node);
  WalkWithPaths(node, path, visit);
}

zoq::PathNode* FindNode(zoq::Container* container, const std::string& path_text) {
  zoq::PathNode* node = container->GetNode(PackagePathArgument(path_text));
  if (node == nullptr) throw CodeFailure(zoq::kNoSuchNode, "no such part or folder: " + path_text);
  return node;
}

std::string NodePath(const zoq::PathNode* node) { return zoq::Utf16ToUtf8Lenient(node->GetPath()); }

bool BesideFolder(const zoq::PathNode* node) {
  return !node->IsFolder() && node->OtherOfSameName() != nullptr;
}

}  // namespace zoqcli
