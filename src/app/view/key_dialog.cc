#include "app/view/key_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/message_box.h"
#include "zoq/key_text.h"

namespace zoqe {

namespace {

zoq::KeyText ReadEntry(const QString& text) {
  return zoq::ReadKeyText(std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()),
                                              static_cast<size_t>(text.size())),
                          zoq::KeyTextMode::kEntry);
}

}  // namespace

const QString& CZOQEPathDlg::Prompt() {
  static const QString prompt =
      tr("请输入密钥(建议16进制空格分隔，形如\"FF FE 0D 0A\")");
  return prompt;
}

QByteArray KeyBytesFromText(const QString& text) {
  const std::vector<uint8_t> bytes = ReadEntry(text).bytes;
  return QByteArray(reinterpret_cast<const char*>(bytes.data()),
                    static_cast<qsizetype>(bytes.size()));
}

CZOQEPathDlg::CZOQEPathDlg(QWidget* parent, bool offer_version) : QDialog(parent) {
  setObjectName(QStringLiteral("CZOQEPathDlg"));
  setWindowTitle(tr("输入密钥"));
  auto* prompt = new QLabel(Prompt(), this);
  prompt->setObjectName(QStringLiteral("keyPrompt"));
  prompt->setWordWrap(true);
  edit_ = new QLineEdit(this);
  edit_->setObjectName(QStringLiteral("keyEdit"));
  edit_->setMinimumWidth(360);
  edit_->setEchoMode(QLineEdit::Password);
  prompt->setBuddy(edit_);
  show_key_ = new QCheckBox(tr("显示密钥(&S)"), this);
  show_key_->setObjectName(QStringLiteral("showKey"));
  bytes_ = new QLabel(this);
  bytes_->setObjectName(QStringLiteral("keyBytes"));
  bytes_->setTextFormat(Qt::PlainText);
  bytes_->setWordWrap(true);
  bytes_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  warning_ = new QLabel(this);
  warning_->setObjectName(QStringLiteral("keyWarning"));
  warning_->setTextFormat(Qt::PlainText);
  warning_->setWordWrap(true);
  warning_->setStyleSheet(QStringLiteral("color: #b00000;"));
  connect(edit_, &QLineEdit::textChanged, this, &CZOQEPathDlg::UpdateBytes);
  connect(show_key_, &QCheckBox::toggled, this, [this](bool shown) {
    edit_->setEchoMode(shown ? QLineEdit::Normal : QLineEdit::Password);
    UpdateBytes();
  });

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setText(tr("确定"));
  buttons->button(QDialogButtonBox::Cancel)->setText(tr("取消"));
  connect(buttons, &QDialogButtonBox::accepted, this, &CZOQEPathDlg::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &CZOQEPathDlg::reject);
  auto* layout = new QVBoxLayout(this);
  // The dialog grows and shrinks with the warning.
  layout->setSizeConstraint(QLayout::SetFixedSize);
  layout->addWidget(prompt);
  layout->addWidget(edit_);
  layout->addWidget(show_key_);
  layout->addWidget(bytes_);
  layout->addWidget(warning_);
  if (offer_version) {
    version_ = new QComboBox(this);
    version_->setObjectName(QStringLiteral("documentVersion"));
    version_->addItem(tr("1.1 或更早(加密数据不带IV头)"), kVersionWithoutIv);
    version_->addItem(tr("1.2 或更新(加密数据以16字节IV头开始)"), kVersionWithIv);
    auto* form = new QFormLayout;
    form->addRow(tr("文档版本(&V):"), version_);
    layout->addLayout(form);
  }
  layout->addWidget(buttons);
  UpdateBytes();
}

void CZOQEPathDlg::UpdateBytes() {
  const zoq::KeyText read = ReadEntry(edit_->text());
  const auto count = static_cast<qsizetype>(read.bytes.size());
  if (edit_->text().isEmpty()) {
    bytes_->clear();
  } else if (count == 0) {
    bytes_->setText(tr("没有十六进制数字：将使用长度为0的密钥"));
  } else if (show_key_->isChecked()) {
    const QByteArray bytes(reinterpret_cast<const char*>(read.bytes.data()), count);
    bytes_->setText(tr("将使用%1个字节：%2").arg(count).arg(QString::fromLatin1(bytes.toHex(' '))));
  } else {
    bytes_->setText(tr("将使用%1个字节(勾选“显示密钥”可查看)").arg(count));
  }
  QStringList warnings;
  if (read.runs_cut) {
    warnings << tr("注意：有超过两位的连续十六进制数字，每串只取了最后两位。"
                               "请每个字节写两位，字节之间用空格分隔。");
  }
  if (read.truncated) {
    warnings << tr("注意：超过%1个字节的部分被忽略。").arg(zoq::kMaxKeyBytes);
  }
  warning_->setText(warnings.join(QLatin1Char('\n')));
  warning_->setVisible(!warnings.isEmpty());
}

int CZOQEPathDlg::document_version() const {
  return version_ ? version_->currentData().toInt() : kVersionWithoutIv;
}

void CZOQEPathDlg::accept() {
  const QString text = edit_->text();
  if (text.isEmpty()) {
    ShowMessage(this, Prompt(), tr("提示"), QMessageBox::Information);
    return;
  }
  key_ = KeyBytesFromText(text);
  QDialog::accept();
}

}  // namespace zoqe
