#include "package/entry_reader.h"

#include <gtest/gtest.h>

#include <cstring>

#include "zoq/codes.h"
#include "package_builder.h"
#include "zoq/stream.h"
#include "test_util.h"

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

// The records one after the other.
std::vector<uint8_t> Items(std::initializer_list<std::vector<uint8_t>> records) {
  std::vector<uint8_t> out;
  for (const auto& record : records) out.insert(out.end(), record.begin(), record.end());
  return out;
}

TEST(NameTableTest, ReadsNamesAndChecksCounts) {
  NameMap names;
  auto table = NameTableBuilder(2).Name(1, "/a.xml").Name(2, "/dir/b.xml").bytes;
  table.push_back(0x77);  // bytes after the last record are ignored
  ASSERT_EQ(ParseNameTable(table.data(), table.size(), &names), kOk);
  EXPECT_EQ(*names.Lookup(KeyOf(1)), u"/a.xml");
  EXPECT_EQ(*names.Lookup(KeyOf(2)), u"/dir/b.xml");

  const struct {
    const char* what;
    std::vector<uint8_t> table;
  } bad[] = {
      {"shorter than its count", {table.begin(), table.begin() + 3}},
      {"negative count", NameTableBuilder(-1).bytes},
      // count x 16 must stay below the table size
      {"too many", NameTableBuilder(1000).Name(1, "/a").Name(2, "/b").bytes},
      {"unterminated", NameTableBuilder(1).Name(1, "/abc", false).bytes},
      {"short path", NameTableBuilder(1).Name(1, "/").bytes},
  };
  for (const auto& b : bad) {
    EXPECT_EQ(ParseNameTable(b.table.data(), b.table.size(), &names), kNameTableReadFailed)
        << b.what;
  }
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
  const std::vector<uint8_t> items = Items({ItemRecord(0x11, 4, 1), ItemRecord(4, 0, 2)});
  // The byte after the end record is never looked at.
  const std::vector<uint8_t> ended = Items({items, ItemRecord(15, 0, 0), {9}});

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
  // Of name records with the same key, the last one counts.
  NameMap names{{KeyOf(2), u"/b"}, {KeyOf(1), u"/ignored"}, {KeyOf(1), u"/a"}};
  EXPECT_EQ(names.size(), 2u);
  const auto items =
      Items({ItemRecord(2, 4, 1), ItemRecord(2, 4, 2), ItemRecord(2, 4, 1), ItemRecord(2, 4, 1)});
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

TEST(TableInflateTest, NameTablesAreReadAsTheyInflate) {
  auto table = NameTableBuilder(3).Name(1, "/a.xml").Name(2, "/b.xml").Name(3, "/c.xml").bytes;
  // Only the names the Item List uses are kept, wherever they stand.
  auto items = ItemRecord(1, 4, 3);
  const UsedKeys used(items.data(), items.size(), 4);
  NameMap names;
  for (const bool compressed : {false, true}) {
    const auto stored = compressed ? Compress(table) : table;
    ASSERT_EQ(ReadNameTable(stored.data(), stored.size(), compressed, &used, &names), kOk);
    ASSERT_EQ(names.size(), 1u);
    EXPECT_EQ(*names.Lookup(KeyOf(3)), u"/c.xml");
  }
  // What follows the last record is never inflated: a bomb behind it costs
  // nothing, and a table cut short inside a record fails.
  auto bomb = table;
  bomb.resize(64 << 20, 0);
  auto stored = Compress(bomb);
  EXPECT_EQ(ReadNameTable(stored.data(), stored.size(), true, nullptr, &names), kOk);
  EXPECT_EQ(names.size(), 3u);
  table.resize(table.size() - 1);
  stored = Compress(table);
  EXPECT_EQ(ReadNameTable(stored.data(), stored.size(), true, nullptr, &names),
            kNameTableReadFailed);

  std::vector<uint8_t> garbage{1, 2, 3, 4, 5}, plain;
  EXPECT_EQ(ReadNameTable(garbage.data(), garbage.size(), true, nullptr, &names),
            kNameTableReadFailed);
  EXPECT_EQ(InflateItemList(garbage.data(), garbage.size(), 4, &plain), kItemListReadFailed);
}

TEST(TableInflateTest, ItemListStopsAfterItsEndRecord) {
  std::vector<uint8_t> items = Items({ItemRecord(1, 4, 1), ItemRecord(15, 0, 0)});
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

// Tables that inflate far beyond their stored size, or hold more records
// than they have stored bytes, are refused; tables a writer makes are not.
class TableBoundsTest : public ::testing::Test {
 protected:
  static constexpr int kHead = 29 + 2 * 4;

  // A one-entry package whose stored Item List is replaced by `items`.
  static std::vector<uint8_t> WithItemList(const std::vector<uint8_t>& items) {
    test::TestEntry entry;
    entry.records.push_back({1, "/a.txt", {'a'}, {}, false});
    entry.table_flags = 2;
    test::BuiltPackage built = test::BuildPackage({entry});
    const int64_t offset = built.entry_offsets[0];
    std::vector<uint8_t>& bytes = built.bytes;
    const uint32_t names = LoadU32At(bytes, offset + 25 + 8);
    bytes.resize(offset + kHead + names);
    bytes.insert(bytes.end(), items.begin(), items.end());
    test::PutLittle(&bytes, offset + 4, bytes.size() - offset, 4);
    test::FixDigest(&bytes, offset, 4);
    return bytes;
  }

  static uint32_t LoadU32At(const std::vector<uint8_t>& bytes, int64_t at) {
    uint32_t value = 0;
    std::memcpy(&value, bytes.data() + at, 4);
    return value;
  }

  // Reads the package's one entry with the given budget.
  static int ReadWithBudget(const std::vector<uint8_t>& bytes, TableBudget* budget,
                            std::vector<ItemRef>* items) {
    std::unique_ptr<Stream> stream = test::MemoryReader(bytes.data(), bytes.size());
    if (stream == nullptr) return -1;
    const auto offset = static_cast<int64_t>(LoadU32At(bytes, 22));
    EntryFacts facts;
    NameMap names;
    return ReadEntryRefs(stream.get(), offset, 4, 0x0101, static_cast<int64_t>(bytes.size()),
                         &facts, &names, items, budget);
  }
};

TEST_F(TableBoundsTest, ManyEmptyRecordsInATinyItemListAreRefused) {
  // 400,000 records naming one path: 8 MiB plain, a few KiB stored.
  std::vector<uint8_t> plain = ItemRecord(1, 4, 1);
  const auto empty = ItemRecord(0, 0, 1);
  for (int i = 0; i < 400000; ++i) plain.insert(plain.end(), empty.begin(), empty.end());
  plain = Items({plain, ItemRecord(15, 0, 0)});
  const std::vector<uint8_t> stored = Compress(plain);
  ASSERT_LT(stored.size(), 64u * 1024);

  // The inflate itself stops at the record allowance, well short of 8 MiB.
  std::vector<uint8_t> out;
  EXPECT_EQ(InflateItemList(stored.data(), stored.size(), 4, &out,
                            static_cast<int64_t>(stored.size())),
            kItemListReadFailed);
  EXPECT_LT(out.size(), 2u << 20);

  std::vector<uint8_t> package = WithItemList(stored);
  auto container = test::MakeContainer(true);
  EXPECT_EQ(container->OpenMemory(package.data(), static_cast<int64_t>(package.size()), 0),
            kItemListReadFailed);
  EXPECT_EQ(container->GetRevisionCount(), 0);
}

TEST_F(TableBoundsTest, TablesInflatingBeyondTheirRatioAreRefused) {
  // A count of 20,000 names could need these 8 MiB; their stored size cannot.
  auto names = NameTableBuilder(20000).Name(1, "/a.xml").bytes;
  names.resize(8 << 20, 0);
  auto bomb = Compress(names);
  ASSERT_GT(static_cast<int64_t>(names.size()), TableInflateLimit(bomb.size()));
  NameMap map;
  EXPECT_EQ(ReadNameTable(bomb.data(), bomb.size(), true, nullptr, &map), kNameTableReadFailed);
  std::vector<uint8_t> out;

  // An Item List whose end record comes early reads, whatever follows it.
  std::vector<uint8_t> items = Items({ItemRecord(1, 4, 1), ItemRecord(15, 0, 0)});
  items.resize(8 << 20, 0);
  auto stored = Compress(items);
  ASSERT_EQ(InflateItemList(stored.data(), stored.size(), 4, &out, 1), kOk);
  EXPECT_LT(out.size(), 1u << 20);
  // Without an end record the same bytes are too many.
  items.erase(items.begin() + 21, items.begin() + 42);
  stored = Compress(items);
  EXPECT_EQ(InflateItemList(stored.data(), stored.size(), 4, &out), kItemListReadFailed);
}

TEST_F(TableBoundsTest, WriterTablesOfLongSimilarPathsStillOpen) {
  // Paths of 200 characters that differ only at their end compress about
  // 50 times: the most a writer's tables come near the ratio limit.
  test::TestEntry entry;
  entry.table_flags = 3;
  const std::string folder = "/" + std::string(200, 'f') + "/";
  for (int i = 0; i < 3000; ++i) {
    entry.records.push_back({i % 2 ? 4 : 1, folder + std::to_string(100000 + i), {'x'}, {}, false});
  }
  test::BuiltPackage built = test::BuildPackage({entry});
  auto container = test::MakeContainer(true);
  ASSERT_EQ(container->OpenMemory(built.bytes.data(), static_cast<int64_t>(built.bytes.size()), 0),
            kOk);
  std::vector<std::u16string> parts;
  ASSERT_EQ(container->ListParts(u"/", &parts), kOk);
  EXPECT_EQ(parts.size(), 1500u);
}

TEST_F(TableBoundsTest, APackageBudgetLimitsRecordsAndNamesOverAllEntries) {
  test::TestEntry entry;
  entry.records = {{1, "/a", {'a'}, {}, false}, {1, "/b", {'b'}, {}, false}};
  const std::vector<uint8_t> bytes = test::BuildPackage({entry}).bytes;
  std::vector<ItemRef> items;
  TableBudget enough{2, 2};
  ASSERT_EQ(ReadWithBudget(bytes, &enough, &items), kOk);
  EXPECT_EQ(items.size(), 2u);
  EXPECT_EQ(enough.records, 0);
  EXPECT_EQ(enough.names, 0);
  TableBudget few_records{1, 2};
  EXPECT_EQ(ReadWithBudget(bytes, &few_records, &items), kItemListReadFailed);
  TableBudget few_names{2, 1};
  EXPECT_EQ(ReadWithBudget(bytes, &few_names, &items), kNameTableReadFailed);
}

}  // namespace
}  // namespace zoq
