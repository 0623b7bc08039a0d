// The writer's structures read back through the reader's own functions.
#include "package/entry_writer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "package/byte_io.h"
#include "zoq/codes.h"
#include "package/entry_reader.h"
#include "package/item_record.h"
#include "zoq/package_layout.h"
#include "stream/dynamic_memory_stream.h"
#include "stream/memory_stream.h"
#include "test_util.h"

namespace zoq {
namespace {

using test::U16;

std::unique_ptr<Stream> MemoryOf(const std::vector<uint8_t>& bytes) {
  auto stream = std::make_unique<CVelDynamicMemoryStream>();
  EXPECT_EQ(stream->Open(kModeReadWriteNew), kOk);
  if (!bytes.empty()) {
    EXPECT_EQ(stream->Write(bytes.data(), bytes.size()), kOk);
  }
  return stream;
}

// A package in memory that holds only its header.
std::unique_ptr<Stream> HeaderOnly(int width, int version) {
  auto package = MemoryOf({});
  HeaderFacts header;
  header.version = version;
  header.width = width;
  EXPECT_EQ(WriteHeader(package.get(), header), kOk);
  return package;
}

std::vector<uint8_t> Text(const std::string& s) { return {s.begin(), s.end()}; }

struct Fixture {
  std::vector<std::unique_ptr<Stream>> sources;
  std::vector<RecordToWrite> records;
  void Add(int type, const std::string& path, const std::vector<uint8_t>& stored,
           std::vector<uint8_t> codes = {}, bool skippable = false) {
    RecordToWrite record;
    record.type = type;
    record.path = U16(path);
    record.skippable = skippable;
    record.code_count = static_cast<int>(codes.size());
    std::copy(codes.begin(), codes.end(), record.codes.begin());
    if (type >= kRecordCreated && type <= kRecordReplaced) {
      sources.push_back(MemoryOf(stored));
      record.data = sources.back().get();
      record.stored_size = static_cast<int64_t>(stored.size());
    }
    records.push_back(record);
  }
};

std::vector<uint8_t> ReadRecordData(Stream* package, int64_t bitstream, int width,
                                    int64_t offset, ItemRecord* record) {
  record->type = kRecordCreated;
  record->data_offset = offset;
  EXPECT_EQ(LoadDataRecord(package, bitstream, width, record), kOk);
  StoredData& stored = record->Stored();
  std::vector<uint8_t> out(static_cast<size_t>(stored.stored_size));
  EXPECT_EQ(stored.data->Open(kModeRead), kOk);
  if (!out.empty()) {
    EXPECT_EQ(ReadExact(stored.data.get(), out.data(), out.size()), kOk);
  }
  return out;
}

class EntryWriterWidths : public ::testing::TestWithParam<std::tuple<int, int>> {};

TEST_P(EntryWriterWidths, EntryReadsBackWithEveryTableFlag) {
  const auto [width, flags] = GetParam();
  auto package = HeaderOnly(width, 0x0101);

  Fixture fixture;
  fixture.Add(kRecordCreated, "/Doc/a.xml", Text("alpha"), {2});
  fixture.Add(kRecordDeleted, "/old.txt", {});
  fixture.Add(kRecordAppended, "/Doc/a.xml", Text("beta"), {}, true);
  fixture.Add(kRecordReplaced, "/Ünïcode/名前.bin", {}, {2, 128, 1});
  EntryFacts written;
  ASSERT_EQ(WriteEntry(package.get(), width, 0x0101, static_cast<uint8_t>(flags),
                       &fixture.records, &written),
            kOk);
  ASSERT_EQ(LinkEntry(package.get(), width, 0, written.offset, 1), kOk);

  PackageLayout layout;
  ASSERT_EQ(ReadPackageLayout(package.get(), 0, &layout), kOk);
  EXPECT_EQ(layout.header.width, width);
  EXPECT_EQ(layout.header.width_byte, width);
  ASSERT_EQ(layout.entries.size(), 1u);
  const EntryFacts& entry = layout.entries[0];
  EXPECT_EQ(entry.offset, written.offset);
  EXPECT_EQ(entry.offset, 22 + width);
  EXPECT_GT(entry.bitstream, entry.offset);
  EXPECT_EQ(entry.table_flags, flags);
  ASSERT_EQ(entry.records.size(), 4u);
  EXPECT_EQ(entry.records[0].path, U16("/Doc/a.xml"));
  EXPECT_EQ(entry.records[1].type, kRecordDeleted);
  EXPECT_EQ(entry.records[1].data_offset, 0);
  EXPECT_TRUE(entry.records[2].skippable);
  EXPECT_EQ(entry.records[3].path, U16("/Ünïcode/名前.bin"));
  EXPECT_EQ(entry.records[0].data_offset, 4);

  ItemRecord first, appended, empty;
  auto data_of = [&](size_t record, ItemRecord* read) {
    return ReadRecordData(package.get(), entry.bitstream, width, entry.records[record].data_offset,
                          read);
  };
  EXPECT_EQ(data_of(0, &first), Text("alpha"));
  EXPECT_EQ(first.Stored().code_count, 1);
  EXPECT_EQ(first.Stored().codes[0], 2);
  EXPECT_EQ(first.Stored().check_byte, 'a' ^ 'l' ^ 'p' ^ 'h' ^ 'a');
  EXPECT_EQ(data_of(2, &appended), Text("beta"));
  EXPECT_EQ(data_of(3, &empty), std::vector<uint8_t>{});
  EXPECT_EQ(empty.Stored().code_count, 3);
  EXPECT_EQ(empty.Stored().check_byte, 0);
}

INSTANTIATE_TEST_SUITE_P(All, EntryWriterWidths,
                         ::testing::Combine(::testing::Values(2, 4, 8),
                                            ::testing::Values(0, 1, 2, 3)));

TEST(EntryWriter, SecondEntryLinksAfterFirstAndKeepsIt) {
  auto package = HeaderOnly(4, 0x0101);
  Fixture one, two;
  one.Add(kRecordCreated, "/a", Text("1"));
  two.Add(kRecordReplaced, "/a", Text("22"));
  EntryFacts first, second;
  ASSERT_EQ(WriteEntry(package.get(), 4, 0x0101, 0, &one.records, &first), kOk);
  ASSERT_EQ(LinkEntry(package.get(), 4, 0, first.offset, 1), kOk);
  ASSERT_EQ(WriteEntry(package.get(), 4, 0x0101, 3, &two.records, &second), kOk);

  // Written but not yet counted: the package still reads as one revision.
  ASSERT_EQ(PatchNextEntry(package.get(), 4, first.offset, second.offset), kOk);
  PackageLayout layout;
  ASSERT_EQ(ReadPackageLayout(package.get(), 0, &layout), kOk);
  EXPECT_EQ(layout.entries.size(), 1u);

  ASSERT_EQ(PatchEntryCount(package.get(), 2), kOk);
  ASSERT_EQ(ReadPackageLayout(package.get(), 0, &layout), kOk);
  ASSERT_EQ(layout.entries.size(), 2u);
  EXPECT_EQ(layout.entries[1].records[0].type, kRecordReplaced);
  EXPECT_EQ(layout.entries[0].next, second.offset);
}

TEST(EntryWriter, BitStreamBeforeEntryHeader) {
  auto package = HeaderOnly(2, 0x0100);
  ASSERT_EQ(package->Seek(0, kSeekEnd), kOk);
  const int64_t bitstream = package->Tell();
  ASSERT_EQ(package->Write("C.BS", 4), kOk);
  Fixture fixture;
  fixture.Add(kRecordCreated, "/x.bin", Text("xyz"), {}, true);
  fixture.records[0].data_offset = package->Tell() - bitstream;
  ASSERT_EQ(WriteDataRecord(package.get(), 2, nullptr, 0, fixture.records[0].data, 3, nullptr,
                            nullptr),
            kOk);
  EntryFacts facts;
  ASSERT_EQ(WriteEntryAfterBitStream(package.get(), 2, 0x0100, 0, bitstream, fixture.records,
                                     &facts),
            kOk);
  ASSERT_EQ(LinkEntry(package.get(), 2, 0, facts.offset, 1), kOk);
  PackageLayout layout;
  ASSERT_EQ(ReadPackageLayout(package.get(), 0, &layout), kOk);
  ASSERT_EQ(layout.entries.size(), 1u);
  EXPECT_LT(layout.entries[0].bitstream, layout.entries[0].offset);
  // A version 1.0 package never carries the skippable flag.
  EXPECT_FALSE(layout.entries[0].records[0].skippable);
  ItemRecord record;
  EXPECT_EQ(ReadRecordData(package.get(), bitstream, 2, 4, &record), Text("xyz"));
}

TEST(EntryWriter, EndRecordNamesFirstSkippableData) {
  Fixture fixture;
  fixture.Add(kRecordCreated, "/a", Text("aaaa"));
  fixture.Add(kRecordCreated, "/b", Text("b"), {}, true);
  fixture.Add(kRecordCreated, "/c", Text("c"), {}, true);
  ASSERT_EQ(AssignDataOffsets(&fixture.records, 4), kOk);
  EXPECT_EQ(fixture.records[1].data_offset, 4 + 6 + 4);
  std::vector<uint8_t> list;
  ASSERT_EQ(BuildItemList(fixture.records, 4, 0x0101, &list), kOk);
  ASSERT_EQ(list.size(), 4u * 21);
  EXPECT_EQ(list[3 * 21], kRecordListEnd);
  EXPECT_EQ(LoadLittle(&list[3 * 21 + 1], 4), 14u);
  ASSERT_EQ(BuildItemList(fixture.records, 4, 0x0100, &list), kOk);
  EXPECT_EQ(LoadLittle(&list[3 * 21 + 1], 4), 0u);
  EXPECT_EQ(list[21] & 0x10, 0);
}

TEST(EntryWriter, RefusesWhatCannotBeStored) {
  Fixture fixture;
  fixture.Add(kRecordCreated, "relative", Text("a"));
  std::vector<uint8_t> table;
  EXPECT_EQ(BuildNameTable(fixture.records, &table), kNameTableWriteFailed);
  fixture.records[0].path = std::u16string(u"/a") + char16_t(0xD800);
  EXPECT_EQ(BuildNameTable(fixture.records, &table), kNameTableWriteFailed);

  // Offsets beyond a 2-byte width.
  Fixture big;
  big.Add(kRecordCreated, "/a", std::vector<uint8_t>(70000, 1));
  big.Add(kRecordCreated, "/b", Text("b"));
  EXPECT_EQ(AssignDataOffsets(&big.records, 2), kOffsetWidthTooSmall);

  // Data whose length differs from what the offsets were assigned for.
  auto out = MemoryOf({});
  EXPECT_EQ(WriteDataRecord(out.get(), 4, nullptr, 0, big.records[1].data, 5, nullptr, nullptr),
            kBitStreamWriteFailed);
  uint8_t bad_code = 0;
  EXPECT_EQ(WriteDataRecord(out.get(), 4, &bad_code, 1, big.records[1].data, -1, nullptr,
                            nullptr),
            kBitStreamWriteFailed);
  HeaderFacts header;
  header.version = 0x0102;
  header.width = 4;
  EXPECT_EQ(WriteHeader(out.get(), header), kHeaderWriteFailed);
}

TEST(EntryWriter, CompressedTableInflatesToPlain) {
  Fixture fixture;
  for (int i = 0; i < 500; ++i) fixture.Add(kRecordDeleted, "/folder/part" + std::to_string(i), {});
  std::vector<uint8_t> plain, stored;
  ASSERT_EQ(BuildNameTable(fixture.records, &plain), kOk);
  ASSERT_EQ(DeflateTable(plain, &stored), kOk);
  EXPECT_LT(stored.size(), plain.size() / 3);
  NameMap back;
  ASSERT_EQ(ReadNameTable(stored.data(), stored.size(), true, nullptr, &back), kOk);
  ASSERT_EQ(back.size(), 500u);
  NameKey last{};
  const int32_t k = 500;
  std::memcpy(last.data(), &k, 4);
  ASSERT_NE(back.Lookup(last), nullptr);
  EXPECT_EQ(*back.Lookup(last), u"/folder/part499");
}

}  // namespace
}  // namespace zoq
