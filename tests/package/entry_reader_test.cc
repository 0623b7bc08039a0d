#include "package/entry_reader.h"

#include <gtest/gtest.h>

#include <cstring>

#include "package/codes.h"
#include "package_builder.h"

namespace zoq {
namespace {

using test::Compress;

NameKey KeyOf(int k) {
  NameKey key{};
  std::memcpy(key.data(), &k, 4);
  return key;
}

class NameTableBuilder {
 public:
  explicit NameTableBuilder(int32_t count) { Add(&count, 4); }
  NameTableBuilder& Name(int k, const std::string& path, bool terminate = true) {
    NameKey key = KeyOf(k);
    Add(key.data(), 16);
    Add(path.data(), path.size());
    if (terminate) bytes.push_back(0);
    return *this;
  }
  void Add(const void* p, size_t n) {
    bytes.insert(bytes.end(), static_cast<const uint8_t*>(p), static_cast<const uint8_t*>(p) + n);
  }
  std::vector<uint8_t> bytes;
};

std::vector<uint8_t> ItemRecord(int type_byte, int64_t offset, int k, int width = 4) {
  std::vector<uint8_t> out{static_cast<uint8_t>(type_byte)};
  for (int i = 0; i < width; ++i) out.push_back(static_cast<uint8_t>(offset >> (8 * i)));
  NameKey key = KeyOf(k);
  out.insert(out.end(), key.begin(), key.end());
  return out;
}

TEST(NameTableTest, ReadsNamesAndChecksCounts) {
  NameMap names;
  auto table = NameTableBuilder(2).Name(1, "/a.xml").Name(2, "/dir/b.xml").bytes;
  table.push_back(0x77);  // bytes after the last record are ignored
  ASSERT_EQ(ParseNameTable(table.data(), table.size(), &names), kOk);
  EXPECT_EQ(*names.Lookup(KeyOf(1)), u"/a.xml");
  EXPECT_EQ(*names.Lookup(KeyOf(2)), u"/dir/b.xml");

  EXPECT_EQ(ParseNameTable(table.data(), 3, &names), kNameTableReadFailed);
  auto negative = NameTableBuilder(-1).bytes;
  EXPECT_EQ(ParseNameTable(negative.data(), negative.size(), &names), kNameTableReadFailed);
  // count x 16 must stay below the table size
  auto too_many = NameTableBuilder(1000).Name(1, "/a").Name(2, "/b").bytes;
  EXPECT_EQ(ParseNameTable(too_many.data(), too_many.size(), &names), kNameTableReadFailed);
  auto unterminated = NameTableBuilder(1).Name(1, "/abc", false).bytes;
  EXPECT_EQ(ParseNameTable(unterminated.data(), unterminated.size(), &names),
            kNameTableReadFailed);
  auto short_path = NameTableBuilder(1).Name(1, "/").bytes;
  EXPECT_EQ(ParseNameTable(short_path.data(), short_path.size(), &names), kNameTableReadFailed);
}

TEST(NameTableTest, SkipsInvalidUtf8AndUnnormalizedPaths) {
  NameMap names;
  auto table = NameTableBuilder(6)
                   .Name(1, "/ok")
                   .Name(2, "/bad\xC3(")
                   .Name(3, "/a/../../x")
                   .Name(4, "\\x")
                   .Name(5, "/a//b")
                   .Name(6, "relative")
                   .bytes;
  ASSERT_EQ(ParseNameTable(table.data(), table.size(), &names), kOk);
  EXPECT_EQ(names.size(), 1u);
  EXPECT_NE(names.Lookup(KeyOf(1)), nullptr);

  // A record that uses a skipped name fails the Item List.
  std::vector<RecordFacts> records;
  auto items = ItemRecord(1, 4, 3);
  EXPECT_EQ(ParseItemList(items.data(), items.size(), 4, names, &records), kItemListReadFailed);
}

TEST(ItemListTest, ReadsUpToEndRecordOrLastWholeRecord) {
  NameMap names{{KeyOf(1), u"/a"}, {KeyOf(2), u"/b"}};
  std::vector<uint8_t> items = ItemRecord(0x11, 4, 1);
  auto second = ItemRecord(4, 0, 2);
  items.insert(items.end(), second.begin(), second.end());
  std::vector<uint8_t> ended = items;
  auto end = ItemRecord(15, 0, 0);
  ended.insert(ended.end(), end.begin(), end.end());
  ended.push_back(9);  // never looked at

  std::vector<RecordFacts> records;
  ASSERT_EQ(ParseItemList(ended.data(), ended.size(), 4, names, &records), kOk);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].type, kRecordCreated);
  EXPECT_TRUE(records[0].skippable);
  EXPECT_EQ(records[0].data_offset, 4);
  EXPECT_EQ(records[1].type, kRecordDeleted);
  EXPECT_EQ(records[1].path, u"/b");

  // Without an end record, a cut-short last record is ignored.
  std::vector<uint8_t> cut = items;
  cut.insert(cut.end(), {1, 4, 0});
  ASSERT_EQ(ParseItemList(cut.data(), cut.size(), 4, names, &records), kOk);
  EXPECT_EQ(records.size(), 2u);
}

TEST(ItemListTest, RecordsMayShareAName) {
  NameMap names{{KeyOf(2), u"/b"}, {KeyOf(1), u"/a"}, {KeyOf(1), u"/ignored"}};
  EXPECT_EQ(names.size(), 2u);
  std::vector<uint8_t> items;
  for (int k : {1, 2, 1, 1}) {
    auto record = ItemRecord(2, 4, k);
    items.insert(items.end(), record.begin(), record.end());
  }
  std::vector<RecordFacts> records;
  ASSERT_EQ(ParseItemList(items.data(), items.size(), 4, names, &records), kOk);
  ASSERT_EQ(records.size(), 4u);
  EXPECT_EQ(records[0].path, u"/a");
  EXPECT_EQ(records[1].path, u"/b");
  EXPECT_EQ(records[2].path, u"/a");
  EXPECT_EQ(records[3].path, u"/a");
}

TEST(ItemListTest, RejectsBadRecords) {
  NameMap names{{KeyOf(1), u"/a"}};
  std::vector<RecordFacts> records;
  for (int type = 5; type <= 14; ++type) {
    auto items = ItemRecord(type, 4, 1);
    EXPECT_EQ(ParseItemList(items.data(), items.size(), 4, names, &records), kItemListReadFailed);
  }
  auto unknown_key = ItemRecord(1, 4, 9);
  EXPECT_EQ(ParseItemList(unknown_key.data(), unknown_key.size(), 4, names, &records),
            kItemListReadFailed);
  auto negative = ItemRecord(1, -4, 1, 8);
  EXPECT_EQ(ParseItemList(negative.data(), negative.size(), 8, names, &records),
            kItemListReadFailed);
  auto wide = ItemRecord(1, 0x1234, 1, 2);
  ASSERT_EQ(ParseItemList(wide.data(), wide.size(), 2, names, &records), kOk);
  EXPECT_EQ(records[0].data_offset, 0x1234);
}

TEST(TableInflateTest, InflatesWithinWhatTheCountsNeed) {
  auto table = NameTableBuilder(1).Name(1, "/a.xml").bytes;
  std::vector<uint8_t> plain;
  ASSERT_EQ(InflateNameTable(Compress(table).data(), Compress(table).size(), &plain), kOk);
  EXPECT_EQ(plain, table);

  // One name cannot need megabytes: a zip bomb stops early.
  table.resize(8 << 20, 0);
  auto bomb = Compress(table);
  EXPECT_EQ(InflateNameTable(bomb.data(), bomb.size(), &plain), kNameTableReadFailed);
  EXPECT_LT(plain.size(), 1u << 20);

  std::vector<uint8_t> garbage{1, 2, 3, 4, 5};
  EXPECT_EQ(InflateNameTable(garbage.data(), garbage.size(), &plain), kNameTableReadFailed);
  EXPECT_EQ(InflateItemList(garbage.data(), garbage.size(), 4, &plain), kItemListReadFailed);
}

TEST(TableInflateTest, ItemListStopsAfterItsEndRecord) {
  std::vector<uint8_t> items = ItemRecord(1, 4, 1);
  auto end = ItemRecord(15, 0, 0);
  items.insert(items.end(), end.begin(), end.end());
  items.resize(16 << 20, 0xAB);  // what follows the end record is never needed
  auto stored = Compress(items);
  std::vector<uint8_t> plain;
  ASSERT_EQ(InflateItemList(stored.data(), stored.size(), 4, &plain), kOk);
  EXPECT_LT(plain.size(), 1u << 20);
  NameMap names{{KeyOf(1), u"/a"}};
  std::vector<RecordFacts> records;
  ASSERT_EQ(ParseItemList(plain.data(), plain.size(), 4, names, &records), kOk);
  EXPECT_EQ(records.size(), 1u);
}

}  // namespace
}  // namespace zoq
