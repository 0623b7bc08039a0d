#include "app/package_document.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>

#include "zoq/pliv_detection.h"
#include "zoq/schema_folder.h"

namespace zoqe {

PackageDocument::PackageDocument(const QString& work_folder, const QString& program_folder,
                                 QObject* parent)
    : QObject(parent), work_folder_(work_folder), program_folder_(program_folder) {
  factory_ = [](const zoq::ContainerOptions& options, zoq::Container** out) {
    return zoq::CreateContainer(&options, out);
  };
}

PackageDocument::~PackageDocument() = default;

void PackageDocument::SetContainerFactory(ContainerFactory factory) {
  factory_ = std::move(factory);
}

zoq::ContainerOptions PackageDocument::Options() const {
  zoq::ContainerOptions options;
  options.temp_base_dir = QFile::encodeName(work_folder_).toStdString();
  options.resource_dir = QFile::encodeName(program_folder_).toStdString();
  options.schema_dir = zoq::FindSchemaFolder(*options.resource_dir);
  options.table_compression = 3;
  return options;
}

int PackageDocument::Open(const QString& path, bool read_only, OpenFailure* failure,
                          int revision_limit) {
  OpenFailure ignored;
  if (!failure) failure = &ignored;
  *failure = OpenFailure::kNone;
  if (package_) Close();
  zoq::Container* raw = nullptr;
  int code = factory_(Options(), &raw);
  std::unique_ptr<zoq::Container> container(raw);
  if (code != 0 || !container) {
    *failure = OpenFailure::kContainer;
    return code != 0 ? code : zoq::kNotSupported;
  }
  const std::string file = QFile::encodeName(path).toStdString();
  if (revision_limit > 0) read_only = true;
  code = revision_limit > 0 ? container->OpenFileAt(file, revision_limit)
                            : container->OpenFile(file, read_only);
  if (code != 0) {
    *failure = OpenFailure::kFile;
    return code;
  }
  package_ = std::move(container);
  const QFileInfo info(path);
  file_name_ = info.fileName();
  folder_ = path.left(path.size() - file_name_.size());
  read_only_ = read_only;
  revision_limit_ = revision_limit;
  subset_code_ = 0;
  version_code_ = 0;
  // The document type comes from the main part whatever the file is
  // called: it decides the schema of SXC parts and whether encrypted data
  // starts with an IV header.
  zoq::PlivDocumentType type;
  if (zoq::ApplyPlivDetection(package_.get(), &type)) SetDocumentCodes(type.subset, type.version);
  Q_EMIT opened();
  return 0;
}

void PackageDocument::Close() {
  if (!package_) return;
  package_.reset();
  file_name_.clear();
  folder_.clear();
  read_only_ = false;
  revision_limit_ = 0;
  subset_code_ = 0;
  version_code_ = 0;
  Q_EMIT closed();
}

bool PackageDocument::IsModified() const { return package_ && package_->IsModified(); }

int PackageDocument::Save() {
  if (!package_) return zoq::kInvalidArgument;
  const int code = package_->Save(zoq::kSaveIncremental, false);
  if (code == 0) Q_EMIT changed();
  return code;
}

int PackageDocument::SaveAs(const QString& path) {
  if (!package_) return zoq::kInvalidArgument;
  const int code =
      package_->SaveAs(QFile::encodeName(path).toStdString(), zoq::kSaveIncremental, false);
  if (code != 0) return code;
  const QFileInfo info(path);
  file_name_ = info.fileName();
  folder_ = path.left(path.size() - file_name_.size());
  Q_EMIT changed();
  return 0;
}

void PackageDocument::SetDocumentCodes(int subset, int version) {
  subset_code_ = subset;
  version_code_ = version;
}

void PackageDocument::SetKey(const QByteArray& key) {
  const int length = static_cast<int>(std::min<qsizetype>(key.size(), sizeof key_bytes_));
  std::copy_n(key.constData(), length, key_bytes_);
  key_info_.key = key_bytes_;
  key_info_.key_length = length;
  key_set_ = true;
}

}  // namespace zoqe
