// Visiting a package's tree in tree order.
#pragma once

#include <functional>
#include <string>

#include "zoq/container.h"
#include "zoq/path_node.h"

namespace zoqcli {

// Calls `visit` for every node below `node` (not the node itself), depth
// first, each folder before its children, children in tree order.
void WalkBelow(zoq::PathNode* node, const std::function<void(zoq::PathNode*)>& visit);

// Appends a line for every node below `node`, in the order of WalkBelow:
// its package path as UTF-8 (control characters escaped when `terminal`),
// kBesideFolderMark for a part beside a folder of its name. The names go
// straight into `out`; `drain(out)` takes what is there whenever it grows
// beyond 64 KiB.
void ListPathsBelow(zoq::PathNode* node, bool terminal, std::string* out,
                    const std::function<void(std::string*)>& drain);

// The node of a package path typed by the user; throws CodeFailure 5054
// when the path names nothing.
zoq::PathNode* FindNode(zoq::Container* container, const std::string& path_text);

// The node's package path as UTF-8.
std::string NodePath(const zoq::PathNode* node);

// Whether the node is a part beside a folder of the same name (a package
// made elsewhere may hold both); listings mark such a part.
bool BesideFolder(const zoq::PathNode* node);
constexpr char kBesideFolderMark[] = "  (a part beside the folder of the same name)";

}  // namespace zoqcli
