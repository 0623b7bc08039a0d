#include "app/application.h"

#include <QFileInfo>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTimer>
#include <QTranslator>

#include "app/export/export_command.h"
#include "app/shell_types.h"
#include "app/main_window.h"

// Resources of a static library must be registered by name, outside any
// namespace.
static void InitResources() { Q_INIT_RESOURCE(zoqe); }

namespace zoqe {

CZOQEApp::CZOQEApp(int& argc, char** argv) : QApplication(argc, argv) {
  // No display name: the windowing system would add it to every window
  // title, and message box captions must read exactly as given.
  setApplicationName(QStringLiteral("zoq-explorer"));
  setApplicationVersion(QStringLiteral(ZOQ_VERSION_TEXT));
  setDesktopFileName(QStringLiteral("zoq-explorer"));
  ConfigureEnvironment();
}

void CZOQEApp::ConfigureEnvironment() {
  static bool configured = false;
  if (configured) return;
  configured = true;
  InitResources();
  const QLocale chinese(QLocale::Chinese, QLocale::China);
  QLocale::setDefault(chinese);
  // The standard buttons and dialogs speak Chinese too, whatever the
  // system's locale.
  auto* translator = new QTranslator(qApp);
  if (translator->load(chinese, QStringLiteral("qtbase"), QStringLiteral("_"),
                       QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QCoreApplication::installTranslator(translator);
  } else {
    delete translator;
  }
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
