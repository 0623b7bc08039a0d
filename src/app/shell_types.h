// Type names and icons the desktop gives file names, looked up through the
// MIME database and the icon theme. Each name is looked up once: the MIME
// lookup is by far the slowest step of filling a large tree.
#pragma once

#include <QHash>
#include <QIcon>
#include <QMimeDatabase>
#include <QString>

namespace zoqe {

struct ShellType {
  bool known = false;  // false: the desktop knows nothing of the name
  QString name;        // localized type name, e.g. "XML 文档"
  QIcon icon;          // may be null even when the name is known
};

class ShellTypes {
 public:
  // What the desktop says of a file called `file_name` (matched by its
  // extension only, in any case; the file need not exist).
  const ShellType& Lookup(const QString& file_name);
  // Forgets what was looked up (the names change with the language).
  void Clear() { cache_.clear(); }

  // Points the icon theme at the system icons (breeze, falling back to
  // Adwaita); needed where no desktop session sets a theme.
  static void InitIconTheme();

  // The process-wide instance shared by the tree and the statistics.
  static ShellTypes& Instance();

  int lookups() const { return lookups_; }

 private:
  QMimeDatabase mime_;
  QHash<QString, ShellType> cache_;
  int lookups_ = 0;
};

}  // namespace zoqe
