// Key entry: the prompt in the dialog's body, the key typed masked (a box
// shows it), and below it the bytes the text gives as it is typed, with a
// warning when a run of more than two hexadecimal digits was cut to its
// last two. The text is read by zoq::ReadKeyText (entry reading). When the
// package may hold encrypted data with the 16-byte IV header and its
// document version is not known, the dialog also asks for it.
#pragma once

#include <QByteArray>
#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;

namespace zoqe {

class CZOQEPathDlg : public QDialog {
  Q_OBJECT

 public:
  // Document version codes the dialog offers.
  static constexpr int kVersionWithoutIv = 0;
  static constexpr int kVersionWithIv = 258;

  // `offer_version`: show the document version choice.
  explicit CZOQEPathDlg(QWidget* parent = nullptr, bool offer_version = false);

  static const QString& Prompt();
  QLineEdit* edit() const { return edit_; }
  QCheckBox* show_key() const { return show_key_; }
  QLabel* bytes_label() const { return bytes_; }
  QLabel* warning_label() const { return warning_; }
  QComboBox* version_box() const { return version_; }
  // The key bytes of the accepted text.
  const QByteArray& key() const { return key_; }
  // kVersionWithIv when chosen, else kVersionWithoutIv.
  int document_version() const;

  void accept() override;

 private:
  void UpdateBytes();

  QLineEdit* edit_ = nullptr;
  QCheckBox* show_key_ = nullptr;
  QLabel* bytes_ = nullptr;
  QLabel* warning_ = nullptr;
  QComboBox* version_ = nullptr;
  QByteArray key_;
};

// The key bytes of a typed key text: at most 256.
QByteArray KeyBytesFromText(const QString& text);

}  // namespace zoqe
