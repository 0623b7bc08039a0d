#include "zoq/error_table.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "zoq/codes.h"

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

TEST(PackageErrorTableTest, EnglishTextsCoverEveryCode) {
  for (const PackageErrorEntry* e = kPackageErrorTable; e->code != -1; ++e) {
    const char* english = PackageErrorText(e->code, MessageLanguage::kEnglish);
    ASSERT_NE(english, nullptr) << e->code;
    EXPECT_EQ(std::strncmp(english, "ZOQ: ", 5), 0) << e->code;
    EXPECT_GT(std::strlen(english), 8u) << e->code;
    EXPECT_EQ(PackageErrorText(e->code, MessageLanguage::kChinese), e->text);
    // ASCII only: the Chinese row left in place would show up here.
    for (const char* c = english; *c != '\0'; ++c) EXPECT_LT(static_cast<unsigned char>(*c), 0x80) << e->code;
  }
  EXPECT_STREQ(PackageErrorText(5000, MessageLanguage::kEnglish), "ZOQ: invalid header magic");
  EXPECT_STREQ(PackageErrorText(5072, MessageLanguage::kEnglish),
               "ZOQ: no right to modify or save the file (read-only)");
  EXPECT_EQ(PackageErrorText(5006, MessageLanguage::kEnglish), nullptr);
  EXPECT_EQ(PackageErrorText(-1, MessageLanguage::kEnglish), nullptr);
}

TEST(PackageErrorTableTest, ReadsLanguageNames) {
  struct Case {
    const char* name;
    bool known;
    MessageLanguage language;
  };
  const Case cases[] = {
      {"en", true, MessageLanguage::kEnglish},       {"EN_us.UTF-8", true, MessageLanguage::kEnglish},
      {"en-GB", true, MessageLanguage::kEnglish},    {"zh", true, MessageLanguage::kChinese},
      {"zh_CN.UTF-8", true, MessageLanguage::kChinese}, {"", false, {}},
      {"e", false, {}},                              {"english", false, {}},
      {"fr", false, {}},                             {"C", false, {}},
  };
  for (const Case& c : cases) {
    MessageLanguage language = MessageLanguage::kChinese;
    if (c.known) language = c.language == MessageLanguage::kEnglish ? MessageLanguage::kChinese
                                                                     : MessageLanguage::kEnglish;
    const MessageLanguage before = language;
    EXPECT_EQ(ParseMessageLanguage(c.name, &language), c.known) << c.name;
    EXPECT_EQ(language, c.known ? c.language : before) << c.name;
  }
  MessageLanguage language = MessageLanguage::kEnglish;
  EXPECT_FALSE(ParseMessageLanguage(nullptr, &language));
  EXPECT_EQ(language, MessageLanguage::kEnglish);
}

TEST(PackageErrorTableTest, StatusCarriesTheCodeAndTextsEveryKind) {
  const Status ok;
  EXPECT_TRUE(ok.ok());
  EXPECT_TRUE(ok == 0);
  const int stored = Status(kChecksumFailed);  // codes stay ints where stored
  EXPECT_EQ(stored, 5022);
  EXPECT_EQ(AtSite(kFailed, 12110100).code(), 12110100);
  EXPECT_EQ(AtSite(kOutOfMemory, 12110100), kOutOfMemory);
  EXPECT_EQ(Status(5000).ToText(MessageLanguage::kChinese), "ZOQ:包头标识无效");
  EXPECT_EQ(Status(5000).ToText(MessageLanguage::kEnglish), "ZOQ: invalid header magic");
  const std::pair<int, const char*> texts[] = {
      {kOutOfMemory, "out of memory"},
      {12010101,
       "the inner stream cannot seek past the initial counter block (ADM stream, site 12010101)"},
      {12110219, "the compressed data cannot be written (deflate stream, site 12110219)"},
      {12100250,
       "the encoded SXC content cannot be copied into the inner stream (SXC stream, site 12100250)"},
      {10020622, "a data record lists more than 7 ECS codes (part records, site 10020622)"},
      {10050561, "failed (package, site 10050561)"},
      {424242, "error 424242"},
  };
  for (const auto& [code, text] : texts) EXPECT_EQ(Status(code).ToText(), text) << code;
  // Without a language, ZOQ_LANG decides, as it does for the tool.
  setenv("ZOQ_LANG", "en_US.UTF-8", 1);
  EXPECT_EQ(Status(5054).ToText(), "ZOQ: no node data for the path inside the package");
  unsetenv("ZOQ_LANG");
  EXPECT_EQ(Status(5054).ToText(), "ZOQ:包内路径对应的节点数据不存在");
}

TEST(PackageErrorTableTest, ResultCodeTextCoversEveryLayer) {
  EXPECT_STREQ(ResultCodeText(5072, MessageLanguage::kEnglish),
               "ZOQ: no right to modify or save the file (read-only)");
  EXPECT_STREQ(ResultCodeText(kDecodeFailed, MessageLanguage::kChinese),
               "decoding failed (damaged or undecodable data)");
  EXPECT_STREQ(ResultCodeText(kSiteNoSchemaFound, MessageLanguage::kChinese), "no binary schema file found");
  EXPECT_STREQ(ResultCodeText(12100120, MessageLanguage::kEnglish),
               "no temporary file for the stored SXC content could be made");
  EXPECT_STREQ(ResultCodeText(12030624, MessageLanguage::kEnglish), "the file cannot be written");
  EXPECT_EQ(ResultCodeText(10050561, MessageLanguage::kEnglish), nullptr);
  EXPECT_EQ(ResultCodeText(424242, MessageLanguage::kEnglish), nullptr);
}

}  // namespace
}  // namespace zoq
