// open_to_paint PACKAGE: starts the browser as `zoq-explorer PACKAGE` does,
// opens the package, paints the window with its tree and exits, printing
// the number of items in the tree. Run under a timer (make compare's
// browser row), its wall time is what a user waits from starting the
// program to seeing the package's tree, and its peak resident memory is the
// whole program's.
#include <QApplication>
#include <QFileInfo>
#include <QTimer>
#include <cstdio>

#include "app/application.h"
#include "app/export/export_command.h"
#include "app/main_window.h"
#include "app/package_tree_model.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: open_to_paint PACKAGE\n");
    return 2;
  }
  zoqe::CZOQEApp app(argc, argv);
  zoqe::CZOQEDlg window;
  zoqe::InstallExport(&window);
  const QString path = QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath();
  int status = 1;
  // Opened once the window is up, as the program does with its argument.
  QTimer::singleShot(0, &window, [&] {
    if (window.OpenPackage(path, false)) {
      QApplication::processEvents();
      window.repaint();  // the tree painted before the clock stops
      std::printf("%d items in the tree\n", window.tree_model()->item_count());
      status = 0;
    }
    window.close();
  });
  window.show();
  QApplication::exec();
  return status;
}
