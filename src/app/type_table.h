// Item types of the tree and the list: a type image and a type name per key.
// The key is "文件夹" for folders, "已删除" for deleted parts, and otherwise
// the upper-case extension of the part's name. Types met for the first time
// are asked of the desktop and appended.
#pragma once

#include <QHash>
#include <QIcon>
#include <QString>

#include <vector>

namespace zoqe {

class ShellTypes;

struct TypeInfo {
  int image = 0;
  QString type_name;
  QString extension;  // upper case
};

class TypeTable {
 public:
  // Fixed images, in table order.
  enum Image : int {
    kFolderOpenImage = 0,
    kFolderImage = 1,
    kFileImage = 2,
    kDeletedImage = 3,
    kXmlImage = 4,
  };

  explicit TypeTable(ShellTypes* shell = nullptr);

  TypeInfo Lookup(const QString& name, bool is_folder, bool is_deleted);
  // Gives every type met so far its name in the language installed now.
  void Retranslate();

  const QIcon& Icon(int image) const { return icons_.at(static_cast<size_t>(image)); }
  // Closed folder normally, open folder while selected.
  const QIcon& FolderIcon() const { return folder_icon_; }
  int image_count() const { return static_cast<int>(icons_.size()); }

  // Icons of the fixed rows, shared with the statistics.
  static QIcon StockIcon(int image);

 private:
  struct Entry {
    int image;
    QString type_name;
  };
  ShellTypes* shell_;
  std::vector<QIcon> icons_;
  QIcon folder_icon_;
  QHash<QString, Entry> map_;
};

}  // namespace zoqe
