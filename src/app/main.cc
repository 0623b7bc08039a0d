// zoq-explorer [PACKAGE]: the desktop browser for ZOQ packages; opens
// PACKAGE (.zoq or .pliv) at start when one is given.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

#include "app/application.h"

int main(int argc, char** argv) {
  zoqe::CZOQEApp app(argc, argv);
  QCommandLineParser parser;
  parser.setApplicationDescription(
      QCoreApplication::translate("main", "浏览 ZOQ 包与 PLIV 文档，以及它们的修订历史。"));
  parser.addHelpOption();
  parser.addVersionOption();
  parser.addPositionalArgument(QStringLiteral("PACKAGE"),
                               QCoreApplication::translate("main", "启动时打开的包（.zoq 或 .pliv）。"),
                               QStringLiteral("[PACKAGE]"));
  // --help and --version print and end the program; an unknown option ends
  // it with status 1 and a message, as a package named like an option would
  // otherwise be looked for as a file ("--" ends the options).
  parser.process(app);
  const QStringList packages = parser.positionalArguments();
  if (packages.size() > 1) {
    std::fprintf(stderr, "%s: %s\n", qUtf8Printable(QCoreApplication::applicationName()),
                 qUtf8Printable(QCoreApplication::translate("main", "只能打开一个包。")));
    std::fputs(qUtf8Printable(parser.helpText()), stderr);
    return 1;
  }
  return app.Run(packages.value(0));
}
