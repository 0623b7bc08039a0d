#include "app/notice_pane.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace zoqe {

NoticePane::NoticePane(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("noticePane"));
  text_ = new QLabel(this);
  text_->setObjectName(QStringLiteral("noticeText"));
  text_->setTextFormat(Qt::PlainText);  // notices quote part names
  text_->setAlignment(Qt::AlignCenter);
  text_->setWordWrap(true);
  text_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  buttons_ = new QWidget(this);
  button_layout_ = new QHBoxLayout(buttons_);
  button_layout_->setContentsMargins(0, 0, 0, 0);
  auto* layout = new QVBoxLayout(this);
  layout->addStretch(1);
  layout->addWidget(text_);
  layout->addWidget(buttons_, 0, Qt::AlignHCenter);
  layout->addStretch(2);
}

void NoticePane::Set(const QString& text, std::vector<NoticeOffer> offers) {
  text_->setText(text);
  // Buttons of an earlier notice may be running this very call: let them
  // go once control is back in the event loop.
  for (QPushButton* old : buttons_->findChildren<QPushButton*>(Qt::FindDirectChildrenOnly)) {
    old->hide();
    old->deleteLater();
  }
  for (NoticeOffer& offer : offers) {
    auto* button = new QPushButton(offer.label, buttons_);
    button_layout_->addWidget(button);
    connect(button, &QPushButton::clicked, this, std::move(offer.run));
  }
  buttons_->setVisible(!offers.empty());
}

QString NoticePane::text() const { return text_->text(); }

}  // namespace zoqe
