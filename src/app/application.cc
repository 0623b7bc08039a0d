#include "app/application.h"

#include <QFileInfo>
#include <QIcon>
#include <QLocale>
#include <QTimer>

#include "app/export/export_command.h"
#include "app/shell_types.h"
#include "app/main_window.h"

// Resources of a static library must be registered by name, outside any
// namespace.
static void InitResources() { Q_INIT_RESOURCE(zoqe); }

namespace zoqe {

CZOQEApp::CZOQEApp(int& argc, char** argv) : QApplication(argc, argv) {
  setApplicationName(QStringLiteral("zoq-explorer"));
  setApplicationDisplayName(CZOQEDlg::InitialTitle());
  setApplicationVersion(QStringLiteral(ZOQ_VERSION_TEXT));
  setDesktopFileName(QStringLiteral("zoq-explorer"));
  ConfigureEnvironment();
}

void CZOQEApp::ConfigureEnvironment() {
  InitResources();
  QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
  ShellTypes::InitIconTheme();
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/zoqe/zoq-explorer.svg")));
}

int CZOQEApp::Run(const QString& package) {
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
