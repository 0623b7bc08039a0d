// SXC-coded parts read through zoq cat: with a schema named on the command
// line, and in a PLIV document whose main part selects the schema beside the
// tool.
#include <gtest/gtest.h>

#include "package_builder.h"
#include "run_zoq.h"

namespace zoqtest {
namespace {

using zoq::test::BuildPackage;

std::string Sxc(const std::string& file) { return TestDataDir() + "/sxc/" + file; }

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
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

  RunResult without = RunZoq({"cat", package, "/doc.xml"});
  EXPECT_EQ(without.status, 1);
  EXPECT_TRUE(Contains(without.err, "zoq: error 5068")) << without.err;

  RunResult missing =
      RunZoq({"cat", "--schema", scratch.path() + "/none.bsg", package, "/doc.xml"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_TRUE(Contains(missing.err, "zoq: error 5068")) << missing.err;
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
  EXPECT_TRUE(Contains(info.out, "PLIV_Full_v1.1.bsg")) << info.out;

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
