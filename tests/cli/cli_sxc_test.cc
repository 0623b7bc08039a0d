// zoq schema and zoq sxc: compiling and showing binary schemas, and SXC
// conversion in both directions with the encoder's message on failure; SXC
// parts read through zoq cat, with a schema named on the command line and
// in a PLIV document whose main part selects the schema beside the tool.
#include <gtest/gtest.h>

#include <zlib.h>

#include <filesystem>

#include "package_builder.h"
#include "run_zoq.h"

namespace zoqtest {
namespace {

using zoq::test::BuildPackage;

TEST(ZoqSchema, CompilesTheSameSchemaToTheSameFileAndDumpsIt) {
  ScratchFolder scratch;
  const std::string xsd = std::string(ZOQ_SOURCE_DIR) + "/Resource/schemas/pliv_full_v1.1.xsd";
  RunResult first = RunZoq({"schema", "compile", xsd, "-o", scratch.path() + "/a.bsg"});
  ASSERT_EQ(first.status, 0) << first.err;
  RunResult second = RunZoq({"schema", "compile", xsd, "-o", scratch.path() + "/b.bsg"});
  ASSERT_EQ(second.status, 0) << second.err;
  std::string bytes = ReadFileBytes(scratch.path() + "/a.bsg");
  EXPECT_FALSE(bytes.empty());
  EXPECT_EQ(bytes, ReadFileBytes(scratch.path() + "/b.bsg"));

  RunResult dump = RunZoq({"schema", "dump", scratch.path() + "/a.bsg"});
  ASSERT_EQ(dump.status, 0) << dump.err;
  EXPECT_FALSE(dump.out.empty());
}

TEST(ZoqSchema, NamesTheConstructItCannotCompile) {
  ScratchFolder scratch;
  WriteFileBytes(scratch.path() + "/bad.xsd",
                 "<xs:schema xmlns:xs=\"http://www.w3.org/2001/XMLSchema\">\n"
                 "  <xs:element name=\"a\" type=\"xs:string\"/>\n"
                 "  <xs:redefine schemaLocation=\"x.xsd\"/>\n"
                 "</xs:schema>\n");
  RunResult run =
      RunZoq({"schema", "compile", scratch.path() + "/bad.xsd", "-o", scratch.path() + "/bad.bsg"});
  ExpectFailure(run, 1, "redefine");
  EXPECT_TRUE(HasText(run.err, "3")) << run.err;
  EXPECT_FALSE(std::filesystem::exists(scratch.path() + "/bad.bsg"));
}

TEST(ZoqSxc, DecodesToTheExpectedXml) {
  ScratchFolder scratch;
  const std::string target = scratch.path() + "/out.xml";
  // doc_large's text goes out in many pieces.
  for (const char* name : {"doc_basic", "doc_mixed", "hb_flags23", "doc_large"}) {
    SCOPED_TRACE(name);
    std::string base = name;
    const std::string expected = ReadFileBytes(Sxc(base + ".expected.xml"));
    RunResult run = RunZoq({"sxc", "decode", "--schema", Sxc(base + ".bsg"), Sxc(base + ".sxc")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, expected);
    RunResult to_file = RunZoq(
        {"sxc", "decode", "--schema", Sxc(base + ".bsg"), Sxc(base + ".sxc"), "-o", target, "--force"});
    ASSERT_EQ(to_file.status, 0) << to_file.err;
    EXPECT_TRUE(to_file.out.empty());
    EXPECT_EQ(ReadFileBytes(target), expected);
  }
  RunResult failed =
      RunZoq({"sxc", "decode", "--schema", Sxc("hb_version2.bsg"), Sxc("hb_version2.sxc")});
  EXPECT_EQ(failed.status, 1);
  EXPECT_TRUE(failed.out.empty());
}

void PutInt(std::string* out, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out->push_back(static_cast<char>(value >> shift));
}

// A document of a self-nesting element with long names whose structure nests
// deeper than the decoder accepts: the decode fails only after more than
// 64 KiB of its text went out.
std::string DeepDocument(const ScratchFolder& scratch, const std::string& bsg) {
  const std::string name(40, 'n');
  WriteFileBytes(scratch.path() + "/nest.xsd",
                 "<xs:schema xmlns:xs=\"http://www.w3.org/2001/XMLSchema\">\n"
                 "  <xs:complexType name=\"nest\"><xs:sequence>\n"
                 "    <xs:element name=\"" + name + "\" type=\"nest\" minOccurs=\"0\"/>\n"
                 "  </xs:sequence></xs:complexType>\n"
                 "  <xs:element name=\"" + name + "\" type=\"nest\"/>\n"
                 "</xs:schema>\n");
  WriteFileBytes(scratch.path() + "/nest.xml", "<" + name + "/>");
  const std::string small = scratch.path() + "/nest.sxc";
  if (RunZoq({"schema", "compile", scratch.path() + "/nest.xsd", "-o", bsg}).status != 0 ||
      RunZoq({"sxc", "encode", "--schema", bsg, scratch.path() + "/nest.xml", "-o", small}).status != 0) {
    return {};
  }
  // Signature, version, identifier, reserved byte and flags (structure only)
  // from the encoded small document; then a structure in which every
  // element holds its optional child, 2,100 levels deep.
  std::string document = ReadFileBytes(small).substr(0, 27);
  const std::string structure(2100, '\x80');
  uLongf size = compressBound(structure.size());
  std::string compressed(size, '\0');
  if (compress(reinterpret_cast<Bytef*>(compressed.data()), &size,
               reinterpret_cast<const Bytef*>(structure.data()), structure.size()) != Z_OK) {
    return {};
  }
  compressed.resize(size);
  PutInt(&document, 35);
  PutInt(&document, static_cast<uint32_t>(compressed.size()));
  return document + compressed;
}

TEST(ZoqSxc, AFailedDecodeLeavesNoFileBehind) {
  ScratchFolder scratch;
  const std::string bsg = scratch.path() + "/nest.bsg";
  const std::string deep = scratch.path() + "/deep.sxc";
  const std::string document = DeepDocument(scratch, bsg);
  ASSERT_FALSE(document.empty());
  WriteFileBytes(deep, document);

  const std::string target = scratch.path() + "/out.xml";
  RunResult to_file = RunZoq({"sxc", "decode", "--schema", bsg, deep, "-o", target});
  ExpectFailure(to_file, 1, "deeper");
  EXPECT_FALSE(std::filesystem::exists(target));
  for (const auto& entry : std::filesystem::directory_iterator(scratch.path())) {
    EXPECT_NE(entry.path().filename().string()[0], '.') << "temporary file left: " << entry.path();
  }

  WriteFileBytes(target, "kept");
  EXPECT_EQ(RunZoq({"sxc", "decode", "--schema", bsg, deep, "-o", target}).status, 1);
  EXPECT_EQ(ReadFileBytes(target), "kept");

  // Standard output cannot be taken back: the text up to the failure went
  // out, and the status says it is incomplete.
  RunResult to_stdout = RunZoq({"sxc", "decode", "--schema", bsg, deep});
  EXPECT_EQ(to_stdout.status, 1);
  EXPECT_GT(to_stdout.out.size(), size_t{1} << 16);
  EXPECT_TRUE(HasText(to_stdout.err, "deeper")) << to_stdout.err;
}

TEST(ZoqSxc, EncodesWhatDecodesBackToTheExpectedXml) {
  ScratchFolder scratch;
  const std::string encoded = scratch.path() + "/doc.sxc";
  RunResult encode = RunZoq(
      {"sxc", "encode", "--schema", Sxc("doc_basic.bsg"), Sxc("doc_basic.xml"), "-o", encoded});
  ASSERT_EQ(encode.status, 0) << encode.err;
  EXPECT_TRUE(encode.out.empty());
  RunResult decode = RunZoq({"sxc", "decode", "--schema", Sxc("doc_basic.bsg"), encoded});
  ASSERT_EQ(decode.status, 0) << decode.err;
  EXPECT_EQ(decode.out, ReadFileBytes(Sxc("doc_basic.expected.xml")));
}

TEST(ZoqSxc, EncodeFailureShowsOnlyTheEncoderMessageOnStandardOutput) {
  ScratchFolder scratch;
  for (const char* name : {"fail_all_repeat", "fail_order", "fail_unknown_text"}) {
    SCOPED_TRACE(name);
    std::string base = name;
    const std::string target = scratch.path() + "/" + base + ".sxc";
    RunResult run =
        RunZoq({"sxc", "encode", "--schema", Sxc(base + ".bsg"), Sxc(base + ".xml"), "-o", target});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, ReadFileBytes(Sxc(base + ".expected-fail.txt")));
    EXPECT_TRUE(HasText(run.err, "zoq: ")) << run.err;
    EXPECT_FALSE(std::filesystem::exists(target));
  }
}

TEST(ZoqSxc, MisuseIsAUsageError) {
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"sxc", "decode", Sxc("doc_basic.sxc")},
           {"sxc", "convert", "--schema", Sxc("doc_basic.bsg"), Sxc("doc_basic.sxc")},
           {"schema", "compile", "x.xsd"},
           {"schema", "explain", "x.bsg"},
       }) {
    RunResult run = RunZoq(args);
    EXPECT_EQ(run.status, 2) << args[1];
    EXPECT_TRUE(HasText(run.err, "usage: zoq")) << run.err;
  }
}

TEST(ZoqSxcParts, DecodeWithTheSchemaGivenOnTheCommandLine) {
  ScratchFolder scratch;
  const std::string package = scratch.path() + "/doc.zoq";
  const std::string sxc = ReadFileBytes(Sxc("doc_basic.sxc"));
  WriteFileBytes(package, BuildPackage({{"/doc.xml", {1}, sxc}}));

  RunResult decoded = RunZoq({"cat", "--schema", Sxc("doc_basic.bsg"), package, "/doc.xml"});
  ASSERT_EQ(decoded.status, 0) << decoded.err;
  EXPECT_EQ(decoded.out, ReadFileBytes(Sxc("doc_basic.expected.xml")));

  RunResult kept = RunZoq({"cat", "--keep", "sxc", package, "/doc.xml"});
  ASSERT_EQ(kept.status, 0) << kept.err;
  EXPECT_EQ(kept.out, sxc);

  ExpectFailure(RunZoq({"cat", package, "/doc.xml"}), 1, "zoq: error 5068");
  ExpectFailure(RunZoq({"cat", "--schema", scratch.path() + "/none.bsg", package, "/doc.xml"}), 1,
                "zoq: error 5068");
}

TEST(ZoqSxcParts, PlivDocumentSelectsTheBundledSchema) {
  ScratchFolder scratch;
  const std::string schema =
      std::string(ZOQ_BUILD_DIR) + "/src/cli/Resource/BinarySchema/PLIV_Full_v1.1.bsg";
  const std::string xml_file = scratch.path() + "/body.xml";
  WriteFileBytes(xml_file,
                 "<document id='d1' version='1.1' lang='en'>"
                 "<metadata><author>Ann</author><title>Report</title></metadata>"
                 "<section id='s1' level='1'><heading>Intro</heading>"
                 "<para>Text with <strong>bold</strong> words.</para></section>"
                 "</document>");
  RunResult encoded = RunZoq({"sxc", "encode", "--schema", schema, xml_file});
  ASSERT_EQ(encoded.status, 0) << encoded.out << encoded.err;
  const std::string sxc_file = scratch.path() + "/body.sxc";
  WriteFileBytes(sxc_file, encoded.out);
  RunResult reference = RunZoq({"sxc", "decode", "--schema", schema, sxc_file});
  ASSERT_EQ(reference.status, 0) << reference.err;

  // Version "1.1" is a document version below 258: a version 1.0 package.
  const std::string main_part = "<doc SubsetType=\"PLIV_Full\" Version=\"1.1\"/>";
  const std::string package =
      BuildPackage({{"/__main.xml", {}, main_part}, {"/body.xml", {1}, encoded.out}}, 0x0100);
  WriteFileBytes(scratch.path() + "/report.pliv", package);
  WriteFileBytes(scratch.path() + "/report.zoq", package);

  RunResult pliv = RunZoq({"cat", scratch.path() + "/report.pliv", "/body.xml"});
  ASSERT_EQ(pliv.status, 0) << pliv.err;
  EXPECT_EQ(pliv.out, reference.out);
  RunResult info = RunZoq({"info", scratch.path() + "/report.pliv"});
  EXPECT_TRUE(HasText(info.out, "PLIV_Full_v1.1.bsg")) << info.out;

  // The document type travels with the package, whatever its name.
  RunResult plain = RunZoq({"cat", scratch.path() + "/report.zoq", "/body.xml"});
  ASSERT_EQ(plain.status, 0) << plain.err;
  EXPECT_EQ(plain.out, reference.out);
  // --docver overrides the main part's version (258 needs a format 1.1
  // package).
  ExpectFailure(RunZoq({"cat", "--docver", "258", scratch.path() + "/report.zoq", "/body.xml"}), 1,
                "zoq: error 10050586");
}

}  // namespace
}  // namespace zoqtest
