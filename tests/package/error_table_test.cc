#include "zoq/error_table.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace zoq {
namespace {

TEST(PackageErrorTableTest, LooksUpPublicCodesOnly) {
  EXPECT_STREQ(PackageErrorText(5000), "ZOQ:包头标识无效");
  EXPECT_STREQ(PackageErrorText(5072), "ZOQ:无权修改或保存文件(只读)");
  EXPECT_EQ(PackageErrorText(5006), nullptr);
  EXPECT_EQ(PackageErrorText(10020622), nullptr);
  EXPECT_EQ(PackageErrorText(1), nullptr);
  EXPECT_EQ(PackageErrorText(-1), nullptr);
  EXPECT_STREQ(PackageErrorText(5020), PackageErrorText(5030));
}

TEST(PackageErrorTableTest, TableIsOrderedAndTerminated) {
  int count = 0;
  int previous = 0;
  const PackageErrorEntry* e = kPackageErrorTable;
  for (; e->code != -1; ++e, ++count) {
    EXPECT_GT(e->code, previous);
    previous = e->code;
    EXPECT_EQ(std::strncmp(e->text, "ZOQ:", 4), 0) << e->code;
  }
  EXPECT_EQ(e->text, nullptr);
  EXPECT_EQ(count, 43);
}

}  // namespace
}  // namespace zoq
