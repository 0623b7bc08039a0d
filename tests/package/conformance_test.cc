// Every package of the conformance corpus must read exactly as its
// .expected.json describes: open result, layout, tree, part information,
// content (decoded, stored, first code kept) at every revision, and the
// verification of check bytes.
#include <gtest/gtest.h>

#include "corpus_checks.h"
#include "json_value.h"
#include "zoq/container.h"
#include "zoq/package_layout.h"
#include "test_util.h"

namespace zoq::test {
namespace {

class ConformanceTest : public ::testing::TestWithParam<std::string> {};

TEST_P(ConformanceTest, ReadsAsExpected) {
  const std::string base = DataDir() + "/" + GetParam();
  const JsonValue expected = JsonValue::ParseFile(base + ".expected.json");

  const JsonValue& args = expected["args"];
  const int limit = static_cast<int>(args["limit"].AsInt());
  std::vector<uint8_t> key_bytes;
  const KeyInfo key = CaseKey(args, &key_bytes);

  auto container = MakeContainer();
  ASSERT_NE(container, nullptr);
  const std::string file = base + ".zoq";
  int open = limit == 0 ? container->OpenFile(file, true) : container->OpenFileAt(file, limit);
  ASSERT_EQ(open, expected["open"].AsInt());
  if (open != 0) {
    EXPECT_EQ(container->GetRevisionCount(), 0);
    EXPECT_EQ(container->GetNode(u"/"), nullptr);
    return;
  }
  if (args["docver"].AsInt() != 0) {
    // A type the package refuses shows in the results compared below.
    container->SetDocumentType(0, static_cast<int>(args["docver"].AsInt())).IgnoreError();
  }

  // Layout.
  PackageLayout layout;
  ASSERT_EQ(ReadPackageLayoutFile(file, limit, &layout), 0);
  const JsonValue& header = expected["header"];
  EXPECT_EQ(container->GetContainerVersion(), header["version"].AsInt());
  EXPECT_EQ(layout.header.width, header["width"].AsInt());
  EXPECT_EQ(layout.header.width_byte, header["width_byte"].AsInt());
  EXPECT_EQ(layout.header.reserved, header["reserved"].AsInt());
  EXPECT_EQ(layout.header.entry_count, header["entry_count"].AsInt());
  EXPECT_EQ(layout.header.first_entry, header["first_entry"].AsInt());
  EXPECT_EQ(container->GetRevisionCount(), expected["revision_count"].AsInt());
  const auto& entries = expected["entries"].Items();
  ASSERT_EQ(layout.entries.size(), entries.size());
  for (size_t i = 0; i < entries.size(); ++i) {
    SCOPED_TRACE("entry " + std::to_string(i));
    EXPECT_EQ(layout.entries[i].offset, entries[i]["offset"].AsInt());
    EXPECT_EQ(layout.entries[i].bitstream, entries[i]["bitstream"].AsInt());
    EXPECT_EQ(layout.entries[i].next, entries[i]["next"].AsInt());
    EXPECT_EQ(layout.entries[i].length, entries[i]["length"].AsInt());
    EXPECT_EQ(layout.entries[i].name_table_length, entries[i]["name_table_length"].AsInt());
    EXPECT_EQ(layout.entries[i].table_flags, entries[i]["table_flags"].AsInt());
    EXPECT_EQ(static_cast<int64_t>(layout.entries[i].records.size()),
              entries[i]["records"].AsInt());
  }

  // Tree and listing.
  ASSERT_NO_FATAL_FAILURE(ExpectTreeAndListing(container.get(), expected));
  for (const JsonValue& gone : expected["deleted_paths"].Items()) {
    EXPECT_EQ(container->GetPathKind(U16(gone.AsString())), kPathNotFound) << gone.AsString();
    EXPECT_EQ(container->GetNode(U16(gone.AsString())), nullptr) << gone.AsString();
  }

  // Parts.
  for (const auto& [path8, part] : expected["parts"].Members()) {
    SCOPED_TRACE(path8);
    const std::u16string path = U16(path8);
    EXPECT_EQ(container->GetPathKind(path), kPathPart);
    PartInfo info;
    ASSERT_EQ(container->GetPartInfoByPath(&info, path, 0), 0);
    EXPECT_EQ(U8(info.path), path8);
    ExpectInfo(part["info"], info, true);
    EXPECT_EQ(container->IsPartSkippable(path), part["is_skippable"].AsBool());

    std::vector<uint8_t> bytes;
    DecodeOptions full{kEcsEnd, &key};
    {
      SCOPED_TRACE("content");
      ExpectContent(part["content"], ReadContent(container.get(), path, 0, &full, false, &bytes),
                    bytes);
    }
    {
      SCOPED_TRACE("stored");
      // Through ReadPart: the length first, then the bytes.
      DecodeOptions stored{0, &key};
      int64_t length = 0;
      int code = container->ReadPart(path, nullptr, &length, 0, &stored);
      bytes.assign(static_cast<size_t>(std::max<int64_t>(length, 0)), 0);
      if (code == 0) code = container->ReadPart(path, bytes.data(), &length, 0, &stored);
      ExpectContent(part["stored"], code, bytes);
    }
    if (part.Has("first_code")) {
      SCOPED_TRACE("first code");
      DecodeOptions first{static_cast<int>(part["first_code"]["code"].AsInt()), &key};
      ExpectContent(part["first_code"],
                    ReadContent(container.get(), path, 0, &first, true, &bytes), bytes);
    }
    for (const auto& [limit_text, at] : part["history"].Members()) {
      SCOPED_TRACE("history " + limit_text);
      const int at_limit = std::stoi(limit_text);
      PartInfo old;
      ASSERT_EQ(container->GetPartInfoByPath(&old, path, at_limit), 0);
      ExpectInfo(at["info"], old, true);
      // Through ExtractPart into a temporary file of the container.
      std::string extracted;
      int code = container->ExtractPart(path, &extracted, at_limit, &full);
      bytes.clear();
      if (code == 0) bytes = ReadFileBytes(extracted);
      ExpectContent(at["content"], code, bytes);
    }
  }

  EXPECT_EQ(container->VerifyChecks(false), expected["verify"]["current"].AsInt());
  EXPECT_EQ(container->VerifyChecks(true), expected["verify"]["all"].AsInt());
  EXPECT_EQ(container->ReleasePartCopies(u"*"), 0);
}

INSTANTIATE_TEST_SUITE_P(Corpus, ConformanceTest,
                         ::testing::ValuesIn(CorpusNames(".expected.json")),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                           return info.param;
                         });

}  // namespace
}  // namespace zoq::test
