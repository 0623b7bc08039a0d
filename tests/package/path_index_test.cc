#include "package/path_index.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>

#include "package/item_record.h"

namespace zoq {
namespace {

uint64_t SameHash(std::u16string_view) { return 0x1234567800000005ull; }

std::u16string PathOf(int i) {
  return u"/folder/part" + std::u16string(1, static_cast<char16_t>(u'a' + i % 26)) +
         static_cast<char16_t>(u'0' + i / 26);
}

class PathIndexTest : public ::testing::TestWithParam<bool> {
 protected:
  PathIndexTest() : index_(GetParam() ? &SameHash : &PathIndex::HashPath) {}

  std::pair<PathIndex::Slot*, bool> Add(int i) {
    const std::u16string& text = texts_.emplace_back(PathOf(i));
    return index_.Insert(text, text);
  }

  std::deque<std::u16string> texts_;  // the viewed text of every slot
  PathIndex index_;
};

// Paths found, erased and added again, with real hashes and with every
// path in one probe chain: an erase must not cut the chain of the others.
TEST_P(PathIndexTest, FindEraseAndAddAgain) {
  constexpr int kPaths = 300;
  for (int i = 0; i < kPaths; ++i) ASSERT_TRUE(Add(i).second);
  EXPECT_FALSE(Add(7).second) << "a second insert finds the first";
  EXPECT_EQ(index_.size(), size_t{kPaths});
  for (int i = 0; i < kPaths; i += 3) index_.Erase(index_.Find(PathOf(i)));
  for (int i = 0; i < kPaths; ++i) {
    const PathIndex::Slot* slot = index_.Find(PathOf(i));
    if (i % 3 == 0) {
      EXPECT_EQ(slot, nullptr) << i;
    } else {
      ASSERT_NE(slot, nullptr) << i;
      EXPECT_EQ(slot->path, PathOf(i));
    }
  }
  // Erased ids are given out again; nothing grows for them.
  const size_t slots = index_.slot_count();
  for (int i = 0; i < kPaths; i += 3) EXPECT_TRUE(Add(i).second);
  EXPECT_EQ(index_.slot_count(), slots);
  EXPECT_EQ(index_.size(), size_t{kPaths});
  for (int i = 0; i < kPaths; ++i) ASSERT_NE(index_.Find(PathOf(i)), nullptr) << i;
  // Paths are compared exactly: case and length matter.
  EXPECT_EQ(index_.Find(u"/FOLDER/parta0"), nullptr);
  EXPECT_EQ(index_.Find(u"/folder/parta"), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Hashes, PathIndexTest, ::testing::Values(false, true));

// Loaded records share one array; a list that grows beyond its slice moves
// to storage of its own without touching its neighbours' records.
TEST(PathIndexRecordsTest, SlicesKeepTheirRecordsApart) {
  const std::u16string a = u"/a", b = u"/b", c = u"/c";
  PathIndex index;
  std::vector<ItemRecord> records(6);
  const size_t ids[] = {0, 1, 0, 2, 1, 0};  // the paths of the records in load order
  for (const std::u16string* path : {&a, &b, &c}) index.Insert(*path, *path);
  for (size_t id : ids) index.Count(id);
  index.Group();
  for (size_t i = 0; i < records.size(); ++i) index.slot(ids[i]).records.push_back(&records[i]);

  RecordList& la = index.Find(a)->records;
  RecordList& lb = index.Find(b)->records;
  ASSERT_EQ(la.size(), 3u);
  EXPECT_EQ(la[0], &records[0]);
  EXPECT_EQ(la[2], &records[5]);
  ASSERT_EQ(lb.size(), 2u);
  EXPECT_EQ(lb.back(), &records[4]);

  ItemRecord extra;
  lb.pop_back();
  lb.push_back(&extra);  // back into its own slice
  lb.push_back(&records[1]);  // beyond it
  lb.push_back(&records[1]);
  EXPECT_EQ(lb.size(), 4u);
  EXPECT_EQ(lb[1], &extra);
  EXPECT_EQ(la.size(), 3u);
  EXPECT_EQ(la[0], &records[0]);
  EXPECT_EQ(la[2], &records[5]);
  EXPECT_EQ(index.Find(c)->records.front(), &records[3]);
  std::vector<ItemRecord*> reversed(la.rbegin(), la.rend());
  EXPECT_EQ(reversed, (std::vector<ItemRecord*>{&records[5], &records[2], &records[0]}));

  // A list of one keeps its record in place until it grows or empties.
  RecordList& lc = index.Find(c)->records;
  lc.push_back(&extra);
  EXPECT_EQ(std::vector<ItemRecord*>(lc.begin(), lc.end()),
            (std::vector<ItemRecord*>{&records[3], &extra}));
  lc.pop_back();
  lc.pop_back();
  EXPECT_TRUE(lc.empty());
  lc.push_back(&extra);
  EXPECT_EQ(lc.size(), 1u);
  EXPECT_EQ(lc.back(), &extra);
  RecordList moved(std::move(la));
  EXPECT_TRUE(la.empty());
  EXPECT_EQ(moved.size(), 3u);
  moved.clear();
  EXPECT_TRUE(moved.empty());
}

}  // namespace
}  // namespace zoq
