#include "cli/tree_walk.h"

#include "cli/failure.h"
#include "cli/package_session.h"
#include "cli/terminal_text.h"
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

struct PathLister {
  bool terminal;
  std::string* out;
  const std::function<void(std::string*)>& drain;
  std::string path;  // the folder's path while its children are listed

  void Below(zoq::PathNode* node) {
    const size_t folder_length = path.size();
    for (zoq::PathNode* child : node->Children()) {
      const bool folder = child->IsFolder();
      if (terminal) {
        child->AppendNameUtf8(&path);
        if (folder) path.push_back('/');
        out->append(EscapeControls(path));
      } else {
        const size_t name_at = out->size() + folder_length;
        out->append(path);
        child->AppendNameUtf8(out);
        if (folder) {
          out->push_back('/');
          path.append(*out, name_at);
        }
      }
      if (!folder && child->OtherOfSameName() != nullptr) out->append(kBesideFolderMark);
      out->push_back('\n');
      if (out->size() >= (1 << 16)) drain(out);
      if (folder) Below(child);
      path.resize(folder_length);
    }
  }
};

}  // namespace

void ListPathsBelow(zoq::PathNode* node, bool terminal, std::string* out,
                    const std::function<void(std::string*)>& drain) {
  PathLister lister{terminal, out, drain, NodePath(node)};
  lister.Below(node);
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
