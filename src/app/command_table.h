// The main window's commands: one action per command with its menu text and
// accelerator, the menu bar that carries them and the item context menu.
// Which commands are enabled is the window's decision (CZOQEDlg::
// UpdateCommands); this file only builds them.
#pragma once

#include <QCoreApplication>
#include <QObject>

class QAction;
class QMenu;
class QMenuBar;
class QWidget;

namespace zoqe {

struct CommandTable {
  Q_DECLARE_TR_FUNCTIONS(CommandTable)

 public:
  QAction* new_package = nullptr;   // Ctrl+N
  QAction* open = nullptr;          // 32796
  QAction* close = nullptr;         // 32794
  QAction* save = nullptr;          // Ctrl+S
  QAction* save_as = nullptr;
  QAction* compact = nullptr;
  QAction* exit = nullptr;          // 32826
  QAction* add_files = nullptr;
  QAction* add_folder = nullptr;
  QAction* delete_items = nullptr;  // Delete, in the tree and the list
  QAction* rename = nullptr;        // F2, in the tree and the list
  QAction* select_all = nullptr;    // 32926
  QAction* copy = nullptr;          // 32932
  QAction* find = nullptr;          // 32930
  QAction* history = nullptr;       // 32962, checkable
  QAction* statistics = nullptr;    // 32963
  QAction* open_text = nullptr;     // 32964
  QAction* open_binary = nullptr;   // 32965
  QAction* open_default = nullptr;  // 32966
  QAction* export_files = nullptr;  // 32778
  QAction* export_raw = nullptr;    // 32910
  QAction* help = nullptr;          // 32968, always greyed
  QAction* about = nullptr;         // 32851
  QAction* enter_key = nullptr;     // 32969, key entry

  QMenuBar* menu_bar = nullptr;
  QMenu* file_menu = nullptr;
  QMenu* edit_menu = nullptr;
  QMenu* view_menu = nullptr;
  QMenu* help_menu = nullptr;
  QMenu* language_menu = nullptr;  // in the view menu
  // The item menu of the tree and the list: open as text, as binary, with
  // the default program, a separator, export files, a separator, add,
  // delete and rename.
  QMenu* context_menu = nullptr;

  // Builds every action (owned by `owner`) and the menus.
  static CommandTable Build(QWidget* owner);
  // Sets every text of the actions and menus in the language installed now.
  void Retranslate() const;
};

}  // namespace zoqe
