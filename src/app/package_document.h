// The open package as the browser holds it, without any window: the
// container, where its file lies, how it was opened, the document type, the
// key handed to every read, and the changes made since the last save. The
// main window shows it and asks the questions; this object only does what
// it is told and says what changed through its signals.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>

#include <functional>
#include <memory>

#include "zoq/container.h"
#include "zoq/decode_options.h"

namespace zoqe {

class PackageDocument : public QObject {
  Q_OBJECT

 public:
  using ContainerFactory = std::function<int(const zoq::ContainerOptions&, zoq::Container**)>;
  // Which step of an open failed.
  enum class OpenFailure { kNone, kContainer, kFile };

  // `work_folder` holds the containers' temporary folders; the program's
  // folder decides where the binary schemas are found.
  PackageDocument(const QString& work_folder, const QString& program_folder,
                  QObject* parent = nullptr);
  ~PackageDocument() override;

  void SetContainerFactory(ContainerFactory factory);

  // Opens a package file in place of the open one (which is dropped as it
  // is: ask before). Returns 0 or the code of the failed step (*failure
  // says which); a failure leaves nothing open. A revision limit above 0
  // opens the package as it was at that revision, read-only (a damaged
  // package read up to its damage).
  int Open(const QString& path, bool read_only, OpenFailure* failure = nullptr,
           int revision_limit = 0);
  // Starts a new, empty package in the file `path`, which must not exist:
  // parts go straight into it, it holds a revision from the first save on,
  // and it is removed when the package is closed before that. A PLIV
  // document (subset kind and version code not 0) gets its main part at
  // once, as a change.
  int Create(const QString& path, int subset, int version);
  // Drops the open package and its unsaved changes.
  void Close();

  // Saves the changes as one new revision of the package file (a new
  // package: its first); a failure leaves the file and the changes as they
  // were.
  int Save();
  // Writes the package with its changes into another file, which is open
  // from then on; the original file stays as it was.
  int SaveAs(const QString& path);
  // Rewrites the package file with one revision holding the current content
  // of every part (changes included): the history is dropped and the space
  // of older versions comes back.
  int Compact();

  // Changes made since the last save, by package path, as the window marks
  // them. Every change goes through the container first; these only
  // remember what was done.
  enum class Change { kAdded, kReplaced, kDeleted };
  void NoteChange(const QString& path, Change change);
  // Tells the window that changes were noted (once per command).
  void AnnounceChanges();
  int pending_count() const { return static_cast<int>(pending_.size()); }
  // Whether the part, or for a folder path ("/a/") anything below it, has
  // a change.
  bool IsPending(const QString& path) const;
  // Whether the package was made here and not saved yet.
  bool is_new() const { return is_new_; }

  bool is_open() const { return package_ != nullptr; }
  zoq::Container* package() const { return package_.get(); }
  // "name.zoq", and the folder it lies in with its trailing "/".
  const QString& file_name() const { return file_name_; }
  const QString& folder() const { return folder_; }
  QString file_path() const { return folder_ + file_name_; }
  bool read_only() const { return read_only_; }
  // The revision the package was opened at; 0 for the newest.
  int revision_limit() const { return revision_limit_; }
  bool IsModified() const;
  // The revisions the package file holds (unsaved changes make one more
  // that the container counts already).
  int saved_revisions() const;

  // The document type the package was given (PLIV detection at open, or a
  // document version chosen with the key): 0 for plain packages.
  void SetDocumentCodes(int subset, int version);
  int subset_code() const { return subset_code_; }
  int version_code() const { return version_code_; }

  // The decryption key handed to every read: none until one is entered; it
  // survives closing and opening packages. At most 256 bytes are kept; a
  // length of 0 is a key that was entered empty.
  void SetKey(const QByteArray& key);
  const zoq::KeyInfo* key_info() const { return key_set_ ? &key_info_ : nullptr; }

  const QString& work_folder() const { return work_folder_; }
  const QString& program_folder() const { return program_folder_; }

 Q_SIGNALS:
  // A package was opened, or the open one closed.
  void opened();
  void closed();
  // The package's content or its file changed (a change stored, a save).
  void changed();

 private:
  zoq::ContainerOptions Options() const;
  int MakeContainer(std::unique_ptr<zoq::Container>* out);
  void SetFilePath(const QString& path);
  void ClearChanges();
  void AddPendingFolders(const QString& path);
  void FindPendingFolders();

  ContainerFactory factory_;
  std::unique_ptr<zoq::Container> package_;
  QString work_folder_;
  QString program_folder_;
  QString file_name_;
  QString folder_;
  bool read_only_ = false;
  int revision_limit_ = 0;
  bool is_new_ = false;
  QHash<QString, Change> pending_;
  QSet<QString> pending_folders_;  // every folder above a change
  int subset_code_ = 0;
  int version_code_ = 0;
  unsigned char key_bytes_[256] = {};
  zoq::KeyInfo key_info_;
  bool key_set_ = false;
};

}  // namespace zoqe
