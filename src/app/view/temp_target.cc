#include "app/view/temp_target.h"

#include <QFile>
#include <QRandomGenerator>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace zoqe {

namespace {

constexpr int kAttempts = 1000;

// 1: created, 0: the name exists, -1: cannot create files there.
int CreateExclusive(const QString& path) {
  const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                        0600);
  if (fd >= 0) {
    ::close(fd);
    return 1;
  }
  return errno == EEXIST ? 0 : -1;
}

}  // namespace

bool CreateTempTarget(const QString& folder, const QString& extension, TempTarget* out) {
  if (folder.isEmpty()) return false;
  QString base = folder;
  if (!base.endsWith(QLatin1Char('/'))) base += QLatin1Char('/');
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    const quint32 number = QRandomGenerator::global()->bounded(0x10000u);
    const QString target =
        base + QStringLiteral("~~ZOQ") +
        QString::number(number, 16).toUpper().rightJustified(4, QLatin1Char('0')) +
        QStringLiteral(".tmp.") + extension;
    const int made = CreateExclusive(target);
    if (made < 0) return false;
    if (made == 0) continue;
    out->target = target;
    return true;
  }
  return false;
}

}  // namespace zoqe
