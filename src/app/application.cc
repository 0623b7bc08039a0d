#include "app/application.h"

#include <QFileInfo>
#include <QIcon>
#include <QTimer>

#include "app/app_language.h"
#include "app/export/export_command.h"
#include "app/shell_types.h"
#include "app/main_window.h"
#include "zoq/container.h"

// Resources of a static library must be registered by name, outside any
// namespace.
static void InitResources() {
  Q_INIT_RESOURCE(zoqe);
  Q_INIT_RESOURCE(zoqe_i18n);
}

namespace zoqe {

CZOQEApp::CZOQEApp(int& argc, char** argv) : QApplication(argc, argv) {
  // No display name: the windowing system would add it to every window
  // title, and message box captions must read exactly as given.
  setApplicationName(QStringLiteral("zoq-explorer"));
  setApplicationVersion(QStringLiteral(ZOQ_VERSION_TEXT));
  setDesktopFileName(QStringLiteral("zoq-explorer"));
  ConfigureEnvironment(ChosenLanguage());
}

void CZOQEApp::ConfigureEnvironment(zoq::MessageLanguage language) {
  static bool configured = false;
  if (configured) return;
  configured = true;
  InitResources();
  ApplyLanguage(language);
  ShellTypes::InitIconTheme();
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/zoqe/zoq-explorer.svg")));
}

int CZOQEApp::Run(const QString& package) {
  // Temporary folders that killed runs of the command-line tool left in the
  // system's temporary folder (this program keeps its own in its work
  // folder, tidied when the window is made).
  zoq::RemoveStaleTemporaries(std::string());
  CZOQEDlg dialog;
  InstallExport(&dialog);
  if (!package.isEmpty()) {
    const QString path = QFileInfo(package).absoluteFilePath();
    QTimer::singleShot(0, &dialog, [&dialog, path] { dialog.OpenPackage(path, false); });
  }
  dialog.exec();
  return 0;
}

}  // namespace zoqe
