// The encoder's matcher: what it accepts, what it refuses, and that it never
// reports success for output that decodes to another document.
#include <gtest/gtest.h>

#include <dirent.h>

#include <climits>

#include "sxc/schema_codec.h"
#include "sxc/schema_loader.h"
#include "sxc/sxc_encoder.h"
#include "test_util.h"

namespace zoq {
namespace {

constexpr char kDecl[] = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";

std::string Expect(const std::string& body) { return kDecl + body; }

class RecEncoderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    codec_ = test::CorpusCodec("rec_types");
    ASSERT_NE(codec_, nullptr);
  }
  bool Fails(const std::string& xml, EncodeReport* report) {
    std::vector<uint8_t> sxc;
    const bool ok = test::Encode(*codec_, xml, &sxc, report);
    EXPECT_TRUE(ok || sxc.empty());
    return !ok;
  }
  std::unique_ptr<SchemaCodec> codec_;
};

TEST_F(RecEncoderTest, TypedValuesAndDroppedAttributes) {
  EXPECT_EQ(test::RoundTrip(*codec_, "<record q:x='1' zz='2' a_int=' 42abc' id='i'><flag>TRUE</flag>"
                                     "<flag>yes</flag><num>9999999999</num><dbl>1e3</dbl></record>"),
            Expect("<record id=\"i\" a_int=\"42\"><flag>true</flag><flag>false</flag>"
                   "<num>2147483647</num><dbl>1000</dbl></record>"));
}

TEST_F(RecEncoderTest, EmptyNumericContentFails) {
  EncodeReport report;
  EXPECT_TRUE(Fails("<record id='x'><num></num></record>", &report));
  EXPECT_NE(report.reason.find("'num' is empty"), std::string::npos) << report.reason;
  EXPECT_EQ(report.message, "\ninvalidate node found in endElement: record(localname)");
  EXPECT_TRUE(Fails("<record id='x'><flag/></record>", &report));
  EXPECT_TRUE(Fails("<record id='x'><dbl></dbl></record>", &report));
  EXPECT_TRUE(Fails("<record id='x' a_bool=''/>", &report));
  // Empty text stays fine.
  EXPECT_EQ(test::RoundTrip(*codec_, "<record id=''><txt/></record>"),
            Expect("<record id=\"\"><txt></txt></record>"));
}

// A value stream of several MiB is compressed in chunks while the document
// is parsed; the result decodes to the document, and a run that fails after
// chunks were shipped writes nothing.
TEST_F(RecEncoderTest, LongStreamsCompressedWhileParsing) {
  std::string text;
  for (int i = 0; text.size() < (size_t{5} << 19); ++i) text += "value " + std::to_string(i * 7919 % 100003) + " ";
  const std::string xml = "<record id='x'><txt>" + text + "</txt></record>";
  EXPECT_EQ(test::RoundTrip(*codec_, xml), Expect("<record id=\"x\"><txt>" + text + "</txt></record>"));
  EncodeReport report;
  EXPECT_TRUE(Fails(xml + "<late/>", &report));
}

TEST_F(RecEncoderTest, UndeclaredAttributesDoNotStandInForRequiredOnes) {
  EncodeReport report;
  EXPECT_TRUE(Fails("<record other='1'><txt>a</txt></record>", &report));
  EXPECT_NE(report.reason.find("required attribute 'id'"), std::string::npos) << report.reason;
  EXPECT_NE(report.reason.find("line 1"), std::string::npos) << report.reason;
}

TEST_F(RecEncoderTest, AnythingAfterTheRootFails) {
  EncodeReport report;
  EXPECT_TRUE(Fails("<record id='x'/>junk", &report));
  EXPECT_EQ(report.message, "") << "a parser error prints nothing";
  EXPECT_NE(report.reason.find("XML error"), std::string::npos) << report.reason;
  EXPECT_TRUE(Fails("<record id='x'/><record id='y'/>", &report));
  EXPECT_TRUE(Fails("<record id='x'>", &report));
  EXPECT_TRUE(Fails("", &report));
  EXPECT_EQ(test::RoundTrip(*codec_, "<record id='x'/>\n  <!-- fine -->\n"), Expect("<record id=\"x\"></record>"));
}

TEST_F(RecEncoderTest, RepeatedSingleElementInSequenceFails) {
  // t5 may occur once; the matcher re-enters the completed sequence, but the
  // result would decode to one t5 only.
  EncodeReport report;
  EXPECT_TRUE(Fails("<record id='x'><t5>a</t5><t5>b</t5></record>", &report));
  EXPECT_EQ(report.message, "");
  EXPECT_FALSE(report.reason.empty());
  // A second occurrence of a sequence that may occur twice is fine.
  EXPECT_EQ(test::RoundTrip(*codec_, "<record id='x'><px>1</px><py>2</py><px>3</px><py>4</py></record>"),
            Expect("<record id=\"x\"><px>1</px><py>2</py><px>3</px><py>4</py></record>"));
  EXPECT_TRUE(Fails("<record id='x'><px>1</px><py>2</py><px>3</px><py>4</py><px>5</px><py>6</py></record>",
                    &report));
}

TEST_F(RecEncoderTest, ReportsOnlyTheFirstMessage) {
  EncodeReport report;
  testing::internal::CaptureStdout();
  std::vector<uint8_t> sxc;
  EXPECT_FALSE(codec_->EncodeDocument("<record id='x'><bag><k2>1</k2><k2>2</k2></bag><zz/></record>", 59, &sxc,
                                      &report));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "\nerror syntax of ALL: (node name)");
  EXPECT_EQ(report.message, "\nerror syntax of ALL: (node name)");
}

// r: a sequence of a choice (0..*) between a* and b, then c.
class ChoiceEncoderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::BsgBuilder b;
    const int r = b.Element("r", kTextValue, 1, 1);
    const int seq = b.Group(kSequenceNode, 1, 1);
    const int choice = b.Group(kChoiceNode, 0, -1);
    const int a = b.Element("a", kTextValue, 1, -1);
    const int bb = b.Element("b", kIntegerValue, 1, 1);
    const int c = b.Element("c", kTextValue, 0, 1);
    const int m = b.Element("m", kTextValue, 0, 1, true);
    const int once = b.Group(kChoiceNode, 0, 1);
    const int d = b.Element("d", kTextValue, 1, -1);
    const int e = b.Element("e", kTextValue, 1, 1);
    b.SetChildren(r, {seq, m, once});
    b.SetChildren(seq, {choice, c});
    b.SetChildren(choice, {a, bb});
    b.SetChildren(m, {e});
    b.SetChildren(once, {d, e});
    b.SetRoots({r});
    codec_ = b.Codec();
    ASSERT_NE(codec_, nullptr);
  }
  std::unique_ptr<SchemaCodec> codec_;
};

TEST_F(ChoiceEncoderTest, AlternativesRepeatsAndMixedContent) {
  // Another alternative starts a new occurrence of the choice; a choice that
  // may occur once repeats its one alternative; mixed content keeps every
  // text run.
  for (const char* xml : {"<r><a>1</a><a>2</a><b>3</b><a>4</a><c>5</c></r>", "<r><d>1</d><d>2</d></r>",
                          "<r><m>x &amp; <e>in</e> y</m></r>"}) {
    EXPECT_EQ(test::RoundTrip(*codec_, xml), Expect(xml));
  }
  // Two alternatives of a choice that may occur once; m without its
  // required e; m twice. Each would decode to a different document.
  for (const char* xml : {"<r><d>1</d><e>2</e></r>", "<r><m/></r>", "<r><m>1</m><m>2</m></r>"}) {
    EncodeReport report;
    std::vector<uint8_t> sxc;
    EXPECT_FALSE(test::Encode(*codec_, xml, &sxc, &report)) << xml;
    EXPECT_TRUE(sxc.empty()) << xml;
  }
}

TEST(EncoderFileTest, MissingInputFailsAndWritesNothing) {
  auto codec = test::CorpusCodec("rec_types");
  ASSERT_NE(codec, nullptr);
  const std::string output = test::TempPath(".sxc");
  EncodeReport report;
  report.print_messages = false;
  EXPECT_FALSE(codec->EncodeFile("/nonexistent/in.xml", output, &report));
  EXPECT_FALSE(test::FileExists(output));
  EXPECT_NE(report.reason.find("cannot open"), std::string::npos);
}

}  // namespace
}  // namespace zoq

namespace zoq {
namespace {

// Two required groups side by side before any element: the matcher enters
// the second inside the first, so the stored structure would not match the
// document. The run must fail rather than store something else.
TEST(EncoderSelfCheckTest, NestedLeadingGroupsNeverStoreAnotherDocument) {
  test::BsgBuilder b;
  const int r = b.Element("r", kTextValue, 1, 1);
  const int first = b.Group(kSequenceNode, 1, 1);
  const int second = b.Group(kSequenceNode, 1, 1);
  const int a = b.Element("a", kIntegerValue, 1, 1);
  const int c = b.Element("c", kIntegerValue, 0, 1);
  b.SetChildren(r, {first, second});
  b.SetChildren(first, {a});
  b.SetChildren(second, {c});
  b.SetRoots({r});
  auto codec = b.Codec();
  ASSERT_NE(codec, nullptr);
  const std::string result = test::RoundTrip(*codec, "<r><a>1</a><c>2</c></r>");
  EXPECT_TRUE(result == Expect("<r><a>1</a><c>2</c></r>") || result.rfind("FAILED", 0) == 0) << result;
}

}  // namespace
}  // namespace zoq

namespace zoq {
namespace {

struct Encoded {
  bool ok;
  std::vector<uint8_t> sxc;
  std::string reason, message, printed;
};

Encoded EncodeWith(const BinarySchema& schema, const std::string& xml, size_t piped_minimum) {
  Encoded result;
  EncodeReport report;
  testing::internal::CaptureStdout();
  SxcEncoder encoder(schema, &report);
  encoder.SetPipedMinimum(piped_minimum);
  result.ok = encoder.EncodeBuffer(xml.data(), xml.size(), &result.sxc);
  result.printed = testing::internal::GetCapturedStdout();
  result.reason = report.reason;
  result.message = report.message;
  return result;
}

// Parsing on one thread and matching on another gives the same bytes as
// one thread for every corpus document, and a document that fails part way
// (after many relay blocks) fails with the same reason and message, printed
// once.
TEST(PipedEncoderTest, SameBytesAndFailuresAsOneThread) {
  std::vector<std::pair<std::string, std::string>> cases;  // schema, XML
  DIR* dir = opendir(test::DataDir().c_str());
  ASSERT_NE(dir, nullptr);
  while (dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    const size_t dot = name.find('.');
    if (dot == std::string::npos || name.substr(dot) != ".xml") continue;
    const std::string base = test::DataDir() + "/" + name.substr(0, dot);
    if (test::FileExists(base + ".bsg")) cases.emplace_back(base + ".bsg", test::ReadFile(base + ".xml"));
  }
  closedir(dir);
  ASSERT_GT(cases.size(), 20u);
  const std::string rec = test::DataDir() + "/rec_types.bsg";
  std::string many;
  for (int i = 0; i < 4000; ++i) many += "<txt>value " + std::to_string(i) + "</txt>\n";
  const std::string open = "<record id='x'>", close = "</record>";
  for (const std::string& tail : {close, "<num></num>" + close, "<bag><k2>1</k2><k2>2</k2></bag><zz/>" + close,
                                  "<txt>a</tx>" + close, close + "<late/>"}) {
    cases.emplace_back(rec, open + many + tail);
  }
  for (const auto& [bsg, xml] : cases) {
    std::shared_ptr<const BinarySchema> schema;
    std::string error;
    ASSERT_TRUE(LoadBinarySchema(bsg, &schema, &error)) << error;
    const Encoded one = EncodeWith(*schema, xml, SIZE_MAX);
    const Encoded piped = EncodeWith(*schema, xml, 0);
    EXPECT_EQ(piped.ok, one.ok) << bsg;
    EXPECT_TRUE(piped.sxc == one.sxc) << bsg;
    EXPECT_EQ(piped.reason, one.reason) << bsg;
    EXPECT_EQ(piped.message, one.message) << bsg;
    EXPECT_EQ(piped.printed, one.printed) << bsg;
  }
}

}  // namespace
}  // namespace zoq
