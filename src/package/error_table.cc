#include "zoq/error_table.h"

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

const char* PackageErrorText(int code) {
  for (const PackageErrorEntry* e = kPackageErrorTable; e->code != -1; ++e) {
    if (e->code == code) return e->text;
  }
  return nullptr;
}

}  // namespace zoq
