// Space use by file type, counted while the tree is filled: per key the
// number of items and their total stored size, plus totals over all items.
// The key of a part is its upper-case extension with the dot (".XML", or the
// whole upper-case name without a dot); all folders share the key "\".
#pragma once

#include <QIcon>
#include <QString>

#include <cstdint>
#include <map>
#include <vector>

namespace zoqe {

class ShellTypes;

struct StatsEntry {
  int image = 0;
  QString type_name;
  QString key;
  int64_t count = 0;
  int64_t size = 0;
};

class StatsTable {
 public:
  static const QString& FolderKey();

  explicit StatsTable(ShellTypes* shell = nullptr);

  void CountFolder();
  void CountPart(const QString& name, int64_t stored_size);
  void Clear();

  // Entries in key order.
  const std::map<QString, StatsEntry>& entries() const { return map_; }
  int64_t total_count() const { return total_count_; }
  int64_t total_size() const { return total_size_; }
  int64_t folder_count() const;
  int64_t part_count() const { return total_count_ - folder_count(); }

  // The statistics images: 0 open folder, 1 folder, 2 file, 3 deleted,
  // 4 the program icon, then the types found through the desktop.
  const std::vector<QIcon>& icons() const { return icons_; }

  static QString PartKey(const QString& name);

 private:
  void Count(const QString& key, int64_t size);

  ShellTypes* shell_;
  std::map<QString, StatsEntry> map_;
  std::vector<QIcon> icons_;
  int64_t total_count_ = 0;
  int64_t total_size_ = 0;
};

}  // namespace zoqe
