#include "zoq/error_table.h"

#include <cstdlib>

namespace zoq {

const PackageErrorEntry kPackageErrorTable[] = {
    {5000, "ZOQ:包头标识无效"},
    {5001, "ZOQ:不可识别的包版本"},
    {5002, "ZOQ:包头字段非法"},
    {5003, "ZOQ:读包头失败"},
    {5004, "ZOQ:保存包头失败"},
    {5005, "ZOQ:修改包头失败"},
    {5010, "ZOQ:未正确初始化"},
    {5020, "ZOQ:写入Entry相关操作失败"},
    {5021, "ZOQ:读取基本信息失败"},
    {5022, "ZOQ:检查校验值失败"},
    {5023, "ZOQ:读取Name Table失败"},
    {5024, "ZOQ:读取Item List失败"},
    {5025, "ZOQ:读取BitStream失败"},
    {5026, "ZOQ:读取Next位置不合法或不存在"},
    {5030, "ZOQ:写入Entry相关操作失败"},
    {5031, "ZOQ:写入基本信息失败"},
    {5032, "ZOQ:回写基本信息失败"},
    {5033, "ZOQ:写入Name Table失败"},
    {5034, "ZOQ:写入Item List失败"},
    {5035, "ZOQ:写入BitStream失败"},
    {5036, "ZOQ:修改下一个Entry偏移失败"},
    {5037, "ZOQ:修改BS偏移失败"},
    {5050, "ZOQ:非法的路径名"},
    {5051, "ZOQ:添加路径节点失败"},
    {5052, "ZOQ:删除路径节点失败"},
    {5053, "ZOQ:计算NamedValue失败"},
    {5054, "ZOQ:包内路径对应的节点数据不存在"},
    {5060, "ZOQ:创建Container失败"},
    {5061, "ZOQ:提取线性化数据失败"},
    {5062, "ZOQ:添加Schema失败"},
    {5063, "ZOQ:源文件无法打开"},
    {5064, "ZOQ:当前存储的数据有问题"},
    {5065, "ZOQ:保存时临时文件有问题"},
    {5066, "ZOQ:无法打开或写入目标文件"},
    {5067, "ZOQ:文件数据读写拷贝失败"},
    {5068, "ZOQ:Schema文件不存在"},
    {5069, "ZOQ:不支持合并版本"},
    {5070, "ZOQ:添加或删除文件时输入参数错误"},
    {5071, "ZOQ:添加文件时无法打开或读取源数据"},
    {5072, "ZOQ:无权修改或保存文件(只读)"},
    {5073, "ZOQ:包已被其他程序修改，请重新打开后再保存"},
    {5074, "ZOQ:包正被其他程序使用，等待超时"},
    {5075, "ZOQ:数据超出包的偏移宽度所能表示的范围"},
    {-1, nullptr},
};

namespace {

// The English texts, row for row beside the Chinese table.
const PackageErrorEntry kEnglishTexts[] = {
    {5000, "ZOQ: invalid header magic"},
    {5001, "ZOQ: unrecognised package version"},
    {5002, "ZOQ: illegal header field"},
    {5003, "ZOQ: reading the header failed"},
    {5004, "ZOQ: saving the header failed"},
    {5005, "ZOQ: modifying the header failed"},
    {5010, "ZOQ: not correctly initialised"},
    {5020, "ZOQ: entry-related write operation failed"},
    {5021, "ZOQ: reading the basic information failed"},
    {5022, "ZOQ: checksum check failed"},
    {5023, "ZOQ: reading the Name Table failed"},
    {5024, "ZOQ: reading the Item List failed"},
    {5025, "ZOQ: reading the BitStream failed"},
    {5026, "ZOQ: Next position invalid or missing"},
    {5030, "ZOQ: entry-related write operation failed"},
    {5031, "ZOQ: writing the basic information failed"},
    {5032, "ZOQ: writing back the basic information failed"},
    {5033, "ZOQ: writing the Name Table failed"},
    {5034, "ZOQ: writing the Item List failed"},
    {5035, "ZOQ: writing the BitStream failed"},
    {5036, "ZOQ: modifying the next-entry offset failed"},
    {5037, "ZOQ: modifying the BS offset failed"},
    {5050, "ZOQ: illegal path name"},
    {5051, "ZOQ: adding a path node failed"},
    {5052, "ZOQ: deleting a path node failed"},
    {5053, "ZOQ: computing the NamedValue failed"},
    {5054, "ZOQ: no node data for the path inside the package"},
    {5060, "ZOQ: creating the Container failed"},
    {5061, "ZOQ: extracting linearised data failed"},
    {5062, "ZOQ: adding the Schema failed"},
    {5063, "ZOQ: the source file cannot be opened"},
    {5064, "ZOQ: the currently stored data has a problem"},
    {5065, "ZOQ: temporary file problem while saving"},
    {5066, "ZOQ: cannot open or write the target file"},
    {5067, "ZOQ: file data read/write copy failed"},
    {5068, "ZOQ: the Schema file does not exist"},
    {5069, "ZOQ: merging versions is not supported"},
    {5070, "ZOQ: bad input arguments when adding or deleting a file"},
    {5071, "ZOQ: cannot open or read the source data when adding a file"},
    {5072, "ZOQ: no right to modify or save the file (read-only)"},
    {5073, "ZOQ: the package was changed by another program; reopen it before saving"},
    {5074, "ZOQ: the package is in use by another program; waiting timed out"},
    {5075, "ZOQ: data beyond what the package's offset width can express"},
    {-1, nullptr},
};

static_assert(sizeof(kEnglishTexts) == sizeof(kPackageErrorTable));

// The row of `code` in both tables, or -1.
int RowOf(int code) {
  for (int row = 0; kPackageErrorTable[row].code != -1; ++row) {
    if (kPackageErrorTable[row].code == code) return row;
  }
  return -1;
}

// Whether `text` begins with `word` (ASCII, any case) and then ends or goes
// on with a region or encoding.
bool NamesLanguage(const char* text, const char* word) {
  for (; *word != '\0'; ++word, ++text) {
    char c = *text;
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != *word) return false;
  }
  return *text == '\0' || *text == '_' || *text == '-' || *text == '.' || *text == '@';
}

}  // namespace

const char* PackageErrorText(int code) { return PackageErrorText(code, MessageLanguage::kChinese); }

const char* PackageErrorText(int code, MessageLanguage language) {
  const int row = RowOf(code);
  if (row < 0) return nullptr;
  return language == MessageLanguage::kEnglish ? kEnglishTexts[row].text : kPackageErrorTable[row].text;
}

bool ParseMessageLanguage(const char* name, MessageLanguage* language) {
  if (name == nullptr) return false;
  if (NamesLanguage(name, "en")) {
    *language = MessageLanguage::kEnglish;
    return true;
  }
  if (NamesLanguage(name, "zh")) {
    *language = MessageLanguage::kChinese;
    return true;
  }
  return false;
}

MessageLanguage MessageLanguageFromEnvironment() {
  MessageLanguage language = MessageLanguage::kChinese;
  ParseMessageLanguage(std::getenv("ZOQ_LANG"), &language);
  return language;
}

}  // namespace zoq
