#include "app/view/find_dialog.h"

#include <QCheckBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <Qsci/qsciscintilla.h>

#include "app/message_box.h"
#include "app/view/text_view.h"

namespace zoqe {

QString InitialFindText(const QString& selection) {
  return selection.size() < 31 ? selection : QString();
}

CFindDialog::CFindDialog(QsciScintilla* view, const QString& initial, QWidget* parent)
    : QDialog(parent), view_(view) {
  setObjectName(QStringLiteral("findDialog"));
  setModal(false);
  label_ = new QLabel(this);
  text_ = new QLineEdit(initial, this);
  text_->setObjectName(QStringLiteral("findText"));
  label_->setBuddy(text_);
  whole_word_ = new QCheckBox(this);
  match_case_ = new QCheckBox(this);
  direction_ = new QGroupBox(this);
  up_ = new QRadioButton(direction_);
  down_ = new QRadioButton(direction_);
  down_->setChecked(true);
  auto* direction_layout = new QHBoxLayout(direction_);
  direction_layout->addWidget(up_);
  direction_layout->addWidget(down_);
  find_next_ = new QPushButton(this);
  find_next_->setDefault(true);
  find_next_->setEnabled(!initial.isEmpty());
  cancel_ = new QPushButton(this);
  Retranslate();

  auto* grid = new QGridLayout(this);
  grid->addWidget(label_, 0, 0);
  grid->addWidget(text_, 0, 1, 1, 2);
  grid->addWidget(find_next_, 0, 3);
  grid->addWidget(whole_word_, 1, 0, 1, 2);
  grid->addWidget(direction_, 1, 2, 2, 1);
  grid->addWidget(cancel_, 1, 3);
  grid->addWidget(match_case_, 2, 0, 1, 2);

  connect(text_, &QLineEdit::textChanged, this,
          [this](const QString& text) { find_next_->setEnabled(!text.isEmpty()); });
  connect(find_next_, &QPushButton::clicked, this, [this] { FindNext(); });
  connect(cancel_, &QPushButton::clicked, this, &QDialog::close);
}

void CFindDialog::Retranslate() {
  setWindowTitle(tr("查找"));
  label_->setText(tr("查找内容(&N):"));
  whole_word_->setText(tr("全字匹配(&W)"));
  match_case_->setText(tr("区分大小写(&C)"));
  direction_->setTitle(tr("方向"));
  up_->setText(tr("向上(&U)"));
  down_->setText(tr("向下(&D)"));
  find_next_->setText(tr("查找下一个(&F)"));
  cancel_->setText(tr("取消"));
}

void CFindDialog::changeEvent(QEvent* event) {
  if (event->type() == QEvent::LanguageChange) Retranslate();
  QDialog::changeEvent(event);
}

bool CFindDialog::FindNext() {
  const QString text = text_->text();
  if (text.isEmpty()) return false;
  if (FindInTextView(view_, text, down_->isChecked(), whole_word_->isChecked(),
                     match_case_->isChecked())) {
    return true;
  }
  ShowMessage(this, tr("找不到\"%1\"").arg(text), tr("提示"),
              QMessageBox::Information);
  return false;
}

}  // namespace zoqe
