// The text view (a QsciScintilla) driven through Scintilla messages: its
// fixed configuration, filling it, reading it back, searching it and
// folding on margin clicks.
#pragma once

#include <QByteArray>
#include <QString>

class QsciScintilla;

namespace zoqe {

// XML lexer with its colours, fold margin and markers, guides, selection
// colours; applied once when the window is built.
void ConfigureTextView(QsciScintilla* view);

// Replaces the text (undo history empty, save point marked, caret and view
// at the top); read-only unless `editable`.
void FillTextView(QsciScintilla* view, const QString& text, bool editable);

// The whole text as Scintilla holds it (UTF-8).
QByteArray TextViewBytes(const QsciScintilla* view);

// The selected text.
QString TextViewSelection(const QsciScintilla* view);

// Finds the next match below the selection (`down`) or the previous one
// above it; a hit is selected and scrolled into view, a miss keeps the
// selection. Returns whether it found one.
bool FindInTextView(QsciScintilla* view, const QString& text, bool down, bool whole_word,
                    bool match_case);

// Toggles the fold of the line at `position` (a click in the fold margin).
void ToggleFoldAt(QsciScintilla* view, int position);

// The margin that takes fold clicks.
constexpr int kFoldMargin = 1;

}  // namespace zoqe
