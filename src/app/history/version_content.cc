#include "app/history/version_content.h"

#include <QCryptographicHash>

#include <string>

#include "zoq/part_text.h"

namespace zoqe {

VersionContent ReadVersionContent(zoq::Container* package, const QString& path, int version,
                                  const zoq::KeyInfo* key, int64_t text_limit,
                                  const std::atomic<bool>* cancel, std::atomic<int64_t>* read) {
  VersionContent content;
  const std::u16string package_path = path.toStdU16String();
  zoq::PartInfo info;
  int code = package->GetPathInfo(&info, package_path, version);
  if (code == zoq::kNoSuchNode || (code == zoq::kOk && (info.deleted || info.is_folder))) {
    return content;  // no content at that version
  }
  content.exists = true;
  zoq::DecodeOptions options;
  options.key = key;
  zoq::PartTextReader reader;
  if (code == zoq::kOk) code = reader.Open(package, package_path, version, &options);
  QCryptographicHash hash(QCryptographicHash::Sha256);
  std::string piece;
  bool first = true;
  while (code == zoq::kOk) {
    if (cancel != nullptr && *cancel) {
      code = zoq::kFailed;  // the caller knows why
      break;
    }
    code = reader.Read(&piece);
    if (code != zoq::kOk || piece.empty()) break;
    if (first) content.binary = reader.binary();
    first = false;
    hash.addData(QByteArrayView(piece.data(), static_cast<qsizetype>(piece.size())));
    content.size += static_cast<int64_t>(piece.size());
    if (read != nullptr) *read += static_cast<int64_t>(piece.size());
    if (!content.binary && content.complete) {
      const int64_t room = text_limit - content.text.size();
      if (static_cast<int64_t>(piece.size()) > room) {
        content.complete = false;
        content.text.clear();
      } else {
        content.text.append(piece.data(), static_cast<qsizetype>(piece.size()));
      }
    }
  }
  content.code = code;
  if (code != zoq::kOk || content.binary) content.text.clear();
  content.sha256 = hash.result().toHex();
  return content;
}

}  // namespace zoqe
