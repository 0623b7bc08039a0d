#include "sxc/xml_writer.h"

#include <gtest/gtest.h>

#include "test_util.h"

namespace zoq {
namespace {

constexpr char kDecl[] = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";

// A writer into a string, its document started; Text() is what follows the
// declaration.
class XmlWriterTest : public ::testing::Test {
 protected:
  void SetUp() override { writer_.StartDocument(); }
  std::string Text() const {
    EXPECT_EQ(out_.compare(0, sizeof kDecl - 1, kDecl), 0) << out_;
    return out_.substr(sizeof kDecl - 1);
  }
  std::string out_;
  XmlWriter writer_{&out_};
};

TEST_F(XmlWriterTest, EscapesTextAndAttributesOnOneLine) {
  writer_.StartElement(u"a");
  writer_.StartAttribute(u"b");
  writer_.WriteText(u"x<y", -1);
  writer_.EndAttribute();
  writer_.WriteText(u"1 & 2", -1);
  writer_.StartElement(u"c");
  writer_.EndElement(u"c");
  writer_.WriteAsciiText("\"'>", -1);
  writer_.EndElement(u"a");
  writer_.EndDocument();
  EXPECT_EQ(Text(), "<a b=\"x&lt;y\">1 &amp; 2<c></c>&quot;&apos;&gt;</a>");
}

TEST_F(XmlWriterTest, NumbersAndBooleans) {
  const std::pair<double, const char*> formats[] = {
      {2.5, "2.5"},   {3.0, "3"},          {-0.25, "-0.25"}, {100.0, "100"},
      {0.0, "0"},     {1.0000001, "1"},    {1e15, "1000000000000000"},
      {1.0 / 0.0, "INF"}, {-1.0 / 0.0, "-INF"}};
  for (const auto& [value, text] : formats) EXPECT_EQ(FormatDouble(value), text) << value;
  EXPECT_EQ(FormatDouble(1e300).size(), 301u) << "large values are written in full";
  writer_.StartElement(u"n");
  writer_.WriteInt(-42);
  writer_.WriteBool(true);
  writer_.WriteBool(false);
  writer_.WriteDouble(-0.0015);
  writer_.EndElement(u"n");
  EXPECT_EQ(Text(), "<n>-42truefalse-0.0015</n>");
}

TEST_F(XmlWriterTest, ZeroEndsTextAndAttributeTextKeepsTagOpen) {
  writer_.StartElement(u"e");
  writer_.StartAttribute(u"k");
  writer_.WriteText(u"v", 1);  // must not close the start tag
  writer_.EndAttribute();
  const char16_t text[] = {u'a', 0, u'b'};
  writer_.WriteText(text, 3);
  writer_.WriteUtf8Text("x\0y", 3);
  writer_.EndElement(u"e");
  EXPECT_EQ(Text(), "<e k=\"v\">ax</e>");
}

TEST_F(XmlWriterTest, NonAsciiTextAndMalformedInput) {
  writer_.StartElement(u"\u00e9t\u00e9");
  writer_.WriteText(u"\u4e2d \U0001F600", -1);
  const char16_t lone[] = {0xD800, u'x', 0};
  writer_.WriteText(lone, -1);
  writer_.WriteUtf8Text("\xff!", 2);
  writer_.EndElement(u"\u00e9t\u00e9");
  EXPECT_EQ(Text(), "<\xc3\xa9t\xc3\xa9>\xe4\xb8\xad \xf0\x9f\x98\x80\xef\xbf\xbdx\xef\xbf\xbd!</\xc3\xa9t\xc3\xa9>");
}

// The size guess reserves room once; an absurd guess reserves nothing.
TEST(XmlWriterSizeTest, ExpectedSizeIsReservedWithinReason) {
  std::string out;
  XmlWriter writer(&out);
  writer.ExpectTextSize(1 << 20);
  writer.StartDocument();
  EXPECT_GE(out.capacity(), size_t{1} << 20);
  std::string other;
  XmlWriter absurd(&other);
  absurd.ExpectTextSize(SIZE_MAX / 2);
  EXPECT_LT(other.capacity(), size_t{1} << 20);
}

TEST(XmlWriterFileTest, FileOutputIsResetAtStart) {
  const std::string path = test::TempPath(".xml");
  test::WriteFile(path, "old content that is longer than the new one");
  {
    CFileStream file(path, true);
    XmlWriter writer(&file);
    writer.StartDocument();
    writer.StartElement(u"r");
    writer.EndElement(u"r");
    writer.EndDocument();
    EXPECT_TRUE(writer.ok());
  }
  EXPECT_EQ(test::ReadFile(path), std::string(kDecl) + "<r></r>");
  remove(path.c_str());
  XmlWriter nowhere(static_cast<CFileStream*>(nullptr));
  nowhere.StartDocument();  // no output: nothing happens
  nowhere.StartElement(u"x");
}

}  // namespace
}  // namespace zoq
