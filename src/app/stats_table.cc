#include "app/stats_table.h"

#include <QApplication>

#include "app/shell_types.h"
#include "app/type_table.h"

namespace zoqe {

namespace {

// The context of this file's texts in the translations.
struct Text {
  Q_DECLARE_TR_FUNCTIONS(TypeTable)
};

}  // namespace

const QString& StatsTable::FolderKey() {
  static const QString key = QStringLiteral("\\");
  return key;
}

StatsTable::StatsTable(ShellTypes* shell) : shell_(shell ? shell : &ShellTypes::Instance()) {
  for (int i = 0; i < 4; ++i) icons_.push_back(TypeTable::StockIcon(i));
  icons_.push_back(QApplication::windowIcon());
}

QString StatsTable::PartKey(const QString& name) {
  const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
  return (dot < 0 ? name : name.mid(dot)).toUpper();
}

void StatsTable::CountFolder() { Count(FolderKey(), 0); }

void StatsTable::CountPart(const QString& name, int64_t stored_size) {
  Count(PartKey(name), stored_size);
}

void StatsTable::Count(const QString& key, int64_t size) {
  auto found = map_.find(key);
  if (found == map_.end()) {
    StatsEntry entry;
    entry.key = key;
    if (key == FolderKey()) {
      entry.image = TypeTable::kFolderImage;
      entry.type_name = Text::tr("文件夹");
    } else {
      const ShellType& shell = shell_->Lookup(key);
      entry.image = TypeTable::kFileImage;
      entry.type_name = Text::tr("%1文件").arg(key);
      if (shell.known) {
        entry.type_name = shell.name;
        if (!shell.icon.isNull()) {
          entry.image = static_cast<int>(icons_.size());
          icons_.push_back(shell.icon);
        }
      }
    }
    found = map_.emplace(key, entry).first;
  }
  found->second.count += 1;
  found->second.size += size;
  total_count_ += 1;
  total_size_ += size;
}

void StatsTable::Clear() {
  map_.clear();
  total_count_ = 0;
  total_size_ = 0;
}

int64_t StatsTable::folder_count() const {
  auto found = map_.find(FolderKey());
  return found == map_.end() ? 0 : found->second.count;
}

}  // namespace zoqe
