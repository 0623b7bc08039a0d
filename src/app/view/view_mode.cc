#include "app/view/view_mode.h"

#include <QHash>

namespace zoqe {

int ViewModeForExtension(const QString& upper_extension) {
  static const QHash<QString, int> map = [] {
    QHash<QString, int> m;
    m.insert(QStringLiteral("XML"), kViewXml);
    for (const char* key : {"BMP", "JPG", "JPEG", "JP2", "PSD", "PNG", "TIFF", "TIF", "SVG"}) {
      m.insert(QString::fromLatin1(key), kViewImage);
    }
    for (const char* key : {"TXT", "BAT", "INI", "H", "HPP", "C", "CPP", "HTM", "HTML", "JAVA",
                            "JAV", "REG"}) {
      m.insert(QString::fromLatin1(key), kViewText);
    }
    m.insert(QStringLiteral("RTF"), kViewRichText);
    return m;
  }();
  return map.value(upper_extension, kViewByExtension);
}

QString PathExtension(const QString& path) {
  const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
  return dot < 0 ? QString() : path.mid(dot + 1);
}

}  // namespace zoqe
