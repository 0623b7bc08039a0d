// The View menu's language choice: "中文" or "English", remembered for the
// next start of the program.
#pragma once

class QMenu;
class QWidget;

namespace zoqe {

// Adds the language submenu to `menu`; its messages are shown over `window`.
void AddLanguageMenu(QMenu* menu, QWidget* window);

}  // namespace zoqe
