#include "app/view/key_dialog.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QLineEdit>
#include <QVBoxLayout>

#include "app/message_box.h"
#include "zoq/key_text.h"

namespace zoqe {

const QString& CZOQEPathDlg::Prompt() {
  static const QString prompt =
      QStringLiteral("请输入密钥(建议16进制空格分隔，形如\"FF FE 0D 0A\")");
  return prompt;
}

QByteArray KeyBytesFromText(const QString& text) {
  const std::vector<uint8_t> bytes =
      zoq::ReadKeyText(std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()),
                                           static_cast<size_t>(text.size())),
                       zoq::KeyTextMode::kEntry)
          .bytes;
  return QByteArray(reinterpret_cast<const char*>(bytes.data()),
                    static_cast<qsizetype>(bytes.size()));
}

CZOQEPathDlg::CZOQEPathDlg(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("CZOQEPathDlg"));
  setWindowTitle(Prompt());
  edit_ = new QLineEdit(this);
  edit_->setObjectName(QStringLiteral("keyEdit"));
  edit_->setMinimumWidth(360);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("确定"));
  buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取消"));
  connect(buttons, &QDialogButtonBox::accepted, this, &CZOQEPathDlg::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &CZOQEPathDlg::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(edit_);
  layout->addWidget(buttons);
}

void CZOQEPathDlg::accept() {
  const QString text = edit_->text();
  if (text.isEmpty()) {
    ShowMessage(this, Prompt(), QStringLiteral("提示"), QMessageBox::Information);
    return;
  }
  key_ = KeyBytesFromText(text);
  QDialog::accept();
}

}  // namespace zoqe
