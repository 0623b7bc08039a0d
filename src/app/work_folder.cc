#include "app/work_folder.h"

#include <QFile>

#include <cerrno>
#include <sys/stat.h>
#include <sys/types.h>

namespace zoqe {

namespace {
constexpr int kMaxAttempts = 100000;
}

QString CreateWorkFolder(const QString& temp_dir) {
  QString base = temp_dir;
  if (base.isEmpty()) base = qEnvironmentVariable("TMPDIR");
  if (base.isEmpty()) base = QStringLiteral("/tmp");
  while (base.size() > 1 && base.endsWith(QLatin1Char('/'))) base.chop(1);
  for (int n = 0; n < kMaxAttempts; ++n) {
    const QString path = base + QStringLiteral("/~ZOQEXPLORER") + QString::number(n);
    const QByteArray native = QFile::encodeName(path);
    // mkdir fails with EEXIST when anything of that name exists, which makes
    // the creation exclusive; the mode keeps the folder private.
    if (::mkdir(native.constData(), 0700) == 0) {
      // A umask can only remove bits; make sure nothing else was granted.
      ::chmod(native.constData(), 0700);
      return path + QLatin1Char('/');
    }
    if (errno != EEXIST) return QString();
  }
  return QString();
}

}  // namespace zoqe
