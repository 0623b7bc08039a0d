// zoq schema and zoq sxc: compiling and showing binary schemas, and SXC
// conversion in both directions with the encoder's message on failure.
#include <gtest/gtest.h>

#include <filesystem>

#include "run_zoq.h"

namespace zoqtest {
namespace {

std::string Sxc(const std::string& file) { return TestDataDir() + "/sxc/" + file; }

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

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
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(Contains(run.err, "redefine")) << run.err;
  EXPECT_TRUE(Contains(run.err, "3")) << run.err;
  EXPECT_FALSE(std::filesystem::exists(scratch.path() + "/bad.bsg"));
}

TEST(ZoqSxc, DecodesToTheExpectedXml) {
  for (const char* name : {"doc_basic", "doc_mixed", "hb_flags23"}) {
    SCOPED_TRACE(name);
    std::string base = name;
    RunResult run = RunZoq({"sxc", "decode", "--schema", Sxc(base + ".bsg"), Sxc(base + ".sxc")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, ReadFileBytes(Sxc(base + ".expected.xml")));
  }
  RunResult failed =
      RunZoq({"sxc", "decode", "--schema", Sxc("hb_version2.bsg"), Sxc("hb_version2.sxc")});
  EXPECT_EQ(failed.status, 1);
  EXPECT_TRUE(failed.out.empty());
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
    EXPECT_TRUE(Contains(run.err, "zoq: ")) << run.err;
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
    EXPECT_TRUE(Contains(run.err, "usage: zoq")) << run.err;
  }
}

}  // namespace
}  // namespace zoqtest
