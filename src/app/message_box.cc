#include "app/message_box.h"

#include <QCoreApplication>

#include <utility>

namespace zoqe {

namespace {
// The context of this file's texts in the translations.
struct Text {
  Q_DECLARE_TR_FUNCTIONS(MessageBox)
};

MessageHandler& Handler() {
  static MessageHandler handler;
  return handler;
}
}  // namespace

QMessageBox::StandardButton ShowMessage(QWidget* parent, const QString& text,
                                        const QString& caption, QMessageBox::Icon icon,
                                        QMessageBox::StandardButtons buttons) {
  MessageRequest request{text, caption, icon, buttons};
  if (Handler()) return Handler()(request);
  QMessageBox box(icon, caption, text, buttons, parent);
  // Messages quote part and file names, which are shown as they are, never
  // read as markup.
  box.setTextFormat(Qt::PlainText);
  return static_cast<QMessageBox::StandardButton>(box.exec());
}

MessageHandler SetMessageHandler(MessageHandler handler) {
  return std::exchange(Handler(), std::move(handler));
}

void ShowError(QWidget* parent, const QString& text) {
  ShowMessage(parent, text, Text::tr("错误"), QMessageBox::Critical);
}

}  // namespace zoqe
