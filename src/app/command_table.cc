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

QAction* MakeAction(QWidget* owner, const char* name,
                    const QKeySequence& shortcut = QKeySequence()) {
  auto* action = new QAction(owner);
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
  t.new_package = MakeAction(owner, "actionNew", QKeySequence(Qt::CTRL | Qt::Key_N));
  t.open = MakeAction(owner, "actionOpen", QKeySequence(Qt::CTRL | Qt::Key_O));
  t.close = MakeAction(owner, "actionClose", QKeySequence(Qt::CTRL | Qt::Key_W));
  t.save = MakeAction(owner, "actionSave", QKeySequence(Qt::CTRL | Qt::Key_S));
  t.save_as = MakeAction(owner, "actionSaveAs");
  t.compact = MakeAction(owner, "actionCompact");
  t.exit = MakeAction(owner, "actionExit");
  t.add_files = MakeAction(owner, "actionAddFiles");
  t.add_folder = MakeAction(owner, "actionAddFolder");
  // Delete and F2 act in the tree and the list only (added to them by the
  // window), so that the filter box keeps its own Delete.
  t.delete_items = MakeAction(owner, "actionDelete");
  t.delete_items->setShortcut(QKeySequence::Delete);
  t.delete_items->setShortcutContext(Qt::WidgetShortcut);
  t.rename = MakeAction(owner, "actionRename");
  t.rename->setShortcut(QKeySequence(Qt::Key_F2));
  t.rename->setShortcutContext(Qt::WidgetShortcut);
  // Ctrl+A and Ctrl+C belong to the text view, which handles them itself.
  t.select_all = MakeAction(owner, "actionSelectAll");
  t.copy = MakeAction(owner, "actionCopy");
  t.find = MakeAction(owner, "actionFind", QKeySequence(Qt::ALT | Qt::Key_F));
  t.history = MakeAction(owner, "actionHistory");
  t.history->setCheckable(true);
  t.statistics = MakeAction(owner, "actionStatistics");
  t.open_text = MakeAction(owner, "actionOpenText");
  t.open_binary = MakeAction(owner, "actionOpenBinary");
  t.open_default = MakeAction(owner, "actionOpenDefault");
  t.export_files = MakeAction(owner, "actionExportFiles");
  t.export_raw = MakeAction(owner, "actionExportRaw");
  t.help = MakeAction(owner, "actionHelp");
  t.help->setEnabled(false);
  t.about = MakeAction(owner, "actionAbout");
  t.enter_key = MakeAction(owner, "actionEnterKey",
                           QKeySequence(Qt::CTRL | Qt::Key_K));

  t.menu_bar = new QMenuBar(owner);
  t.file_menu = t.menu_bar->addMenu(QString());
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
  t.edit_menu = t.menu_bar->addMenu(QString());
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
  t.view_menu = t.menu_bar->addMenu(QString());
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
  t.language_menu = AddLanguageMenu(t.view_menu, owner);
  t.view_menu->setToolTipsVisible(true);
  t.help_menu = t.menu_bar->addMenu(QString());
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
  t.Retranslate();
  return t;
}

void CommandTable::Retranslate() const {
  new_package->setText(tr("新建(&N)...\tCtrl+N"));
  open->setText(tr("打开(&O)...\tCtrl+O"));
  close->setText(tr("关闭(&W)\tCtrl+W"));
  save->setText(tr("保存(&S)\tCtrl+S"));
  save_as->setText(tr("另存为(&A)..."));
  compact->setText(tr("压缩整理(&M)..."));
  exit->setText(tr("退出(&X)\tAlt+F4"));
  add_files->setText(tr("添加文件(&D)..."));
  add_folder->setText(tr("添加文件夹(&L)..."));
  delete_items->setText(tr("删除(&R)\tDelete"));
  rename->setText(tr("重命名(&M)...\tF2"));
  select_all->setText(tr("全选(&A)\tCtrl+A"));
  copy->setText(tr("复制(&C)\tCtrl+C"));
  find->setText(tr("查找(&F)...\tAlt+F"));
  history->setText(tr("修订历史(&R)"));
  statistics->setText(tr("统计信息(&I)..."));
  open_text->setText(tr("文本方式打开(&T)"));
  open_binary->setText(tr("二进制方式打开(&B)"));
  open_default->setText(tr("使用默认程序打开(&O)"));
  export_files->setText(tr("导出文件(&E)..."));
  export_raw->setText(tr("导出包内数据(&P)..."));
  help->setText(tr("查看帮助(&H)...\tF1"));
  about->setText(tr("关于 ZOQ Explorer (&A)..."));
  enter_key->setText(tr("输入密钥(&K)...\tCtrl+K"));
  const QString compact_tip = tr("重写文件, 只保留每个文件的当前内容: 历史版本被删除, 文件变小。");
  compact->setToolTip(compact_tip);
  compact->setStatusTip(compact_tip);
  const QString raw_tip = tr("不进行解压缩或解密操作，直接导出包内文件。");
  export_raw->setToolTip(raw_tip);
  export_raw->setStatusTip(raw_tip);
  // The file menu has no mnemonic: Alt+F is the find accelerator.
  file_menu->setTitle(tr("文件"));
  edit_menu->setTitle(tr("编辑(&E)"));
  view_menu->setTitle(tr("查看(&V)"));
  help_menu->setTitle(tr("帮助(&H)"));
  RetranslateLanguageMenu(language_menu);
}

}  // namespace zoqe
