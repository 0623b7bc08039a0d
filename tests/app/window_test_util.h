// Helpers shared by the tests that drive the main window: corpus packages,
// the window's commands and widgets as the user reaches them, finding tree
// items by name, files on disk, and packages written and read through the
// library.
#pragma once

#include <QAction>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QString>
#include <QStackedWidget>
#include <QStringList>
#include <QTest>
#include <QWidget>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/command_table.h"
#include "app/info_panel.h"
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

// Checks the information strip's value for each label (UTF-8 texts); a
// failure names the label and the value shown.
inline void ExpectInfo(const zoqe::InfoPanel& info,
                       std::initializer_list<std::pair<const char*, const char*>> expected) {
  for (const auto& [label, value] : expected) {
    const QString shown = info.ValueOf(QString::fromUtf8(label));
    QVERIFY2(shown == QString::fromUtf8(value),
             qPrintable(QString::fromUtf8(label) + QStringLiteral(": ") + shown));
  }
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

// The item at `path` below the "/" of history version `version`
// ("dir/c.txt"); null when there is none.
inline zoqe::TreeItem* VersionItem(zoqe::TreeItem* history, const char* version,
                                   const QString& path) {
  return ItemAt(Child(Child(history, QString::fromLatin1(version)), QStringLiteral("/")), path);
}

// Shows `window` and waits until it is on screen; false when it never is.
inline bool ShowExposed(QWidget* window) {
  window->show();
  return QTest::qWaitForWindowExposed(window);
}

// A key over `bytes`, which must outlive it.
inline zoq::KeyInfo KeyOf(const QByteArray& bytes) {
  zoq::KeyInfo key;
  key.key = reinterpret_cast<const uint8_t*>(bytes.constData());
  key.key_length = static_cast<int>(bytes.size());
  return key;
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

// The newest content of a part, `key` decrypting it; "<fail>" when the
// package cannot hand it out.
inline QByteArray PartBytes(zoq::Container* package, const std::u16string& path,
                            const zoq::KeyInfo* key = nullptr) {
  zoq::DecodeOptions options;
  options.key = key;
  QByteArray bytes;
  return ReadWholePart(package, path, 0, &options, &bytes) ? bytes : QByteArray("<fail>");
}

// The whole content of a file; empty when it cannot be read.
inline QByteArray ReadFile(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Writes a file, making its folder first (a test failure when it cannot).
inline void WriteFile(const QString& path, const QByteArray& bytes) {
  QDir().mkpath(QFileInfo(path).path());
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly));
  file.write(bytes);
}

// A new package at `path` for a document of `subset` and `version` (0, 0:
// none), with its temporary files in `folder`; null on failure.
inline std::unique_ptr<zoq::Container> NewPackage(const QString& folder, const QString& path,
                                                  int subset = 0, int version = 0) {
  zoq::ContainerOptions options;
  options.temp_base_dir = QFile::encodeName(folder).toStdString();
  options.resource_dir = QFile::encodeName(folder + QLatin1Char('/')).toStdString();
  zoq::Container* raw = nullptr;
  if (zoq::CreateContainer(&options, &raw) != 0) return nullptr;
  std::unique_ptr<zoq::Container> c(raw);
  if (c->CreatePackage(QFile::encodeName(path).toStdString(), subset, version, 4, 0) != 0) {
    return nullptr;
  }
  return c;
}

// Adds a part (or, with `replace`, replaces it) coded with `codes`; the code.
inline int PutPart(zoq::Container* c, const std::u16string& path, const QByteArray& bytes,
                   const std::vector<zoq::EcsCodeArg>& codes = {}, bool replace = false) {
  const zoq::EcsCodeArg* first = codes.empty() ? nullptr : codes.data();
  const int count = static_cast<int>(codes.size());
  return replace ? c->ReplacePartFromMemory(path, bytes.constData(), bytes.size(), first, count,
                                            false)
                 : c->AddPartFromMemory(path, bytes.constData(), bytes.size(), first, count,
                                        false);
}

}  // namespace zoqe_test
