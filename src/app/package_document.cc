#include "app/package_document.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>

#include "zoq/main_document.h"
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

int PackageDocument::MakeContainer(std::unique_ptr<zoq::Container>* out) {
  zoq::Container* raw = nullptr;
  const int code = factory_(Options(), &raw);
  out->reset(raw);
  if (code != 0 || !raw) {
    out->reset();
    return code != 0 ? code : zoq::kNotSupported;
  }
  return 0;
}

void PackageDocument::SetFilePath(const QString& path) {
  file_name_ = QFileInfo(path).fileName();
  folder_ = path.left(path.size() - file_name_.size());
}

int PackageDocument::Open(const QString& path, bool read_only, OpenFailure* failure,
                          int revision_limit) {
  OpenFailure ignored;
  if (!failure) failure = &ignored;
  *failure = OpenFailure::kNone;
  if (package_) Close();
  std::unique_ptr<zoq::Container> container;
  int code = MakeContainer(&container);
  if (code != 0) {
    *failure = OpenFailure::kContainer;
    return code;
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
  SetFilePath(path);
  read_only_ = read_only;
  revision_limit_ = revision_limit;
  is_new_ = false;
  ClearChanges();
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

int PackageDocument::Create(const QString& path, int subset, int version) {
  if (package_) Close();
  std::unique_ptr<zoq::Container> container;
  int code = MakeContainer(&container);
  if (code != 0) return code;
  // The parts go straight into the new file, as they do for zoq import;
  // until the first save it opens as an empty package, and it goes again
  // when the package is closed unsaved.
  const QByteArray file = QFile::encodeName(path);
  // The name is taken exclusively (a link there, even a broken one, counts
  // as taken): a file that appeared at it since the name was chosen stays
  // untouched, and what is removed on failure below is only our own.
  QFile reserved(path);
  if (!reserved.open(QIODevice::WriteOnly | QIODevice::NewOnly)) return zoq::kTargetFileFailed;
  reserved.close();
  code = container->CreatePackage(file.toStdString(), subset, version, 0, 0);
  if (code == 0 && subset != 0) code = zoq::WriteMainDocument(container.get(), subset, version);
  if (code != 0) {
    container.reset();
    QFile::remove(path);
    return code;
  }
  package_ = std::move(container);
  SetFilePath(path);
  read_only_ = false;
  is_new_ = true;
  ClearChanges();
  subset_code_ = subset;
  version_code_ = version;
  if (subset != 0) NoteChange(QString::fromUtf16(zoq::kMainDocumentPath), Change::kAdded);
  Q_EMIT opened();
  return 0;
}

void PackageDocument::Close() {
  if (!package_) return;
  package_.reset();
  // A new package closed before its first save leaves no file.
  if (is_new_) QFile::remove(file_path());
  is_new_ = false;
  ClearChanges();
  file_name_.clear();
  folder_.clear();
  read_only_ = false;
  revision_limit_ = 0;
  subset_code_ = 0;
  version_code_ = 0;
  Q_EMIT closed();
}

bool PackageDocument::IsModified() const {
  return package_ && (is_new_ || !pending_.isEmpty() || package_->IsModified());
}

int PackageDocument::saved_revisions() const {
  if (!package_) return 0;
  return std::max(0, package_->GetRevisionCount() - (package_->IsModified() ? 1 : 0));
}

int PackageDocument::Save() {
  if (!package_) return zoq::kInvalidArgument;
  const int code = package_->Save(zoq::kSaveIncremental, false);
  if (code != 0) return code;
  is_new_ = false;
  ClearChanges();
  Q_EMIT changed();
  return 0;
}

int PackageDocument::SaveAs(const QString& path) {
  if (!package_) return zoq::kInvalidArgument;
  const int code =
      package_->SaveAs(QFile::encodeName(path).toStdString(), zoq::kSaveIncremental, false);
  if (code != 0) return code;
  SetFilePath(path);
  is_new_ = false;
  read_only_ = false;
  ClearChanges();
  Q_EMIT changed();
  return 0;
}

int PackageDocument::Compact() {
  if (!package_) return zoq::kInvalidArgument;
  if (is_new_) return Save();  // a new package's first revision is compact already
  const int code = package_->SaveCompactWithWidth(std::string(), 0);
  if (code != 0) return code;
  ClearChanges();
  Q_EMIT changed();
  return 0;
}

void PackageDocument::NoteChange(const QString& path, Change change) {
  auto found = pending_.find(path);
  if (found != pending_.end() && change == Change::kDeleted && *found == Change::kAdded) {
    // Added and deleted again: nothing is left to save for it.
    pending_.erase(found);
    FindPendingFolders();
    return;
  }
  if (found != pending_.end() && *found == Change::kAdded && change == Change::kReplaced) {
    return;  // still new to the saved package
  }
  pending_.insert(path, change);
  AddPendingFolders(path);
}

void PackageDocument::AnnounceChanges() { Q_EMIT changed(); }

void PackageDocument::AddPendingFolders(const QString& path) {
  for (qsizetype slash = path.lastIndexOf(QLatin1Char('/')); slash >= 0;
       slash = slash == 0 ? -1 : path.lastIndexOf(QLatin1Char('/'), slash - 1)) {
    const QString folder = path.left(slash + 1);
    if (pending_folders_.contains(folder)) break;
    pending_folders_.insert(folder);
  }
}

void PackageDocument::FindPendingFolders() {
  pending_folders_.clear();
  for (auto it = pending_.cbegin(); it != pending_.cend(); ++it) AddPendingFolders(it.key());
}

bool PackageDocument::IsPending(const QString& path) const {
  return path.endsWith(QLatin1Char('/')) ? pending_folders_.contains(path) : pending_.contains(path);
}

void PackageDocument::ClearChanges() {
  pending_.clear();
  pending_folders_.clear();
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
