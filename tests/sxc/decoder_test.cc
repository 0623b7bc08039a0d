// Hand-built SXC documents: the header and section rules, and the failures
// that stop a decode instead of producing wrong XML.
#include <gtest/gtest.h>

#include "sxc/schema_codec.h"
#include "sxc/zlib_codec.h"
#include "test_util.h"

namespace zoq {
namespace {

using Stream = std::pair<int, std::string>;  // node index, value bytes

using test::PutInt;

std::string Int32(int32_t v) {
  std::vector<uint8_t> b;
  PutInt(&b, v);
  return std::string(b.begin(), b.end());
}

struct SxcParts {
  int32_t version = 1;
  std::vector<uint8_t> structure;    // plain bytes; compressed on output
  std::vector<Stream> individual;    // one block each
  std::vector<std::vector<Stream>> groups;
  bool compress_directory = true;
  bool corrupt_structure = false;
  bool corrupt_block = false;
  int32_t block_size_delta = 0;  // added to the first block's recorded size
  std::string undeclared_tail;   // stored after the first group's values, not in the directory
};

std::vector<uint8_t> BuildSxc(const BinarySchema& schema, const SxcParts& parts) {
  std::vector<uint8_t> structure, blocks, directory;
  if (!parts.structure.empty()) DeflateAll(parts.structure.data(), parts.structure.size(), &structure);
  if (parts.corrupt_structure) structure[structure.size() / 2] ^= 0x55;
  PutInt(&directory, static_cast<int32_t>(parts.individual.size()));
  PutInt(&directory, static_cast<int32_t>(parts.groups.size()));
  bool first = true;
  for (const auto& [node, data] : parts.individual) {
    const size_t before = blocks.size();
    DeflateAll(reinterpret_cast<const uint8_t*>(data.data()), data.size(), &blocks);
    PutInt(&directory, node);
    PutInt(&directory, static_cast<int32_t>(blocks.size() - before) + (first ? parts.block_size_delta : 0));
    first = false;
  }
  for (const auto& group : parts.groups) {
    std::string joined;
    for (const auto& member : group) joined += member.second;
    if (&group == &parts.groups.front()) joined += parts.undeclared_tail;
    const size_t before = blocks.size();
    DeflateAll(reinterpret_cast<const uint8_t*>(joined.data()), joined.size(), &blocks);
    PutInt(&directory, static_cast<int32_t>(group.size()));
    PutInt(&directory, static_cast<int32_t>(blocks.size() - before) + (first ? parts.block_size_delta : 0));
    first = false;
    for (const auto& [node, data] : group) {
      PutInt(&directory, node);
      PutInt(&directory, static_cast<int32_t>(data.size()));
    }
  }
  if (parts.corrupt_block && !blocks.empty()) blocks[2] ^= 0xFF;
  std::vector<uint8_t> dir_part = {0, static_cast<uint8_t>(parts.compress_directory ? 1 : 0)};
  if (parts.compress_directory) {
    DeflateAll(directory.data(), directory.size(), &dir_part);
  } else {
    dir_part.insert(dir_part.end(), directory.begin(), directory.end());
  }
  const bool values = !blocks.empty();
  std::vector<uint8_t> out = {'?', '?', 'S', 'X', 'C'};
  PutInt(&out, parts.version);
  out.insert(out.end(), schema.identifier.begin(), schema.identifier.end());
  out.push_back(0);
  out.push_back(static_cast<uint8_t>((values ? 1 : 0) | (structure.empty() ? 0 : 2)));
  if (!structure.empty()) {
    PutInt(&out, 0);
    PutInt(&out, static_cast<int32_t>(structure.size()));
  }
  if (values) {
    PutInt(&out, 0);
    PutInt(&out, static_cast<int32_t>(blocks.size()));
    PutInt(&out, 0);
    PutInt(&out, static_cast<int32_t>(dir_part.size()));
  }
  out.insert(out.end(), structure.begin(), structure.end());
  if (values) {
    out.insert(out.end(), blocks.begin(), blocks.end());
    out.insert(out.end(), dir_part.begin(), dir_part.end());
  }
  return out;
}

// r (a: int, optional) with children x (text, 0..*) and an optional all
// group holding p (bool) and q (double, optional).
class DecoderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::BsgBuilder b;
    const int r = b.Element("r", kTextValue, 1, 1);
    a_ = b.Attribute("a", kIntegerValue, false);
    x_ = b.Element("x", kTextValue, 0, -1);
    const int all = b.Group(kAllNode, 0, 1);
    p_ = b.Element("p", kBooleanValue, 1, 1);
    q_ = b.Element("q", kDoubleValue, 0, 1);
    b.SetAttributes(r, {a_});
    b.SetChildren(r, {x_, all});
    b.SetChildren(all, {p_, q_});
    b.SetRoots({r});
    codec_ = b.Codec();
    ASSERT_NE(codec_, nullptr);
  }

  SxcParts Valid() const {
    SxcParts parts;
    // a, x present, all absent; two x.
    parts.structure = {0xC0, 0x02};
    parts.groups = {{{x_, std::string("one\0two\0", 8)}}, {{a_, Int32(-7)}}};
    return parts;
  }

  bool Decode(const SxcParts& parts, std::string* xml, std::string* error) {
    const std::vector<uint8_t> sxc = BuildSxc(*codec_->schema(), parts);
    return codec_->DecodeToString(sxc.data(), sxc.size(), xml, error);
  }

  std::unique_ptr<SchemaCodec> codec_;
  int a_ = 0, x_ = 0, p_ = 0, q_ = 0;
};

constexpr char kDecl[] = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";

TEST_F(DecoderTest, DecodesPresenceCountsAndValues) {
  std::string xml, error;
  ASSERT_TRUE(Decode(Valid(), &xml, &error)) << error;
  EXPECT_EQ(xml, std::string(kDecl) + "<r a=\"-7\"><x>one</x><x>two</x></r>");
}

TEST_F(DecoderTest, AllGroupAndPlainDirectory) {
  SxcParts parts;
  // x absent, all present: one optional child occurs (q), then q, then p.
  parts.structure = {0x20, 0x01, 0x02, 0x01};
  double q = 2.5;
  parts.individual = {{q_, std::string(reinterpret_cast<char*>(&q), 8)}};
  parts.groups = {{{p_, std::string("\x02", 1)}}};
  parts.compress_directory = false;
  std::string xml, error;
  ASSERT_TRUE(Decode(parts, &xml, &error)) << error;
  EXPECT_EQ(xml, std::string(kDecl) + "<r><q>2.5</q><p>true</p></r>");
  parts.structure = {0x20, 0x01, 0x00, 0x01};  // an all index of 0
  EXPECT_FALSE(Decode(parts, &xml, &error));
}

TEST_F(DecoderTest, HeaderChecks) {
  SxcParts parts = Valid();
  std::string xml, error;
  parts.version = 0;
  EXPECT_TRUE(Decode(parts, &xml, &error)) << "version 0 is accepted";
  parts.version = 2;
  EXPECT_FALSE(Decode(parts, &xml, &error));
  std::vector<uint8_t> sxc = BuildSxc(*codec_->schema(), Valid());
  sxc[0] = 'X';  // the signature is not compared
  EXPECT_TRUE(codec_->DecodeToString(sxc.data(), sxc.size(), &xml, &error));
  sxc[12] ^= 1;  // identifier
  EXPECT_FALSE(codec_->DecodeToString(sxc.data(), sxc.size(), &xml, &error));
  EXPECT_TRUE(xml.empty());
  sxc = BuildSxc(*codec_->schema(), Valid());
  sxc.push_back(0x99);  // bytes after the directory are ignored
  EXPECT_TRUE(codec_->DecodeToString(sxc.data(), sxc.size(), &xml, &error));
  for (size_t cut = 0; cut + 1 < sxc.size(); ++cut) {
    EXPECT_FALSE(codec_->DecodeToString(sxc.data(), cut, &xml, &error)) << "truncated at " << cut;
  }
}

// Each damage to the valid document fails the decode; where `says` is set,
// the error names the cause.
TEST_F(DecoderTest, DamagedDocumentsFail) {
  const struct {
    const char* name;
    void (*damage)(SxcParts*);
    const char* says;
  } cases[] = {
      {"corrupt structure", [](SxcParts* p) { p->corrupt_structure = true; }, nullptr},
      {"corrupt value block", [](SxcParts* p) { p->corrupt_block = true; }, "corrupt"},
      {"block passes the end of the value blocks", [](SxcParts* p) { p->block_size_delta = 1000; }, nullptr},
      {"one byte more than declared", [](SxcParts* p) { p->undeclared_tail = "x"; }, nullptr},
      {"two x, one value", [](SxcParts* p) { p->groups[0][0].second = std::string("one\0", 4); }, "run out"},
      {"no terminating zero", [](SxcParts* p) { p->groups[0][0].second = "one"; }, nullptr},
      {"half an int", [](SxcParts* p) { p->groups[1][0].second = "\x01\x02"; }, nullptr},
      {"no stream at all for a", [](SxcParts* p) { p->groups.pop_back(); }, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SxcParts parts = Valid();
    c.damage(&parts);
    std::string xml, error;
    EXPECT_FALSE(Decode(parts, &xml, &error));
    if (c.says) {
      EXPECT_NE(error.find(c.says), std::string::npos) << error;
    }
  }
}

TEST_F(DecoderTest, UnreadValuesAreHarmless) {
  SxcParts parts = Valid();
  parts.groups[0][0].second += "extra";
  std::string xml, error;
  EXPECT_TRUE(Decode(parts, &xml, &error)) << error;
}

// A small document whose value block inflates far past what its directory
// declares fails once the declared size is reached, without inflating the
// rest.
TEST_F(DecoderTest, BlockInflatingPastItsDeclaredSizeFails) {
  SxcParts parts = Valid();
  parts.undeclared_tail.assign(size_t{64} << 20, '\0');
  const std::vector<uint8_t> sxc = BuildSxc(*codec_->schema(), parts);
  ASSERT_LT(sxc.size(), size_t{200} << 10);
  std::string xml, error;
  EXPECT_FALSE(codec_->DecodeToString(sxc.data(), sxc.size(), &xml, &error));
  EXPECT_NE(error.find("inflates to more than"), std::string::npos) << error;
  EXPECT_TRUE(xml.empty());
}

TEST(DecoderDepthTest, HostileNestingFailsCleanly) {
  test::BsgBuilder b;
  const int n = b.Element("n", kTextValue, 0, 1);
  const int root = b.Element("root", kTextValue, 1, 1);
  b.SetChildren(n, {n});
  b.SetChildren(root, {n});
  b.SetRoots({root});
  auto codec = b.Codec();
  ASSERT_NE(codec, nullptr);
  SxcParts parts;
  parts.structure.assign(100000, 0x80);  // every n holds another n
  const std::vector<uint8_t> sxc = BuildSxc(*codec->schema(), parts);
  std::string xml, error;
  EXPECT_FALSE(codec->DecodeToString(sxc.data(), sxc.size(), &xml, &error));
  EXPECT_NE(error.find("deeper"), std::string::npos) << error;
}

TEST_F(DecoderTest, DecodeFileLeavesNoPartialOutput) {
  const std::string source = test::TempPath(".sxc");
  const std::string target = test::TempPath(".xml");
  SxcParts parts = Valid();
  parts.groups[0][0].second = std::string("one\0", 4);
  const std::vector<uint8_t> sxc = BuildSxc(*codec_->schema(), parts);
  test::WriteFile(source, std::string(sxc.begin(), sxc.end()));
  std::string error;
  EXPECT_FALSE(codec_->DecodeFile(source, target, &error));
  EXPECT_EQ(test::ReadFile(target), "");
  EXPECT_FALSE(codec_->DecodeFile(source + ".missing", target, &error));
  remove(source.c_str());
  remove(target.c_str());
}

}  // namespace
}  // namespace zoq

namespace zoq {
namespace {

// A long document handed out in pieces: the pieces join to the text that
// DecodeToString builds, none is much above 64 KiB, and an output that
// refuses a piece ends the decode with a failure after that piece.
TEST(DecodeToOutputTest, PiecesJoinToTheWholeTextAndARefusalFails) {
  auto codec = test::CorpusCodec("doc_large");
  ASSERT_NE(codec, nullptr);
  const std::vector<uint8_t> sxc = test::ReadBytes(test::DataDir() + "/doc_large.sxc");
  std::string whole, error;
  ASSERT_TRUE(codec->DecodeToString(sxc.data(), sxc.size(), &whole, &error)) << error;

  std::string joined;
  size_t pieces = 0;
  ASSERT_TRUE(codec->DecodeToOutput(sxc.data(), sxc.size(), [&](const char* bytes, size_t count) {
    ++pieces;
    EXPECT_LT(count, size_t{80} << 10);
    joined.append(bytes, count);
    return true;
  }, &error)) << error;
  EXPECT_EQ(joined, whole);
  EXPECT_GT(pieces, whole.size() >> 17);

  pieces = 0;
  EXPECT_FALSE(codec->DecodeToOutput(sxc.data(), sxc.size(), [&](const char*, size_t) {
    ++pieces;
    return false;
  }, &error));
  EXPECT_EQ(error, "cannot write the XML text");
  EXPECT_EQ(pieces, 1u);
}

}  // namespace
}  // namespace zoq
