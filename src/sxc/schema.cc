#include "sxc/schema.h"

#include <algorithm>

namespace zoq {

int BinarySchema::RootIndex(const SchemaNode* node) const {
  for (size_t i = 0; i < roots.size(); ++i) {
    if (roots[i] == node) return static_cast<int>(i);
  }
  return -1;
}

const SchemaNode* BinarySchema::FindRoot(std::string_view utf8_name) const {
  for (const SchemaNode* root : roots) {
    if (root->name_utf8 == utf8_name) return root;
  }
  return nullptr;
}

void BinarySchema::Finish() {
  for (SchemaNode& node : nodes) {
    node.optional_attribute_count = static_cast<int>(
        std::count_if(node.attributes.begin(), node.attributes.end(),
                      [](const SchemaNode* a) { return a->IsOptional(); }));
    node.optional_child_count = static_cast<int>(
        std::count_if(node.children.begin(), node.children.end(),
                      [](const SchemaNode* c) { return c->IsOptional(); }));
  }
  SortRoots(&roots);
}

void SortRoots(std::vector<const SchemaNode*>* roots) {
  // std::u16string compares char16_t values as unsigned code units; a shorter
  // prefix sorts first.
  std::stable_sort(roots->begin(), roots->end(),
                   [](const SchemaNode* a, const SchemaNode* b) { return a->name < b->name; });
}

}  // namespace zoq
