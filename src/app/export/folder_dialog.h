// The dialog that asks for the target folder of an export ("请选择目标文件夹"),
// and the steps around it: the proposed folder and making the chosen folder
// ready.
#pragma once

#include <QDialog>
#include <QString>

class QLineEdit;
class QPushButton;

namespace zoqe {

class CSelectDir : public QDialog {
  Q_OBJECT

 public:
  explicit CSelectDir(const QString& path, QWidget* parent = nullptr);

  QString path() const;
  QLineEdit* path_edit() const { return edit_; }
  QPushButton* browse_button() const { return browse_; }

 private:
  void Browse();

  QLineEdit* edit_ = nullptr;
  QPushButton* browse_ = nullptr;
};

// The package file name up to its last dot (a dot in front is kept as part
// of the name), else the whole name.
QString DefaultFolderName(const QString& file_name);

// The package's folder with "/" and then the default folder name and "/"
// when that name is not empty.
QString ProposedTarget(const QString& package_folder, const QString& default_name);

// Makes the folder the user typed ready: a trailing "/" is dropped; when
// nothing exists there a single folder is made (its parent must exist).
// Returns the folder with a trailing "/", or an empty string when the text
// is empty, the folder cannot be made or something other than a folder
// stands there.
QString PrepareTargetFolder(const QString& text);

// Shows CSelectDir with the proposed folder and prepares the answer. Shows
// "创建文件夹失败" when that fails. Returns the folder with a trailing "/", or
// an empty string when cancelled or failed.
QString ChooseTargetFolder(QWidget* parent, const QString& package_folder,
                           const QString& default_name);

}  // namespace zoqe
