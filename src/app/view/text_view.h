// The text view (a QsciScintilla) driven through Scintilla messages: its
// fixed configuration, filling it, reading it back, searching it and
// folding on margin clicks.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstdint>
#include <vector>

class QsciScintilla;

namespace zoqe {

// XML lexer with its colours, fold margin and markers, guides, selection
// colours; applied once when the window is built.
void ConfigureTextView(QsciScintilla* view);

// What the view shows: XML gets the XML lexer's colours and the fold
// margin; text and hex dumps are shown plain.
enum class TextKind { kXml, kPlain };

// Filling in steps, so that a large text never holds the window up for
// long: BeginFill empties the view and sets it up for `kind`, each
// AppendToView adds a piece (the first one also puts caret and view at the
// top), EndFill marks the lines that continue a cut line (`piece_starts`,
// byte positions), empties the undo history, marks the save point and
// makes the view read-only unless `editable`.
void BeginFill(QsciScintilla* view, TextKind kind, int64_t total_bytes);
void AppendToView(QsciScintilla* view, QByteArrayView piece);
void EndFill(QsciScintilla* view, bool editable, const std::vector<int64_t>& piece_starts);

// All three at once.
void FillTextView(QsciScintilla* view, QByteArrayView text, bool editable,
                  TextKind kind = TextKind::kPlain, const std::vector<int64_t>& piece_starts = {});

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
// The margin and marker that show where a cut line goes on.
constexpr int kPieceMargin = 2;
constexpr int kPieceMarker = 3;

}  // namespace zoqe
