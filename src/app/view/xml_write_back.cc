#include "app/view/xml_write_back.h"

#include <vector>

#include "app/part_codes.h"

namespace zoqe {

int StorePartContent(zoq::Container* package, const QString& part_path,
                     const QByteArray& content, const zoq::KeyInfo* key) {
  if (!package) return zoq::kSiteNoPackageOpen;
  const std::u16string path = part_path.toStdU16String();
  zoq::PartInfo info;
  int code = package->GetPartInfoByPath(&info, path, 0);
  if (code != 0) return code;
  std::vector<zoq::EcsCodeArg> codes;
  for (const int code : PartCodes(info)) {
    zoq::EcsCodeArg arg;
    arg.code = code;
    if (arg.code == zoq::kEcsAdm) {
      if (!key || key->key_length <= 0) return zoq::kSiteNoKey;
      arg.key = key;
    }
    codes.push_back(arg);
  }
  return package->ReplacePartFromMemory(path, content.constData(), content.size(),
                                        codes.empty() ? nullptr : codes.data(),
                                        static_cast<int>(codes.size()), info.skippable);
}

QString StoreFailureText(int code, bool sxc_coded) {
  if (code == zoq::kSiteNoKey) {
    return QStringLiteral("该文件已加密，请先输入密钥，再保存XML编辑结果。");
  }
  if (sxc_coded) {
    return QStringLiteral("XML编辑结果不符合该文件的二进制模式，无法保存。(%1)").arg(code);
  }
  return QStringLiteral("保存XML编辑结果失败。(%1)").arg(code);
}

QByteArray EditedTextBytes(const QByteArray& utf8, bool was_utf16) {
  if (!was_utf16) return utf8;
  const QString text = QString::fromUtf8(utf8);
  QByteArray bytes("\xFF\xFE", 2);
  bytes.reserve(2 + text.size() * 2);
  for (QChar c : text) {
    bytes.append(static_cast<char>(c.unicode() & 0xFF));
    bytes.append(static_cast<char>(c.unicode() >> 8));
  }
  return bytes;
}

}  // namespace zoqe
