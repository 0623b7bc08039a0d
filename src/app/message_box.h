// Every message and question of the browser goes through ShowMessage, so
// that tests can read what would be shown and answer it without a modal loop.
#pragma once

#include <QMessageBox>
#include <QString>

#include <functional>

class QWidget;

namespace zoqe {

struct MessageRequest {
  QString text;
  QString caption;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QMessageBox::StandardButtons buttons = QMessageBox::Ok;
};

using MessageHandler = std::function<QMessageBox::StandardButton(const MessageRequest&)>;

// Shows a modal message box (or asks the installed handler) and returns the
// button that closed it.
QMessageBox::StandardButton ShowMessage(QWidget* parent, const QString& text,
                                        const QString& caption,
                                        QMessageBox::Icon icon = QMessageBox::NoIcon,
                                        QMessageBox::StandardButtons buttons = QMessageBox::Ok);

// Replaces the modal boxes by `handler` (an empty handler restores them).
// Returns the previous handler.
MessageHandler SetMessageHandler(MessageHandler handler);

// The recurring "错误" box with the error icon.
void ShowError(QWidget* parent, const QString& text);

}  // namespace zoqe
