#include "app/view/find_dialog.h"

#include <QCheckBox>
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
  setWindowTitle(tr("查找"));
  setModal(false);
  auto* label = new QLabel(tr("查找内容(&N):"), this);
  text_ = new QLineEdit(initial, this);
  text_->setObjectName(QStringLiteral("findText"));
  label->setBuddy(text_);
  whole_word_ = new QCheckBox(tr("全字匹配(&W)"), this);
  match_case_ = new QCheckBox(tr("区分大小写(&C)"), this);
  auto* direction = new QGroupBox(tr("方向"), this);
  up_ = new QRadioButton(tr("向上(&U)"), direction);
  down_ = new QRadioButton(tr("向下(&D)"), direction);
  down_->setChecked(true);
  auto* direction_layout = new QHBoxLayout(direction);
  direction_layout->addWidget(up_);
  direction_layout->addWidget(down_);
  find_next_ = new QPushButton(tr("查找下一个(&F)"), this);
  find_next_->setDefault(true);
  find_next_->setEnabled(!initial.isEmpty());
  auto* cancel = new QPushButton(tr("取消"), this);

  auto* grid = new QGridLayout(this);
  grid->addWidget(label, 0, 0);
  grid->addWidget(text_, 0, 1, 1, 2);
  grid->addWidget(find_next_, 0, 3);
  grid->addWidget(whole_word_, 1, 0, 1, 2);
  grid->addWidget(direction, 1, 2, 2, 1);
  grid->addWidget(cancel, 1, 3);
  grid->addWidget(match_case_, 2, 0, 1, 2);

  connect(text_, &QLineEdit::textChanged, this,
          [this](const QString& text) { find_next_->setEnabled(!text.isEmpty()); });
  connect(find_next_, &QPushButton::clicked, this, [this] { FindNext(); });
  connect(cancel, &QPushButton::clicked, this, &QDialog::close);
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
