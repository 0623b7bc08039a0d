// Helpers shared by the tests that drive the main window: corpus packages,
// the window's commands and widgets as the user reaches them, finding tree
// items by name and reading a part's whole content.
#pragma once

#include <QAction>
#include <QByteArray>
#include <QMenu>
#include <QString>
#include <QStackedWidget>
#include <QStringList>
#include <QWidget>

#include <string>

#include "app/command_table.h"
#include "app/notice_pane.h"
#include "app/package_tree_model.h"
#include "app/view/item_viewer.h"
#include "zoq/container.h"

namespace zoqe_test {

inline QString Corpus(const char* name) {
  return QStringLiteral(ZOQ_TEST_DATA_DIR "/package/") + QString::fromLatin1(name);
}

// The window's commands and menus, found by their object names.
inline zoqe::CommandTable CommandsOf(const QWidget& window) {
  auto action = [&window](const char* name) {
    return window.findChild<QAction*>(QString::fromLatin1(name));
  };
  zoqe::CommandTable t;
  t.open = action("actionOpen");
  t.close = action("actionClose");
  t.exit = action("actionExit");
  t.select_all = action("actionSelectAll");
  t.copy = action("actionCopy");
  t.find = action("actionFind");
  t.history = action("actionHistory");
  t.statistics = action("actionStatistics");
  t.open_text = action("actionOpenText");
  t.open_binary = action("actionOpenBinary");
  t.open_default = action("actionOpenDefault");
  t.export_files = action("actionExportFiles");
  t.export_raw = action("actionExportRaw");
  t.help = action("actionHelp");
  t.about = action("actionAbout");
  t.enter_key = action("actionEnterKey");
  t.new_package = action("actionNew");
  t.save = action("actionSave");
  t.save_as = action("actionSaveAs");
  t.compact = action("actionCompact");
  t.add_files = action("actionAddFiles");
  t.add_folder = action("actionAddFolder");
  t.delete_items = action("actionDelete");
  t.rename = action("actionRename");
  t.file_menu = window.findChild<QMenu*>(QStringLiteral("fileMenu"));
  t.edit_menu = window.findChild<QMenu*>(QStringLiteral("editMenu"));
  t.view_menu = window.findChild<QMenu*>(QStringLiteral("viewMenu"));
  t.help_menu = window.findChild<QMenu*>(QStringLiteral("helpMenu"));
  t.context_menu = window.findChild<QMenu*>(QStringLiteral("itemMenu"));
  return t;
}

inline zoqe::ItemViewer* ViewerOf(const QWidget& window) {
  return window.findChild<zoqe::ItemViewer*>();
}

// The text of the notice the right pane shows; empty when it shows
// something else.
inline QString NoticeOf(const QWidget& window) {
  auto* notice = window.findChild<zoqe::NoticePane*>();
  const auto* pane = notice ? qobject_cast<QStackedWidget*>(notice->parentWidget()) : nullptr;
  return pane && pane->currentWidget() == notice ? notice->text() : QString();
}

// The child of `parent` named `name`; null when there is none (or no parent).
inline zoqe::TreeItem* Child(zoqe::TreeItem* parent, const QString& name) {
  if (!parent) return nullptr;
  for (auto& child : zoqe::PackageTreeModel::ChildrenOf(parent)) {
    if (child->name == name) return child.get();
  }
  return nullptr;
}

// The item at a path of names below `root` ("img/small.png").
inline zoqe::TreeItem* ItemAt(zoqe::TreeItem* root, const QString& path) {
  zoqe::TreeItem* item = root;
  for (const QString& name : path.split(QLatin1Char('/'))) item = Child(item, name);
  return item;
}

// The content of the part at `version` (0: the newest); false when the
// package cannot hand it out.
inline bool ReadWholePart(zoq::Container* package, const std::u16string& path, int version,
                          const zoq::DecodeOptions* options, QByteArray* out) {
  int64_t length = 0;
  if (package->ReadPart(path, nullptr, &length, version, options) != 0) return false;
  out->resize(static_cast<qsizetype>(length));
  if (package->ReadPart(path, out->data(), &length, version, options) != 0) return false;
  out->resize(static_cast<qsizetype>(length));
  return true;
}

}  // namespace zoqe_test
