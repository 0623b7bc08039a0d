#include "package/path.h"

#include <gtest/gtest.h>

#include "zoq/codes.h"
#include "package/path_tree.h"

namespace zoq {
namespace {

std::u16string Normalized(const std::u16string& in, int* code) {
  std::u16string out = u"unchanged";
  *code = NormalizePath(in, &out);
  return out;
}

// Separators, relative paths, dot components, illegal characters and the
// length limit of 259 code units.
TEST(NormalizePathTest, NormalizesOrRefuses) {
  const std::u16string longest = u"/" + std::u16string(258, u'x');
  const struct {
    std::u16string in;
    std::u16string out;  // when accepted
    int code;
  } cases[] = {
      {u"Doc\\Pages\\\\Page_1.xml", u"/Doc/Pages/Page_1.xml", kOk},
      {u"//a///b/", u"/a/b/", kOk},
      {u"/", u"/", kOk},
      {u"\\", u"/", kOk},
      {u"/Doc/A.xml", u"/Doc/A.xml", kOk},
      {u"/a/b/../c", u"/a/c", kOk},
      {u"/a/b/..", u"/a/", kOk},
      {u"/a/.", u"/a", kOk},
      {u"/a/./b", u"/a/b", kOk},
      {u"/.hidden/..x", u"/.hidden/..x", kOk},
      {u"/a.b/c..", u"/a.b/c..", kOk},
      {u"/a b/c", u"/a b/c", kOk},
      {u"/..", {}, kSitePathAboveRoot},
      {u"/a/../../x", {}, kSitePathAboveRoot},
      {u"", {}, kIllegalPath},
      {u"/a/ b", {}, kIllegalPath},
      {u"/a /b", {}, kIllegalPath},
      {u"/a/b?.xml", {}, kIllegalPath},
      {u"/a:b", {}, kIllegalPath},
      {u"/a*", {}, kIllegalPath},
      {u"/a|b", {}, kIllegalPath},
      {u"/a<b", {}, kIllegalPath},
      {u"/a>b", {}, kIllegalPath},
      {u"/a\"b", {}, kIllegalPath},
      {u"/a\tb", {}, kIllegalPath},
      {u"/a\nb", {}, kIllegalPath},
      {u"/a\rb", {}, kIllegalPath},
      {std::u16string(u"/a\0", 3), {}, kIllegalPath},
      {longest, longest, kOk},                                    // 259 units
      {longest + u"x", {}, kIllegalPath},               // 260
      {std::u16string(259, u'x'), {}, kIllegalPath},  // 260 with the implied "/"
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.in.begin(), c.in.end()) + " (" + std::to_string(c.in.size()) +
                 " units)");
    int code = -1;
    const std::u16string out = Normalized(c.in, &code);
    EXPECT_EQ(code, c.code);
    if (c.code == kOk) {
      EXPECT_EQ(out, c.out);
    }
  }
}

TEST(NormalizePathTest, StoredPathsMustAlreadyBeNormalized) {
  for (const std::u16string path : {u"/a/b.xml", u"/folder/"}) {
    EXPECT_TRUE(IsNormalizedPath(path)) << std::string(path.begin(), path.end());
  }
  for (const std::u16string path :
       {u"a/b.xml", u"\\x", u"/a//b", u"/a/../b", u"/a/../../x", u"/a/./b"}) {
    EXPECT_FALSE(IsNormalizedPath(path)) << std::string(path.begin(), path.end());
  }
}

TEST(NormalizePathTest, InPlaceCheckAgreesWithNormalization) {
  // Every path of up to six characters over the characters that matter.
  const std::u16string alphabet = u"/a. \\?";
  std::vector<std::u16string> paths{u"/"};
  for (size_t i = 0; i < paths.size(); ++i) {
    if (paths[i].size() >= 6) continue;
    for (char16_t c : alphabet) paths.push_back(paths[i] + c);
  }
  // The same below folders of several lengths.
  for (const std::u16string prefix : {u"", u"/folder-name1", u"/folder-name-123", u"/f/older/name-1234"}) {
    for (const std::u16string& tail : paths) {
      const std::u16string path = prefix + tail;
      std::u16string normalized;
      bool expected = NormalizePath(path, &normalized) == kOk && normalized == path;
      const std::string utf8(path.begin(), path.end());
      EXPECT_EQ(IsNormalizedPath(path), expected) << utf8;
      // The one-pass check on stored UTF-8 agrees, and widens exactly.
      std::u16string wide(utf8.size(), u'\0');
      const AsciiPath ascii = WidenAsciiPath(utf8.data(), utf8.size(), wide.data());
      EXPECT_EQ(ascii, expected ? AsciiPath::kNormalized : AsciiPath::kRefused) << utf8;
      if (expected) {
        EXPECT_EQ(wide, path);
      }
    }
  }
  // Anything beyond ASCII is left to the full conversion; the length limit
  // counts code units.
  std::u16string out(300, u'\0');
  EXPECT_EQ(WidenAsciiPath("/a/\xC3\xA9", 5, out.data()), AsciiPath::kNotAscii);
  // Control bytes other than tab, line feed, return and NUL are kept, also
  // in the middle of a long path.
  std::string controls = "/" + std::string(40, 'x');
  for (const auto& [byte, result] : {std::pair{'\x01', AsciiPath::kNormalized},
                                     std::pair{'\t', AsciiPath::kRefused},
                                     std::pair{'\0', AsciiPath::kRefused},
                                     std::pair{'\xE9', AsciiPath::kNotAscii}}) {
    controls[20] = byte;
    EXPECT_EQ(WidenAsciiPath(controls.data(), controls.size(), out.data()), result) << int{byte};
  }
  const std::string longest = "/" + std::string(kMaxPathLength - 1, 'x');
  EXPECT_EQ(WidenAsciiPath(longest.data(), longest.size(), out.data()), AsciiPath::kNormalized);
  const std::string too_long = longest + "x";
  EXPECT_EQ(WidenAsciiPath(too_long.data(), too_long.size(), out.data()), AsciiPath::kRefused);
}

TEST(PathTreeTest, NodesKeepInsertionOrderAndKinds) {
  TreeNode root;
  EXPECT_TRUE(root.IsRoot());
  EXPECT_EQ(root.GetPath(), u"/");
  PathNode* node = nullptr;
  ASSERT_EQ(AddPathToTree(&root, u"/b.xml", &node), kOk);
  ASSERT_EQ(AddPathToTree(&root, u"/Doc/Pages/p.xml", &node), kOk);
  EXPECT_EQ(node->GetPath(), u"/Doc/Pages/p.xml");
  EXPECT_EQ(node->GetParent()->GetPath(), u"/Doc/Pages/");
  ASSERT_EQ(AddPathToTree(&root, u"/a.xml", nullptr), kOk);
  ASSERT_EQ(AddPathToTree(&root, u"/doc/", &node), kOk);
  EXPECT_TRUE(node->IsFolder());

  std::vector<std::u16string> names;
  for (PathNode* child = root.FirstChild(); child; child = root.NextChild()) {
    names.push_back(child->GetName());
  }
  EXPECT_EQ(names, (std::vector<std::u16string>{u"b.xml", u"Doc", u"a.xml", u"doc"}));
  EXPECT_EQ(root.Children().size(), 4u);

  // A part cannot become a folder, nor hold children.
  EXPECT_EQ(AddPathToTree(&root, u"/b.xml/x", nullptr), kAddNodeFailed);
  EXPECT_EQ(root.AddPartChild(u"Doc", &node), kAddNodeFailed);
  EXPECT_EQ(root.AddPartChild(u"", &node), kAddNodeFailed);
  EXPECT_EQ(root.AddFolderChild(u"", &node), kAddNodeFailed);
  ASSERT_EQ(root.AddPartChild(u"b.xml", &node), kOk);  // the existing part
  EXPECT_EQ(node, root.FindChild(u"b.xml"));

  EXPECT_EQ(FindPathInTree(&root, u"/Doc/Pages/p.xml")->GetName(), u"p.xml");
  EXPECT_EQ(FindPathInTree(&root, u"/doc/Pages/p.xml"), nullptr);
  EXPECT_EQ(FindPathInTree(&root, u"/b.xml/"), nullptr);
  EXPECT_EQ(AddPathToTree(&root, u"relative", nullptr), kIllegalPath);

  EXPECT_EQ(root.RemoveChild(u""), kRemoveNodeFailed);
  EXPECT_EQ(root.RemoveChild(u"missing"), kOk);
  EXPECT_EQ(root.RemoveChild(u"Doc"), kOk);
  EXPECT_EQ(FindPathInTree(&root, u"/Doc/Pages/p.xml"), nullptr);
  EXPECT_EQ(root.Children().size(), 3u);
}

}  // namespace
}  // namespace zoq
