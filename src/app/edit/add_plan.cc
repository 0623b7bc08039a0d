#include "app/edit/add_plan.h"

#include <QCoreApplication>
#include <QFile>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>

namespace zoqe {

namespace {

// The context of this file's texts in the translations.
struct Text {
  Q_DECLARE_TR_FUNCTIONS(AddPlan)
};

void Skip(AddPlan* plan, const QString& path, const QString& why) {
  plan->skipped << QStringLiteral("%1 (%2)").arg(path, why);
}

// Adds one path (file or folder) as `part` ("/a/b" without a trailing
// slash for both).
void PlanPath(const std::string& path, const QString& part, AddPlan* plan) {
  const QString shown = QFile::decodeName(path.c_str());
  struct stat info;
  if (::lstat(path.c_str(), &info) != 0) {
    Skip(plan, shown, Text::tr("无法读取"));
    return;
  }
  if (S_ISLNK(info.st_mode)) {
    Skip(plan, shown, Text::tr("链接"));
    return;
  }
  if (S_ISDIR(info.st_mode)) {
    DIR* dir = ::opendir(path.c_str());
    if (!dir) {
      Skip(plan, shown, Text::tr("无法读取"));
      return;
    }
    std::vector<std::string> names;
    while (dirent* entry = ::readdir(dir)) {
      const std::string name = entry->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
      PlanPath(path + "/" + name, part + QLatin1Char('/') + QFile::decodeName(name.c_str()), plan);
    }
    return;
  }
  if (!S_ISREG(info.st_mode)) {
    Skip(plan, shown, Text::tr("特殊文件"));
    return;
  }
  // Readable now; a file that goes away later fails the add with its name.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) {
    Skip(plan, shown, Text::tr("无法读取"));
    return;
  }
  ::close(fd);
  plan->items.push_back({shown, part, static_cast<int64_t>(info.st_size)});
  plan->total_bytes += static_cast<int64_t>(info.st_size);
}

}  // namespace

AddPlan PlanAdd(const QStringList& paths, const QString& target) {
  AddPlan plan;
  QString folder = target.isEmpty() ? QStringLiteral("/") : target;
  if (!folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
  for (QString path : paths) {
    while (path.size() > 1 && path.endsWith(QLatin1Char('/'))) path.chop(1);
    const QString name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    PlanPath(QFile::encodeName(path).toStdString(), folder + name, &plan);
  }
  return plan;
}

bool IsPackageFileName(const QString& path) {
  return path.endsWith(QLatin1String(".zoq"), Qt::CaseInsensitive) ||
         path.endsWith(QLatin1String(".pliv"), Qt::CaseInsensitive);
}

}  // namespace zoqe
