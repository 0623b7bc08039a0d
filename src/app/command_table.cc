#include "app/command_table.h"

#include <QAction>
#include <QCoreApplication>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QWidget>

#include "app/language_menu.h"

namespace zoqe {

namespace {

QAction* MakeAction(QWidget* owner, const QString& text, const char* name,
                    const QKeySequence& shortcut = QKeySequence()) {
  auto* action = new QAction(text, owner);
  action->setObjectName(QString::fromLatin1(name));
  if (!shortcut.isEmpty()) {
    action->setShortcut(shortcut);
    action->setShortcutContext(Qt::WindowShortcut);
    owner->addAction(action);  // accelerators work while the menus are closed
  }
  return action;
}

}  // namespace

CommandTable CommandTable::Build(QWidget* owner) {
  CommandTable t;
  t.new_package = MakeAction(owner, tr("新建(&N)...\tCtrl+N"), "actionNew", QKeySequence(Qt::CTRL | Qt::Key_N));
  t.open = MakeAction(owner, tr("打开(&O)...\tCtrl+O"), "actionOpen", QKeySequence(Qt::CTRL | Qt::Key_O));
  t.close = MakeAction(owner, tr("关闭(&W)\tCtrl+W"), "actionClose", QKeySequence(Qt::CTRL | Qt::Key_W));
  t.save = MakeAction(owner, tr("保存(&S)\tCtrl+S"), "actionSave", QKeySequence(Qt::CTRL | Qt::Key_S));
  t.save_as = MakeAction(owner, tr("另存为(&A)..."), "actionSaveAs");
  t.compact = MakeAction(owner, tr("压缩整理(&M)..."), "actionCompact");
  const QString compact_tip = tr("重写文件, 只保留每个文件的当前内容: 历史版本被删除, 文件变小。");
  t.compact->setToolTip(compact_tip);
  t.compact->setStatusTip(compact_tip);
  t.exit = MakeAction(owner, tr("退出(&X)\tAlt+F4"), "actionExit");
  t.add_files = MakeAction(owner, tr("添加文件(&D)..."), "actionAddFiles");
  t.add_folder = MakeAction(owner, tr("添加文件夹(&L)..."), "actionAddFolder");
  // Delete and F2 act in the tree and the list only (added to them by the
  // window), so that the filter box keeps its own Delete.
  t.delete_items = MakeAction(owner, tr("删除(&R)\tDelete"), "actionDelete");
  t.delete_items->setShortcut(QKeySequence::Delete);
  t.delete_items->setShortcutContext(Qt::WidgetShortcut);
  t.rename = MakeAction(owner, tr("重命名(&M)...\tF2"), "actionRename");
  t.rename->setShortcut(QKeySequence(Qt::Key_F2));
  t.rename->setShortcutContext(Qt::WidgetShortcut);
  // Ctrl+A and Ctrl+C belong to the text view, which handles them itself.
  t.select_all = MakeAction(owner, tr("全选(&A)\tCtrl+A"), "actionSelectAll");
  t.copy = MakeAction(owner, tr("复制(&C)\tCtrl+C"), "actionCopy");
  t.find = MakeAction(owner, tr("查找(&F)...\tAlt+F"), "actionFind", QKeySequence(Qt::ALT | Qt::Key_F));
  t.history = MakeAction(owner, tr("修订历史(&R)"), "actionHistory");
  t.history->setCheckable(true);
  t.statistics = MakeAction(owner, tr("统计信息(&I)..."), "actionStatistics");
  t.open_text = MakeAction(owner, tr("文本方式打开(&T)"), "actionOpenText");
  t.open_binary = MakeAction(owner, tr("二进制方式打开(&B)"), "actionOpenBinary");
  t.open_default = MakeAction(owner, tr("使用默认程序打开(&O)"), "actionOpenDefault");
  t.export_files = MakeAction(owner, tr("导出文件(&E)..."), "actionExportFiles");
  t.export_raw = MakeAction(owner, tr("导出包内数据(&P)..."), "actionExportRaw");
  const QString raw_tip = tr("不进行解压缩或解密操作，直接导出包内文件。");
  t.export_raw->setToolTip(raw_tip);
  t.export_raw->setStatusTip(raw_tip);
  t.help = MakeAction(owner, tr("查看帮助(&H)...\tF1"), "actionHelp");
  t.help->setEnabled(false);
  t.about = MakeAction(owner, tr("关于 ZOQ Explorer (&A)..."), "actionAbout");
  t.enter_key = MakeAction(owner, tr("输入密钥(&K)...\tCtrl+K"), "actionEnterKey",
                           QKeySequence(Qt::CTRL | Qt::Key_K));

  t.menu_bar = new QMenuBar(owner);
  // The file menu has no mnemonic: Alt+F is the find accelerator.
  t.file_menu = t.menu_bar->addMenu(tr("文件"));
  t.file_menu->setObjectName(QStringLiteral("fileMenu"));
  t.file_menu->addAction(t.new_package);
  t.file_menu->addAction(t.open);
  t.file_menu->addAction(t.close);
  t.file_menu->addSeparator();
  t.file_menu->addAction(t.save);
  t.file_menu->addAction(t.save_as);
  t.file_menu->addAction(t.compact);
  t.file_menu->setToolTipsVisible(true);
  t.file_menu->addSeparator();
  t.file_menu->addAction(t.enter_key);
  t.file_menu->addSeparator();
  t.file_menu->addAction(t.exit);
  t.edit_menu = t.menu_bar->addMenu(tr("编辑(&E)"));
  t.edit_menu->setObjectName(QStringLiteral("editMenu"));
  t.edit_menu->addAction(t.select_all);
  t.edit_menu->addAction(t.copy);
  t.edit_menu->addSeparator();
  t.edit_menu->addAction(t.find);
  t.edit_menu->addSeparator();
  t.edit_menu->addAction(t.add_files);
  t.edit_menu->addAction(t.add_folder);
  t.edit_menu->addAction(t.delete_items);
  t.edit_menu->addAction(t.rename);
  t.view_menu = t.menu_bar->addMenu(tr("查看(&V)"));
  t.view_menu->setObjectName(QStringLiteral("viewMenu"));
  t.view_menu->addAction(t.history);
  t.view_menu->addAction(t.statistics);
  t.view_menu->addSeparator();
  t.view_menu->addAction(t.open_text);
  t.view_menu->addAction(t.open_binary);
  t.view_menu->addAction(t.open_default);
  t.view_menu->addSeparator();
  t.view_menu->addAction(t.export_files);
  t.view_menu->addAction(t.export_raw);
  t.view_menu->addSeparator();
  AddLanguageMenu(t.view_menu, owner);
  t.view_menu->setToolTipsVisible(true);
  t.help_menu = t.menu_bar->addMenu(tr("帮助(&H)"));
  t.help_menu->setObjectName(QStringLiteral("helpMenu"));
  t.help_menu->addAction(t.help);
  t.help_menu->addSeparator();
  t.help_menu->addAction(t.about);

  t.context_menu = new QMenu(owner);
  t.context_menu->setObjectName(QStringLiteral("itemMenu"));
  t.context_menu->addAction(t.open_text);
  t.context_menu->addAction(t.open_binary);
  t.context_menu->addAction(t.open_default);
  t.context_menu->addSeparator();
  t.context_menu->addAction(t.export_files);
  t.context_menu->addSeparator();
  t.context_menu->addAction(t.add_files);
  t.context_menu->addAction(t.add_folder);
  t.context_menu->addAction(t.delete_items);
  t.context_menu->addAction(t.rename);
  return t;
}

}  // namespace zoqe
