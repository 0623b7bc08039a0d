// Asked once per add: how the parts are stored (no coding, ZIP compression,
// ADM encryption, both) and, in a PLIV document, whether XML files become
// SXC binary XML. ADM needs the key: when none was entered the key dialog
// asks for it before the add goes on.
#pragma once

#include <QDialog>

#include "app/edit/add_job.h"

class QCheckBox;
class QComboBox;

namespace zoqe {

class PackageDocument;

class AddCodesDialog : public QDialog {
  Q_OBJECT

 public:
  enum Coding { kNone, kZip, kAdm, kZipAdm };

  AddCodesDialog(PackageDocument* document, QWidget* parent = nullptr);

  QComboBox* coding_box() const { return coding_; }
  QCheckBox* sxc_box() const { return sxc_; }
  // The codes of the accepted choice (ADM with the document's key).
  AddCodes codes() const;

  void accept() override;

 private:
  PackageDocument* document_;
  QComboBox* coding_ = nullptr;
  QCheckBox* sxc_ = nullptr;
};

// The codes of a choice; `key` is needed for ADM.
AddCodes MakeAddCodes(AddCodesDialog::Coding coding, bool sxc_xml, const zoq::KeyInfo* key);

}  // namespace zoqe
