// Editing the open package from the window: new package, adding files and
// folders (menu commands and drops), deleting, renaming, saving, saving a
// copy and compacting. Every change goes through the container and is
// remembered by the document as a pending change until the next save; a
// refused change says why (the library's code and message) and leaves the
// package as it was.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

#include "app/edit/add_job.h"

namespace zoqe {

class CZOQEDlg;
class PackageDocument;

// Adds of more files or bytes than these ask first when they come from a
// drop.
inline constexpr int kDropAskFiles = 100;
inline constexpr int64_t kDropAskBytes = int64_t{100} << 20;

class EditCommands : public QObject {
  Q_OBJECT

 public:
  // What the dialogs answer; tests replace them.
  struct NewPackageChoice {
    QString path;
    int subset = 0;
    int version = 0;
  };
  using NewPackageAsker = std::function<bool(NewPackageChoice*)>;
  using CodesAsker = std::function<bool(AddCodes*)>;
  using NameAsker = std::function<bool(const QString& old_name, QString* name)>;
  // The file a copy is saved as (starting from `path`).
  using PathAsker = std::function<bool(QString* path)>;

  explicit EditCommands(CZOQEDlg* window);

  void SetNewPackageAsker(NewPackageAsker asker) { new_package_ = std::move(asker); }
  void SetCodesAsker(CodesAsker asker) { codes_ = std::move(asker); }
  void SetNameAsker(NameAsker asker) { name_ = std::move(asker); }
  void SetSaveAsAsker(PathAsker asker) { save_as_ = std::move(asker); }

  // File menu. A name taken when the file is made (New) or written (Save
  // As), also by a file that appeared there after the name was asked, is
  // never written over unasked: New asks for another name, Save As whether
  // to replace that file.
  bool NewPackage(const QStringList& paths = {});
  bool Save();
  bool SaveAs();
  bool Compact();
  // Edit menu: files or a folder chosen in a dialog, below the selected
  // folder.
  void AddFiles();
  void AddFolder();
  // Adds files and folders below the package folder `target` ("/a/").
  // `from_drop`: ask first when it is large.
  bool AddPaths(const QStringList& paths, const QString& target, bool from_drop);
  // The parts and folders selected in the list, or else the tree's item.
  bool DeleteSelection();
  // The selected part gets a new name in its folder.
  bool RenameSelection();

  // The package folder the selected tree item stands for (a part's folder).
  QString SelectedFolder() const;

 private:
  // Runs the add, with a progress dialog when it is large.
  void RunAdd(AddJob* job);
  QStringList SelectedPaths() const;
  void Refuse(int code, const QString& what);

  CZOQEDlg* window_;
  PackageDocument* document_;
  NewPackageAsker new_package_;
  CodesAsker codes_;
  NameAsker name_;
  PathAsker save_as_;
};

// "message(code)" from the library's error table, or "(code)" alone.
QString CodeText(int code);

}  // namespace zoqe
