// Records the messages the browser would show and answers its questions,
// in place of modal boxes.
#pragma once

#include <QList>
#include <QMessageBox>
#include <QTest>

#include "app/message_box.h"

namespace zoqe_test {

class MessageRecorder {
 public:
  MessageRecorder() {
    previous_ = zoqe::SetMessageHandler([this](const zoqe::MessageRequest& request) {
      shown.append(request);
      if (!answers.isEmpty()) return answers.takeFirst();
      return default_answer;
    });
  }
  ~MessageRecorder() { zoqe::SetMessageHandler(previous_); }

  // Forgets what was shown and answers as a new recorder would.
  void Reset() {
    shown.clear();
    answers.clear();
    default_answer = QMessageBox::Ok;
  }

  QString LastText() const { return shown.isEmpty() ? QString() : shown.last().text; }

  // Checks the text, caption and icon of the last message shown.
  void ExpectLast(const QString& text, const QString& caption, QMessageBox::Icon icon) const {
    QVERIFY(!shown.isEmpty());
    QCOMPARE(shown.last().text, text);
    QCOMPARE(shown.last().caption, caption);
    QCOMPARE(shown.last().icon, icon);
  }

  QList<zoqe::MessageRequest> shown;
  QList<QMessageBox::StandardButton> answers;
  QMessageBox::StandardButton default_answer = QMessageBox::Ok;

 private:
  zoqe::MessageHandler previous_;
};

}  // namespace zoqe_test
