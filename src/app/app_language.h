// The language of the browser's texts. Chinese by default; English when the
// environment variable ZOQ_LANG names it, or (with ZOQ_LANG unset) when the
// user chose it in the View menu (which switches at once and is remembered
// for later starts).
// The source texts are Chinese; English comes from the translation built
// into the resources, together with Qt's own English for its dialogs.
#pragma once

#include "zoq/error_table.h"

namespace zoqe {

// The language a start of the program uses: ZOQ_LANG's when it names one,
// else the remembered choice, else Chinese.
zoq::MessageLanguage ChosenLanguage();

// Whether ZOQ_LANG names a language (a menu choice is then remembered for
// starts without it, and the language stays).
bool LanguageSetByEnvironment();

// Remembers `language` as the user's choice for later starts.
void RememberLanguage(zoq::MessageLanguage language);

// Installs the translations and the default locale of `language`, in place
// of those of an earlier call: Chinese shows the source texts, Qt's Chinese
// dialogs and Chinese number and type names; English the program's English
// texts, Qt's own English and English names. Every window is told of the
// change (QEvent::LanguageChange, delivered through the event loop) and
// shows its texts again; windows made afterwards speak the language at
// once. Returns false when the English translation cannot be loaded (the
// texts then stay Chinese).
bool ApplyLanguage(zoq::MessageLanguage language);

// The language ApplyLanguage installed last (Chinese before any call).
zoq::MessageLanguage CurrentLanguage();

}  // namespace zoqe
