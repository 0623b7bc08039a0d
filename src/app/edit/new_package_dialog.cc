#include "app/edit/new_package_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/message_box.h"

namespace zoqe {

NewPackageDialog::NewPackageDialog(const QString& folder, QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("newPackageDialog"));
  setWindowTitle(tr("新建"));
  path_ = new QLineEdit(this);
  path_->setObjectName(QStringLiteral("pathEdit"));
  path_->setText(QDir(folder.isEmpty() ? QDir::homePath() : folder)
                     .filePath(tr("新建文件") + QStringLiteral(".zoq")));
  path_->setMinimumWidth(360);
  auto* browse = new QPushButton(tr("浏览(&B)..."), this);
  connect(browse, &QPushButton::clicked, this, &NewPackageDialog::Browse);
  auto* path_row = new QHBoxLayout;
  path_row->addWidget(path_, 1);
  path_row->addWidget(browse);

  type_ = new QComboBox(this);
  type_->setObjectName(QStringLiteral("typeBox"));
  type_->addItem(tr("ZOQ包"), 0);
  type_->addItem(tr("PLIV文档 (Full)"), 16);
  type_->addItem(tr("PLIV文档 (M)"), 8);
  type_->addItem(tr("PLIV文档 (P)"), 2);
  type_->addItem(tr("PLIV文档 (A)"), 1);
  version_ = new QComboBox(this);
  version_->setObjectName(QStringLiteral("versionBox"));
  version_->addItem(QStringLiteral("1.2"), 258);
  version_->addItem(QStringLiteral("1.1"), 257);
  version_->addItem(QStringLiteral("1.0"), 256);
  version_->setEnabled(false);
  connect(type_, &QComboBox::currentIndexChanged, this, [this] {
    const bool pliv = subset() != 0;
    version_->setEnabled(pliv);
    // The usual extension follows the type while the name is the default.
    QString text = path_->text();
    const QString from = pliv ? QStringLiteral(".zoq") : QStringLiteral(".pliv");
    if (text.endsWith(from)) {
      text.chop(from.size());
      path_->setText(text + (pliv ? QStringLiteral(".pliv") : QStringLiteral(".zoq")));
    }
  });

  auto* form = new QFormLayout;
  form->addRow(tr("文件名:"), path_row);
  form->addRow(tr("文档类型:"), type_);
  form->addRow(tr("文档版本:"), version_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(buttons);
}

QString NewPackageDialog::path() const {
  return QFileInfo(path_->text().trimmed()).absoluteFilePath();
}

int NewPackageDialog::subset() const { return type_->currentData().toInt(); }

int NewPackageDialog::version() const {
  return subset() == 0 ? 0 : version_->currentData().toInt();
}

void NewPackageDialog::Browse() {
  QFileDialog dialog(this, tr("新建"), path());
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setOption(QFileDialog::DontConfirmOverwrite);
  dialog.setNameFilters({tr("ZOQ文件 (*.zoq *.pliv)"), tr("所有文件 (*)")});
  if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
    path_->setText(dialog.selectedFiles().first());
  }
}

void NewPackageDialog::accept() {
  const QString file = path_->text().trimmed();
  if (file.isEmpty() || file.endsWith(QLatin1Char('/'))) {
    ShowError(this, tr("请输入文件名"));
    return;
  }
  const QFileInfo info(path());
  if (info.exists() || info.isSymLink()) {
    ShowError(this, tr("文件已存在: %1").arg(info.filePath()));
    return;
  }
  if (!info.dir().exists()) {
    ShowError(this, tr("文件夹不存在: %1").arg(info.path()));
    return;
  }
  QDialog::accept();
}

}  // namespace zoqe
