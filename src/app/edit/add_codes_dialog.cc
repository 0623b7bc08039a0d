#include "app/edit/add_codes_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QVBoxLayout>

#include "app/message_box.h"
#include "app/package_document.h"
#include "app/view/key_dialog.h"

namespace zoqe {

AddCodes MakeAddCodes(AddCodesDialog::Coding coding, bool sxc_xml, const zoq::KeyInfo* key) {
  AddCodes codes;
  const bool adm = coding == AddCodesDialog::kAdm || coding == AddCodesDialog::kZipAdm;
  if (coding == AddCodesDialog::kZip || coding == AddCodesDialog::kZipAdm) {
    codes.codes.push_back({zoq::kEcsZip, nullptr});
  }
  if (adm) codes.codes.push_back({zoq::kEcsAdm, key});
  codes.sxc_xml = sxc_xml;
  if (sxc_xml) {
    codes.xml_codes.push_back({zoq::kEcsSxc, nullptr});
    if (adm) codes.xml_codes.push_back({zoq::kEcsAdm, key});
  }
  return codes;
}

AddCodesDialog::AddCodesDialog(PackageDocument* document, QWidget* parent)
    : QDialog(parent), document_(document) {
  setObjectName(QStringLiteral("addCodesDialog"));
  setWindowTitle(tr("添加文件"));
  coding_ = new QComboBox(this);
  coding_->setObjectName(QStringLiteral("codingBox"));
  coding_->addItem(tr("不编码"), kNone);
  coding_->addItem(tr("ZIP压缩"), kZip);
  coding_->addItem(tr("ADM加密"), kAdm);
  coding_->addItem(tr("ZIP压缩+ADM加密"), kZipAdm);
  coding_->setCurrentIndex(1);
  sxc_ = new QCheckBox(tr("XML文件以SXC编码"), this);
  sxc_->setObjectName(QStringLiteral("sxcBox"));
  // SXC needs the schema of a PLIV document.
  const bool pliv = document_->subset_code() != 0;
  sxc_->setChecked(pliv);
  sxc_->setVisible(pliv);
  auto* form = new QFormLayout;
  form->addRow(tr("存储方式:"), coding_);
  form->addRow(QString(), sxc_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(buttons);
}

AddCodes AddCodesDialog::codes() const {
  return MakeAddCodes(static_cast<Coding>(coding_->currentData().toInt()),
                      document_->subset_code() != 0 && sxc_->isChecked(),
                      document_->key_info());
}

void AddCodesDialog::accept() {
  const int coding = coding_->currentData().toInt();
  if ((coding == kAdm || coding == kZipAdm) && !document_->key_info()) {
    CZOQEPathDlg key(this);
    if (key.exec() != QDialog::Accepted) {
      ShowError(this, tr("ADM加密需要密钥，请输入密钥或选择其他存储方式。"));
      return;
    }
    document_->SetKey(key.key());
  }
  QDialog::accept();
}

}  // namespace zoqe
