// Key entry: a one-line dialog whose title is the prompt. The typed text is
// read as hexadecimal byte runs (see zoq::ParseKeyEntryText).
#pragma once

#include <QByteArray>
#include <QDialog>

class QLineEdit;

namespace zoqe {

class CZOQEPathDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CZOQEPathDlg(QWidget* parent = nullptr);

  static const QString& Prompt();
  QLineEdit* edit() const { return edit_; }
  // The key bytes of the accepted text.
  const QByteArray& key() const { return key_; }

  void accept() override;

 private:
  QLineEdit* edit_ = nullptr;
  QByteArray key_;
};

// The key bytes of a typed key text: at most 256.
QByteArray KeyBytesFromText(const QString& text);

}  // namespace zoqe
