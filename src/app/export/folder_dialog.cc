#include "app/export/folder_dialog.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <sys/stat.h>
#include <sys/types.h>

#include "app/message_box.h"

namespace zoqe {

CSelectDir::CSelectDir(const QString& path, QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("selectDir"));
  setWindowTitle(tr("请选择目标文件夹"));
  edit_ = new QLineEdit(path, this);
  edit_->setObjectName(QStringLiteral("targetPath"));
  edit_->setMinimumWidth(360);
  browse_ = new QPushButton(tr("选择文件夹.."), this);
  browse_->setObjectName(QStringLiteral("browseFolder"));
  browse_->setAutoDefault(false);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);

  auto* line = new QHBoxLayout;
  line->addWidget(edit_, 1);
  line->addWidget(browse_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(line);
  layout->addWidget(buttons);

  connect(browse_, &QPushButton::clicked, this, &CSelectDir::Browse);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

QString CSelectDir::path() const { return edit_->text(); }

void CSelectDir::Browse() {
  const QString folder = QFileDialog::getExistingDirectory(this);
  if (!folder.isEmpty()) edit_->setText(folder);
}

QString DefaultFolderName(const QString& file_name) {
  const qsizetype dot = file_name.lastIndexOf(QLatin1Char('.'));
  return dot > 0 ? file_name.left(dot) : file_name;
}

QString ProposedTarget(const QString& package_folder, const QString& default_name) {
  QString path = package_folder;
  if (!path.endsWith(QLatin1Char('/'))) path += QLatin1Char('/');
  if (!default_name.isEmpty()) path += default_name + QLatin1Char('/');
  return path;
}

QString PrepareTargetFolder(const QString& text) {
  QString path = text;
  if (path.size() > 1 && path.endsWith(QLatin1Char('/'))) path.chop(1);
  if (path.isEmpty()) return QString();
  const QByteArray native = QFile::encodeName(path);
  struct stat st;
  if (::stat(native.constData(), &st) != 0) {
    // One level only: a missing parent is a failure, not a reason to make
    // a chain of folders the user may not have meant.
    if (::mkdir(native.constData(), 0755) != 0) return QString();
  } else if (!S_ISDIR(st.st_mode)) {
    return QString();
  }
  return path.endsWith(QLatin1Char('/')) ? path : path + QLatin1Char('/');
}

QString ChooseTargetFolder(QWidget* parent, const QString& package_folder,
                           const QString& default_name) {
  CSelectDir dialog(ProposedTarget(package_folder, default_name), parent);
  if (dialog.exec() != QDialog::Accepted) return QString();
  const QString folder = PrepareTargetFolder(dialog.path());
  if (folder.isEmpty()) ShowError(parent, CSelectDir::tr("创建文件夹失败"));
  return folder;
}

}  // namespace zoqe
