// What an add stores: the regular files among the paths the user dropped or
// chose, folders walked (names in order), each with the package path it
// becomes below the target folder. Symbolic links, special files and what
// cannot be read are left out and listed.
#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

namespace zoqe {

struct AddItem {
  QString file;  // file-system path
  QString part;  // package path
  int64_t size = 0;
};

struct AddPlan {
  std::vector<AddItem> items;
  QStringList skipped;  // "path (why)"
  int64_t total_bytes = 0;
};

// `target` is the package folder the paths go below ("/", "/a/b/").
AddPlan PlanAdd(const QStringList& paths, const QString& target);

// Whether the name is that of a package file (.zoq, .pliv, any case).
bool IsPackageFileName(const QString& path);

}  // namespace zoqe
