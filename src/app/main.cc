// zoq-explorer [PACKAGE]: the desktop browser for ZOQ packages; opens
// PACKAGE (.zoq or .pliv) at start when one is given.
#include <QStringList>

#include "app/application.h"

int main(int argc, char** argv) {
  zoqe::CZOQEApp app(argc, argv);
  const QStringList args = app.arguments();
  return app.Run(args.size() > 1 ? args.at(1) : QString());
}
