#include "app/type_table.h"

#include <QApplication>
#include <QStyle>

#include "app/app_text.h"
#include "app/shell_types.h"

namespace zoqe {

namespace {

// The context of this file's texts in the translations.
struct Text {
  Q_DECLARE_TR_FUNCTIONS(TypeTable)
};

QIcon ThemeOr(const char* name, QStyle::StandardPixmap fallback) {
  QIcon icon = QIcon::fromTheme(QString::fromLatin1(name));
  if (icon.isNull() && qApp) icon = qApp->style()->standardIcon(fallback);
  return icon;
}

}  // namespace

QIcon TypeTable::StockIcon(int image) {
  switch (image) {
    case kFolderOpenImage:
      return ThemeOr("folder-open", QStyle::SP_DirOpenIcon);
    case kFolderImage:
      return ThemeOr("folder", QStyle::SP_DirClosedIcon);
    case kDeletedImage:
      return ThemeOr("edit-delete", QStyle::SP_TrashIcon);
    case kXmlImage:
      return ThemeOr("text-xml", QStyle::SP_FileIcon);
    default:
      return ThemeOr("text-x-generic", QStyle::SP_FileIcon);
  }
}

namespace {

struct FixedRow {
  const char* name;
  const char16_t* key;
};
// The keys stay Chinese; the names are shown.
constexpr FixedRow kFixedRows[] = {
    {QT_TRANSLATE_NOOP("TypeTable", "文件夹"), u"文件夹"},
    {QT_TRANSLATE_NOOP("TypeTable", "文件夹"), u"文件夹"},
    {QT_TRANSLATE_NOOP("TypeTable", "文件"), u"文件"},
    {QT_TRANSLATE_NOOP("TypeTable", "已删除"), u"已删除"},
    {QT_TRANSLATE_NOOP("TypeTable", "XML文件"), u"XML"},
};

}  // namespace

TypeTable::TypeTable(ShellTypes* shell) : shell_(shell ? shell : &ShellTypes::Instance()) {
  for (int i = 0; i < 5; ++i) {
    icons_.push_back(StockIcon(i));
    map_.insert(QString::fromUtf16(kFixedRows[i].key), Entry{i, Text::tr(kFixedRows[i].name)});
  }
  // Theme icons take no extra pixmaps: build the two-state folder icon from
  // pixmaps of both.
  for (int size : {16, 22, 32}) {
    folder_icon_.addPixmap(icons_[kFolderImage].pixmap(size), QIcon::Normal);
    folder_icon_.addPixmap(icons_[kFolderOpenImage].pixmap(size), QIcon::Selected);
  }
}

TypeInfo TypeTable::Lookup(const QString& name, bool is_folder, bool is_deleted) {
  TypeInfo info;
  info.extension = UpperExtension(name);
  const QString key = is_folder    ? QStringLiteral("文件夹")
                      : is_deleted ? QStringLiteral("已删除")
                                   : info.extension;
  auto found = map_.constFind(key);
  if (found == map_.constEnd()) {
    const ShellType& shell = shell_->Lookup(QLatin1Char('.') + key);
    Entry entry{kFileImage, shell.known ? shell.name : Text::tr("%1文件").arg(key)};
    if (shell.known && !shell.icon.isNull()) {
      entry.image = static_cast<int>(icons_.size());
      icons_.push_back(shell.icon);
    }
    found = map_.insert(key, entry);
  }
  info.image = found->image;
  info.type_name = found->type_name;
  return info;
}

void TypeTable::Retranslate() {
  // The images stay: items already shown refer to them by number.
  for (auto it = map_.begin(); it != map_.end(); ++it) {
    const FixedRow* fixed = nullptr;
    for (const FixedRow& row : kFixedRows) {
      if (it.key() == QStringView(row.key)) fixed = &row;
    }
    if (fixed) {
      it->type_name = Text::tr(fixed->name);
    } else {
      const ShellType& shell = shell_->Lookup(QLatin1Char('.') + it.key());
      it->type_name = shell.known ? shell.name : Text::tr("%1文件").arg(it.key());
    }
  }
}

}  // namespace zoqe
