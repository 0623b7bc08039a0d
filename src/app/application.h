// The application object: prepares locale, icons and the program icon, runs
// the main window modally and ends when it closes.
#pragma once

#include <QApplication>
#include <QString>

#include "zoq/error_table.h"

namespace zoqe {

class CZOQEApp : public QApplication {
  Q_OBJECT

 public:
  CZOQEApp(int& argc, char** argv);

  // Shows the main window, opens `package` (when not empty) once the window
  // is up, and returns when the window has closed.
  int Run(const QString& package);

  // The texts, type names and standard dialogs in `language` (Chinese
  // unless asked: the tests rely on it), the system icon theme and the
  // program icon. Only the first call counts.
  static void ConfigureEnvironment(zoq::MessageLanguage language = zoq::MessageLanguage::kChinese);
};

}  // namespace zoqe
