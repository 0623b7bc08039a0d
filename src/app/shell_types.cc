#include "app/shell_types.h"

#include <QDir>

namespace zoqe {

const ShellType& ShellTypes::Lookup(const QString& file_name) {
  auto found = cache_.constFind(file_name);
  if (found != cache_.constEnd()) return *found;
  ++lookups_;
  ShellType type;
  // The MIME database sees no extension in a name that begins with its dot
  // (".png"): give such names a stem. Callers pass upper-case extensions,
  // and a few upper-case patterns name other types than the usual lower-case
  // ones (".C" is C++ source, ".c" C source): ask in lower case.
  const QString probe =
      (file_name.startsWith(QLatin1Char('.')) ? QStringLiteral("file") + file_name : file_name)
          .toLower();
  const QMimeType mime = mime_.mimeTypeForFile(probe, QMimeDatabase::MatchExtension);
  if (mime.isValid() && !mime.isDefault()) {
    type.known = true;
    type.name = mime.comment();
    type.icon = QIcon::fromTheme(mime.iconName());
    if (type.icon.isNull()) type.icon = QIcon::fromTheme(mime.genericIconName());
  }
  return *cache_.insert(file_name, type);
}

void ShellTypes::InitIconTheme() {
  QStringList paths = QIcon::themeSearchPaths();
  if (!paths.contains(QStringLiteral("/usr/share/icons"))) {
    paths << QStringLiteral("/usr/share/icons");
    QIcon::setThemeSearchPaths(paths);
  }
  if (QIcon::themeName().isEmpty() || QIcon::themeName() == QLatin1String("hicolor")) {
    if (QDir(QStringLiteral("/usr/share/icons/breeze")).exists()) {
      QIcon::setThemeName(QStringLiteral("breeze"));
    } else {
      QIcon::setThemeName(QStringLiteral("Adwaita"));
    }
  }
  if (QIcon::fallbackThemeName().isEmpty() ||
      QIcon::fallbackThemeName() == QLatin1String("hicolor")) {
    QIcon::setFallbackThemeName(QStringLiteral("Adwaita"));
  }
}

ShellTypes& ShellTypes::Instance() {
  static ShellTypes instance;
  return instance;
}

}  // namespace zoqe
