// Checks shared by the tests that hold a package against its corpus case's
// .expected.json (the conformance test and the rebuild by our writer).
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "json_value.h"
#include "zoq/container.h"
#include "test_util.h"

namespace zoq::test {

inline std::vector<uint8_t> HexBytes(const std::string& hex) {
  std::vector<uint8_t> out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    out.push_back(static_cast<uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
  }
  return out;
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

}  // namespace zoq::test
