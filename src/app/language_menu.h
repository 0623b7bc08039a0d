// The View menu's language choice: "中文" or "English". The choice takes
// effect at once (every window shows its texts again in that language) and
// is remembered for the next start; while ZOQ_LANG names a language, it only
// waits for starts without it.
#pragma once

class QMenu;
class QWidget;

namespace zoqe {

// Adds the language submenu to `menu` and returns it; its messages are
// shown over `window`.
QMenu* AddLanguageMenu(QMenu* menu, QWidget* window);
// Sets the submenu's title in the language installed now (the choices are
// named in their own languages).
void RetranslateLanguageMenu(QMenu* languages);

}  // namespace zoqe
