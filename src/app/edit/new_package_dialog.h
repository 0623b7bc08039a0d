// New package: where its file goes and what it is, a plain ZOQ package or a
// PLIV document of a subset and version (whose main part names them). The
// file is written at the first save; an existing file is never chosen.
#pragma once

#include <QDialog>

class QComboBox;
class QLineEdit;

namespace zoqe {

class NewPackageDialog : public QDialog {
  Q_OBJECT

 public:
  explicit NewPackageDialog(const QString& folder, QWidget* parent = nullptr);

  QLineEdit* path_edit() const { return path_; }
  QComboBox* type_box() const { return type_; }
  QComboBox* version_box() const { return version_; }
  QString path() const;
  // 0 for a plain package; else the subset kind (16 Full, 8 M, 2 P, 1 A)
  // and the version code (256, 257, 258).
  int subset() const;
  int version() const;

  void accept() override;

 private:
  void Browse();

  QLineEdit* path_ = nullptr;
  QComboBox* type_ = nullptr;
  QComboBox* version_ = nullptr;
};

}  // namespace zoqe
