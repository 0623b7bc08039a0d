// The application object: prepares locale, icons and the program icon, runs
// the main window modally and ends when it closes.
#pragma once

#include <QApplication>
#include <QString>

namespace zoqe {

class CZOQEApp : public QApplication {
  Q_OBJECT

 public:
  CZOQEApp(int& argc, char** argv);

  // Shows the main window, opens `package` (when not empty) once the window
  // is up, and returns when the window has closed.
  int Run(const QString& package);

  // Chinese type names and standard dialogs (Qt's own translations), the
  // system icon theme and the program icon; used by the tests as well.
  static void ConfigureEnvironment();
};

}  // namespace zoqe
