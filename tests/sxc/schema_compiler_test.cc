#include "sxc/schema_compiler.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "sxc/schema_codec.h"
#include "sxc/schema_dump.h"
#include "sxc/schema_loader.h"
#include "zoq/sxc_tools.h"
#include "sxc/schema_writer.h"
#include "test_util.h"

namespace zoq {
namespace {

using ::testing::HasSubstr;

const char kHead[] = "<xs:schema xmlns:xs='http://www.w3.org/2001/XMLSchema'>\n";

std::string Compile(const std::string& body, BinarySchema* schema) {
  std::string error;
  if (!CompileXmlSchema(kHead + body + "</xs:schema>", schema, &error)) return error;
  return "";
}

std::string CompileError(const std::string& body) {
  BinarySchema schema;
  return Compile(body, &schema);
}

std::string BundledSchema(const std::string& name) {
  return test::ReadFile(std::string(ZOQ_TEST_DATA_DIR) + "/../../Resource/schemas/" + name);
}

TEST(SchemaCompilerTest, BuildsTheContentModel) {
  BinarySchema schema;
  ASSERT_EQ(Compile(R"(
    <xs:element name='doc'>
      <xs:annotation><xs:documentation>ignored</xs:documentation></xs:annotation>
      <xs:complexType mixed='true'>
        <xs:sequence>
          <xs:element name='n' type='xs:int' minOccurs='0' maxOccurs='unbounded'/>
          <xs:choice minOccurs='0' maxOccurs='3'>
            <xs:element ref='v'/>
            <xs:element name='flag' type='xs:boolean'/>
          </xs:choice>
        </xs:sequence>
        <xs:attribute name='id' type='xs:ID' use='required'/>
        <xs:attribute name='size' type='Size'/>
        <xs:attribute ref='lang'/>
      </xs:complexType>
    </xs:element>
    <xs:element name='v'>
      <xs:complexType><xs:simpleContent><xs:extension base='xs:double'>
        <xs:attribute name='unit' type='xs:token'/>
      </xs:extension></xs:simpleContent></xs:complexType>
    </xs:element>
    <xs:simpleType name='Size'><xs:restriction base='Small'/></xs:simpleType>
    <xs:simpleType name='Small'><xs:restriction base='xs:unsignedByte'><xs:maxInclusive value='9'/></xs:restriction></xs:simpleType>
    <xs:attribute name='lang' type='xs:language'/>
  )", &schema), "");
  EXPECT_EQ(DumpBinarySchema(schema).substr(DumpBinarySchema(schema).find('\n') + 1),
            "roots (sorted): doc=#0, v=#10\n"
            "#0 element doc text mixed [1..1] attrs(#7, #8, #9) children(#1)\n"
            "#1 sequence [1..1] children(#2, #3)\n"
            "#2 element n int [0..*]\n"
            "#3 choice [0..3] children(#4, #6)\n"
            "#4 element v double [1..1] attrs(#5)\n"
            "#5 attribute unit text optional\n"
            "#6 element flag bool [1..1]\n"
            "#7 attribute id text required\n"
            "#8 attribute size int optional\n"
            "#9 attribute lang text optional\n"
            "#10 element v double [1..1] attrs(#5)\n");
}

TEST(SchemaCompilerTest, IdentifierFollowsContent) {
  BinarySchema a, b, c;
  const std::string body = "<xs:element name='r' type='xs:string'/>";
  ASSERT_EQ(Compile(body, &a), "");
  ASSERT_EQ(Compile("\n\n" + body, &b), "");
  ASSERT_EQ(Compile("<xs:element name='r' type='xs:int'/>", &c), "");
  EXPECT_EQ(a.identifier, b.identifier);
  EXPECT_NE(a.identifier, c.identifier);
}

TEST(SchemaCompilerTest, BuiltInTypes) {
  EXPECT_EQ(BuiltInValueType("boolean"), kBooleanValue);
  for (const char* name : {"byte", "decimal", "int", "integer", "long", "negativeInteger", "nonNegativeInteger",
                           "nonPositiveInteger", "positiveInteger", "short", "unsignedLong", "unsignedInt",
                           "unsignedShort", "unsignedByte"}) {
    EXPECT_EQ(BuiltInValueType(name), kIntegerValue) << name;
  }
  EXPECT_EQ(BuiltInValueType("float"), kFloatValue);
  EXPECT_EQ(BuiltInValueType("double"), kDoubleValue);
  for (const char* name : {"base64Binary", "dateTime", "gYearMonth", "string", "token", "anyURI", "QName", "ID"}) {
    EXPECT_EQ(BuiltInValueType(name), kTextValue) << name;
  }
  EXPECT_EQ(BuiltInValueType("anyType"), -1);
}

TEST(SchemaCompilerTest, RefusesUnsupportedConstructsWithTheirLine) {
  EXPECT_EQ(CompileError("<xs:group name='g'/>"), "line 2: <xs:group> is not supported");
  EXPECT_EQ(CompileError("<xs:element name='r'>\n<xs:complexType>\n<xs:sequence>\n<xs:any/>"
                         "</xs:sequence></xs:complexType></xs:element>"),
            "line 5: <xs:any> is not supported inside <xs:sequence>");
  EXPECT_EQ(CompileError("<xs:element name='r' type='xs:anyType'/>"), "line 2: the type 'xs:anyType' is not supported");
  EXPECT_EQ(CompileError("<xs:element name='r' type='Missing'/>"), "line 2: the type 'Missing' is not declared");
  EXPECT_EQ(CompileError("<xs:simpleType name='L'><xs:list itemType='xs:int'/></xs:simpleType>"
                         "<xs:element name='r' type='L'/>"),
            "line 2: only simple types that restrict another type are supported, not <xs:list>");
  EXPECT_THAT(CompileError("<xs:element name='r'><xs:complexType><xs:complexContent/></xs:complexType>"
                           "</xs:element>"),
              HasSubstr("<xs:complexContent> is not supported"));
  EXPECT_THAT(CompileError("<xs:element name='r'><xs:complexType><xs:all maxOccurs='2'/></xs:complexType>"
                           "</xs:element>"),
              HasSubstr("at most once"));
  EXPECT_THAT(CompileError("<xs:element name='r'><xs:complexType><xs:sequence>"
                           "<xs:element name='a' minOccurs='3' maxOccurs='2'/></xs:sequence></xs:complexType>"
                           "</xs:element>"),
              HasSubstr("minOccurs is above maxOccurs"));
  EXPECT_EQ(CompileError(""), "line 1: the schema declares no global element");
  std::string error;
  BinarySchema schema;
  EXPECT_FALSE(CompileXmlSchema("<xs:schema", &schema, &error));
  EXPECT_NE(error.find("line 1"), std::string::npos) << error;
  EXPECT_FALSE(CompileXmlSchema("<schema/>", &schema, &error));
  EXPECT_NE(error.find("not an XML Schema"), std::string::npos) << error;
}

TEST(SchemaCompilerTest, RecursiveTypesShareTheirContent) {
  BinarySchema schema;
  ASSERT_EQ(Compile(R"(
    <xs:element name='tree' type='Node'/>
    <xs:complexType name='Node'>
      <xs:sequence><xs:element name='node' type='Node' minOccurs='0' maxOccurs='unbounded'/></xs:sequence>
      <xs:attribute name='label' type='xs:string'/>
    </xs:complexType>)", &schema), "");
  ASSERT_EQ(schema.nodes.size(), 3u);
  EXPECT_EQ(schema.nodes[0].children, schema.nodes[1].children) << "one shared child list";
  EXPECT_EQ(schema.nodes[1].children[0], &schema.nodes[1]);
}

TEST(SchemaCompilerTest, BundledModelsCompileAndCarryADocument) {
  for (const char* name : {"pliv_full_v1.0.xsd", "pliv_full_v1.1.xsd", "pliv_full_v1.2.xsd"}) {
    std::vector<uint8_t> bsg;
    std::string error;
    ASSERT_TRUE(CompileSchemaText(BundledSchema(name), &bsg, &error)) << name << ": " << error;
    BinarySchema loaded;
    ASSERT_TRUE(ParseBinarySchema(bsg.data(), bsg.size(), &loaded, &error)) << error;
  }
  BinarySchema schema;
  std::string error;
  ASSERT_TRUE(CompileXmlSchema(BundledSchema("pliv_full_v1.1.xsd"), &schema, &error)) << error;
  auto codec = test::CodecFor(SerializeBinarySchema(schema));
  ASSERT_NE(codec, nullptr);
  const std::string xml =
      "<document id='d1' version='1.1' lang='en' draft='true'>"
      "<metadata><author>Ann</author><title>Report</title><revision>3</revision></metadata>"
      "<section id='s1' level='1' numbered='true'><heading>Intro <em>now</em></heading>"
      "<para align='center'>Text with <strong>bold <em>and</em> nested</strong>, "
      "<code>x &lt; y</code>, a <link href='http://x/?a=1&amp;b=2'>link</link><br/>end.</para>"
      "<list ordered='true'><item>one</item><item>two <list><item>deep</item></list></item></list>"
      "<table border='false' width='80.5'><caption>Numbers</caption>"
      "<columns><column width='2.5'>Name</column><column>Value</column></columns>"
      "<row header='true'><text>a</text><text>b</text></row>"
      "<row><text>pi</text><number unit='rad' precision='4'>3.1416</number><integer>-12</integer>"
      "<flag>true</flag><date>2024-05-06</date><empty/></row></table>"
      "<figure src='/images/plot.png' width='640' height='480' scale='0.5'><caption>Plot</caption></figure>"
      "<section><para/></section></section>"
      "<section/>"
      "<appendix label='A'><para>Extra</para></appendix>"
      "</document>";
  const std::string decoded = test::RoundTrip(*codec, xml);
  EXPECT_EQ(decoded.find("FAILED"), std::string::npos) << decoded;
  EXPECT_THAT(decoded, HasSubstr("<number unit=\"rad\" precision=\"4\">3.1416</number><integer>-12</integer>"));
  EXPECT_NE(decoded.find("<metadata><author>Ann</author><title>Report</title>"), std::string::npos) << decoded;
}

TEST(SchemaToolsTest, CompileDumpDecodeEncodeFiles) {
  const std::string xsd = test::TempPath(".xsd");
  const std::string bsg = test::TempPath(".bsg");
  test::WriteFile(xsd, std::string(kHead) + "<xs:element name='r' type='xs:int'/></xs:schema>");
  std::string error;
  ASSERT_TRUE(CompileSchemaFile(xsd, bsg, &error)) << error;
  std::string text;
  ASSERT_TRUE(DumpSchemaFile(bsg, &text, &error)) << error;
  EXPECT_NE(text.find("#0 element r int [1..1]"), std::string::npos) << text;
  const std::string xml = test::TempPath(".xml");
  test::WriteFile(xml, "<r>42</r>");
  std::vector<uint8_t> sxc;
  EncodeReport report;
  report.print_messages = false;
  ASSERT_TRUE(EncodeSxcFile(bsg, xml, &sxc, &report)) << report.reason;
  const std::string sxc_path = test::TempPath(".sxc");
  test::WriteFile(sxc_path, std::string(sxc.begin(), sxc.end()));
  std::string decoded;
  ASSERT_TRUE(DecodeSxcFile(bsg, sxc_path, &decoded, &error)) << error;
  EXPECT_EQ(decoded, "<?xml version=\"1.0\" encoding=\"UTF-8\"?><r>42</r>");
  test::WriteFile(xml, "<r>42</r><x/>");
  EXPECT_FALSE(EncodeSxcFile(bsg, xml, &sxc, &report));
  EXPECT_NE(report.reason.find("line 1"), std::string::npos) << report.reason;
  test::WriteFile(xsd, std::string(kHead) + "\n<xs:redefine/></xs:schema>");
  EXPECT_FALSE(CompileSchemaFile(xsd, bsg, &error));
  EXPECT_NE(error.find("line 3: <xs:redefine> is not supported"), std::string::npos) << error;
  EXPECT_FALSE(DumpSchemaFile(xsd, &text, &error));
  for (const std::string& path : {xsd, bsg, xml, sxc_path}) remove(path.c_str());
}

}  // namespace
}  // namespace zoq
