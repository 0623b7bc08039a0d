// Records the messages the browser would show and answers its questions,
// in place of modal boxes.
#pragma once

#include <QList>
#include <QMessageBox>

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

  QString LastText() const { return shown.isEmpty() ? QString() : shown.last().text; }

  QList<zoqe::MessageRequest> shown;
  QList<QMessageBox::StandardButton> answers;
  QMessageBox::StandardButton default_answer = QMessageBox::Ok;

 private:
  zoqe::MessageHandler previous_;
};

}  // namespace zoqe_test
