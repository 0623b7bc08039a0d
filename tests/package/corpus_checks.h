// Checks shared by the tests that hold a package against its corpus case's
// .expected.json (the conformance test and the rebuild by our writer).
#pragma once

#include <gtest/gtest.h>

#include <dirent.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "json_value.h"
#include "zoq/container.h"
#include "test_util.h"

namespace zoq::test {

// The names of the corpus files that end with `suffix`, without it, sorted.
inline std::vector<std::string> CorpusNames(const std::string& suffix) {
  std::vector<std::string> names;
  if (DIR* dir = opendir(DataDir().c_str())) {
    while (dirent* e = readdir(dir)) {
      const std::string name = e->d_name;
      if (name.size() > suffix.size() &&
          name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0) {
        names.push_back(name.substr(0, name.size() - suffix.size()));
      }
    }
    closedir(dir);
  }
  std::sort(names.begin(), names.end());
  return names;
}

inline std::vector<uint8_t> HexBytes(const std::string& hex) {
  std::vector<uint8_t> out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    out.push_back(static_cast<uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
  }
  return out;
}

// The key a case's "args" name (none when null), its bytes kept in *bytes.
inline KeyInfo CaseKey(const JsonValue& args, std::vector<uint8_t>* bytes) {
  if (!args["key"].IsNull()) *bytes = HexBytes(args["key"].AsString());
  KeyInfo key;
  key.key = bytes->empty() ? nullptr : bytes->data();
  key.key_length = static_cast<int>(bytes->size());
  return key;
}

// Checks a content result against {"length", "sha256"} or {"error"}.
inline void ExpectContent(const JsonValue& expected, int code, const std::vector<uint8_t>& bytes) {
  if (expected.Has("error")) {
    EXPECT_EQ(code, expected["error"].AsInt());
    return;
  }
  ASSERT_EQ(code, 0);
  EXPECT_EQ(static_cast<int64_t>(bytes.size()), expected["length"].AsInt());
  EXPECT_EQ(Sha256Hex(bytes), expected["sha256"].AsString());
}

// A part's information. Stored sizes and the data position depend on how
// the writer compressed and laid out the data: `with_layout` checks them.
inline void ExpectInfo(const JsonValue& expected, const PartInfo& info, bool with_layout) {
  EXPECT_EQ(U8(info.name), expected["name"].AsString());
  EXPECT_EQ(info.deleted, expected["deleted"].AsBool());
  EXPECT_EQ(info.skippable, expected["skippable"].AsBool());
  if (with_layout) {
    EXPECT_EQ(info.position, expected["position"].AsInt());
    EXPECT_EQ(info.size, expected["size"].AsInt());
    EXPECT_EQ(info.total_size, expected["total"].AsInt());
  }
  std::vector<int64_t> revisions(info.revisions.begin(), info.revisions.end());
  std::vector<int64_t> want;
  for (const JsonValue& r : expected["revisions"].Items()) want.push_back(r.AsInt());
  EXPECT_EQ(revisions, want);
  std::vector<int64_t> codes(info.codes.begin(), info.codes.begin() + info.code_count);
  std::vector<int64_t> want_codes;
  for (const JsonValue& c : expected["codes"].Items()) want_codes.push_back(c.AsInt());
  EXPECT_EQ(codes, want_codes);
}

// Every node's path, depth first in tree order.
inline void CollectTree(PathNode* node, std::vector<std::string>* out) {
  out->push_back(U8(node->GetPath()));
  for (PathNode* child : node->Children()) CollectTree(child, out);
}

inline std::vector<std::string> Strings(const JsonValue& list) {
  std::vector<std::string> out;
  for (const JsonValue& item : list.Items()) out.push_back(item.AsString());
  return out;
}

// The container's tree and its listing of parts against "tree" and
// "list_parts".
inline void ExpectTreeAndListing(Container* container, const JsonValue& expected) {
  PathNode* root = container->GetNode(u"/");
  ASSERT_NE(root, nullptr);
  std::vector<std::string> tree;
  CollectTree(root, &tree);
  EXPECT_EQ(tree, Strings(expected["tree"]));
  std::vector<std::u16string> listed;
  ASSERT_EQ(container->ListParts(u"/", &listed), 0);
  std::vector<std::string> listed8;
  for (const auto& p : listed) listed8.push_back(U8(p));
  EXPECT_EQ(listed8, Strings(expected["list_parts"]));
}

}  // namespace zoq::test
