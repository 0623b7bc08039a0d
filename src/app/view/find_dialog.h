// The modeless find dialog of the text view: find only, whole word, match
// case, up or down. A miss says so in a message.
#pragma once

#include <QDialog>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QsciScintilla;

namespace zoqe {

class CFindDialog : public QDialog {
  Q_OBJECT

 public:
  // Starts with `initial` as search text, searching down.
  CFindDialog(QsciScintilla* view, const QString& initial, QWidget* parent = nullptr);

  QLineEdit* text_edit() const { return text_; }
  QCheckBox* whole_word() const { return whole_word_; }
  QCheckBox* match_case() const { return match_case_; }
  QRadioButton* up() const { return up_; }
  QRadioButton* down() const { return down_; }
  QPushButton* find_next() const { return find_next_; }

  // Looks for the next match; returns whether one was found.
  bool FindNext();

 protected:
  // A language switch sets the texts again.
  void changeEvent(QEvent* event) override;

 private:
  void Retranslate();

  QsciScintilla* view_;
  QLabel* label_ = nullptr;
  QGroupBox* direction_ = nullptr;
  QPushButton* cancel_ = nullptr;
  QLineEdit* text_ = nullptr;
  QCheckBox* whole_word_ = nullptr;
  QCheckBox* match_case_ = nullptr;
  QRadioButton* up_ = nullptr;
  QRadioButton* down_ = nullptr;
  QPushButton* find_next_ = nullptr;
};

// The search text a new find dialog starts with: the selection when it is
// shorter than 31 characters, else nothing.
QString InitialFindText(const QString& selection);

}  // namespace zoqe
