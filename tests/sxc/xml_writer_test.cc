#include "sxc/xml_writer.h"

#include <gtest/gtest.h>

#include "test_util.h"

namespace zoq {
namespace {

constexpr char kDecl[] = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";

TEST(XmlWriterTest, EscapesTextAndAttributesOnOneLine) {
  std::string out;
  XmlWriter writer(&out);
  writer.StartDocument();
  writer.StartElement(u"a");
  writer.StartAttribute(u"b");
  writer.WriteText(u"x<y", -1);
  writer.EndAttribute();
  writer.WriteText(u"1 & 2", -1);
  writer.StartElement(u"c");
  writer.EndElement(u"c");
  writer.WriteAsciiText("\"'>", -1);
  writer.EndElement(u"a");
  writer.EndDocument();
  EXPECT_EQ(out, std::string(kDecl) + "<a b=\"x&lt;y\">1 &amp; 2<c></c>&quot;&apos;&gt;</a>");
}

TEST(XmlWriterTest, NumbersAndBooleans) {
  EXPECT_EQ(FormatDouble(2.5), "2.5");
  EXPECT_EQ(FormatDouble(3.0), "3");
  EXPECT_EQ(FormatDouble(-0.25), "-0.25");
  EXPECT_EQ(FormatDouble(100.0), "100");
  EXPECT_EQ(FormatDouble(0.0), "0");
  EXPECT_EQ(FormatDouble(1.0000001), "1");
  EXPECT_EQ(FormatDouble(1e15), "1000000000000000");
  EXPECT_EQ(FormatDouble(1e300).size(), 301u) << "large values are written in full";
  EXPECT_EQ(FormatDouble(1.0 / 0.0), "INF");
  EXPECT_EQ(FormatDouble(-1.0 / 0.0), "-INF");
  std::string out;
  XmlWriter writer(&out);
  writer.StartDocument();
  writer.StartElement(u"n");
  writer.WriteInt(-42);
  writer.WriteBool(true);
  writer.WriteBool(false);
  writer.WriteDouble(-0.0015);
  writer.EndElement(u"n");
  EXPECT_EQ(out, std::string(kDecl) + "<n>-42truefalse-0.0015</n>");
}

TEST(XmlWriterTest, ZeroEndsTextAndAttributeTextKeepsTagOpen) {
  std::string out;
  XmlWriter writer(&out);
  writer.StartDocument();
  writer.StartElement(u"e");
  writer.StartAttribute(u"k");
  writer.WriteText(u"v", 1);  // must not close the start tag
  writer.EndAttribute();
  const char16_t text[] = {u'a', 0, u'b'};
  writer.WriteText(text, 3);
  writer.WriteUtf8Text("x\0y", 3);
  writer.EndElement(u"e");
  EXPECT_EQ(out, std::string(kDecl) + "<e k=\"v\">ax</e>");
}

TEST(XmlWriterTest, NonAsciiTextAndMalformedInput) {
  std::string out;
  XmlWriter writer(&out);
  writer.StartDocument();
  writer.StartElement(u"\u00e9t\u00e9");
  writer.WriteText(u"\u4e2d \U0001F600", -1);
  const char16_t lone[] = {0xD800, u'x', 0};
  writer.WriteText(lone, -1);
  writer.WriteUtf8Text("\xff!", 2);
  writer.EndElement(u"\u00e9t\u00e9");
  EXPECT_EQ(out, std::string(kDecl) +
                     "<\xc3\xa9t\xc3\xa9>\xe4\xb8\xad \xf0\x9f\x98\x80\xef\xbf\xbdx\xef\xbf\xbd!</\xc3\xa9t\xc3\xa9>");
}

TEST(XmlWriterTest, FileOutputIsResetAtStart) {
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
