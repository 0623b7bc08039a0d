#include "app/view/text_view.h"

#include <QApplication>
#include <QPalette>
#include <Qsci/qsciscintilla.h>

namespace zoqe {

namespace {

using Sci = QsciScintillaBase;

constexpr int kUtf8CodePage = 65001;
constexpr int kLexerNone = 1;
constexpr int kLexerXml = 5;
constexpr int kScrollWidth = 100;
constexpr int kFoldMarginWidth = 16;
constexpr int kFoldLineAfterContracted = 16;
constexpr int kMouseDwellMs = 1000;
constexpr int kFindWholeWord = 2;
constexpr int kFindMatchCase = 4;

struct StyleColour {
  int style;
  QColor colour;
  bool bold;
};

// XML lexer styles: tags blue, attributes dark red, values bold grey,
// comments olive, the SGML styles for DTD parts.
const StyleColour kXmlStyles[] = {
    {0, QColor(64, 64, 64), true},     {1, QColor(0, 0, 128), false},
    {2, QColor(0, 0, 128), false},     {3, QColor(128, 0, 0), false},
    {4, QColor(128, 0, 0), false},     {5, QColor(64, 64, 64), true},
    {6, QColor(64, 64, 64), true},     {7, QColor(64, 64, 64), true},
    {8, QColor(128, 0, 128), false},   {9, QColor(128, 128, 0), false},
    {10, QColor(128, 0, 128), false},  {11, QColor(0, 0, 128), false},
    {12, QColor(128, 0, 128), false},  {13, QColor(128, 0, 128), false},
    {17, QColor(128, 0, 0), false},    {18, QColor(128, 0, 0), false},
    {19, QColor(96, 128, 96), false},  {21, QColor(0, 0, 128), false},
    {22, QColor(0, 0, 128), false},    {23, QColor(0, 102, 0), false},
    {24, QColor(128, 0, 0), false},    {25, QColor(153, 51, 0), false},
    {26, QColor(128, 0, 0), false},    {27, QColor(51, 102, 255), false},
    {28, QColor(51, 51, 51), false},   {29, QColor(128, 128, 0), false},
    {30, QColor(0, 0, 102), false},
};

void DefineMarker(QsciScintilla* view, int marker, int symbol, const QColor& fore,
                  const QColor& back) {
  view->SendScintilla(Sci::SCI_MARKERDEFINE, marker, symbol);
  view->SendScintilla(Sci::SCI_MARKERSETFORE, marker, fore);
  view->SendScintilla(Sci::SCI_MARKERSETBACK, marker, back);
}

// The lexer for `kind`. A lexer made anew starts without properties, so
// the XML lexer gets its folding properties each time.
void SetLexer(QsciScintilla* view, TextKind kind) {
  if (kind != TextKind::kXml) {
    view->SendScintilla(Sci::SCI_SETLEXER, kLexerNone);
    return;
  }
  view->SendScintilla(Sci::SCI_SETLEXER, kLexerXml);
  for (const char* property : {"fold", "fold.symbols", "fold.on.open", "fold.compact", "fold.html"}) {
    view->SendScintilla(Sci::SCI_SETPROPERTY, property, "1");
  }
}

}  // namespace

void ConfigureTextView(QsciScintilla* view) {
  const QPalette palette = QApplication::palette();
  const QColor window_text = palette.color(QPalette::WindowText);
  const QColor window = palette.color(QPalette::Base);
  const QColor frame = palette.color(QPalette::Shadow);

  SetLexer(view, TextKind::kXml);
  view->SendScintilla(Sci::SCI_SETCODEPAGE, kUtf8CodePage);
  // Lines are laid out once per page rather than on every paint, and a
  // large document is coloured in the background while the program idles,
  // so scrolling through it or jumping to its end does not stall.
  view->SendScintilla(Sci::SCI_SETLAYOUTCACHE, static_cast<long>(Sci::SC_CACHE_PAGE));
  view->SendScintilla(Sci::SCI_SETIDLESTYLING, static_cast<long>(Sci::SC_IDLESTYLING_ALL));
  // Only the notices sent before a change are passed on: for every change
  // it is told about after the fact, the widget converts the changed text
  // and counts the characters from the start of the document to it, which
  // makes filling and editing a large document slow down with its size.
  view->SendScintilla(Sci::SCI_SETMODEVENTMASK,
                      static_cast<long>(Sci::SC_MOD_BEFOREINSERT | Sci::SC_MOD_BEFOREDELETE));

  view->SendScintilla(Sci::SCI_STYLESETFORE, Sci::STYLE_DEFAULT, window_text);
  view->SendScintilla(Sci::SCI_STYLESETBACK, Sci::STYLE_DEFAULT, window);
  view->SendScintilla(Sci::SCI_STYLESETSIZE, Sci::STYLE_DEFAULT, 10L);
  view->SendScintilla(Sci::SCI_STYLESETFONT, Sci::STYLE_DEFAULT, "Courier New");
  view->SendScintilla(Sci::SCI_STYLECLEARALL);
  for (const StyleColour& s : kXmlStyles) {
    view->SendScintilla(Sci::SCI_STYLESETFORE, s.style, s.colour);
    view->SendScintilla(Sci::SCI_STYLESETBACK, s.style, window);
    if (s.bold) view->SendScintilla(Sci::SCI_STYLESETBOLD, s.style, 1L);
  }

  view->SendScintilla(Sci::SCI_SETMARGINTYPEN, kFoldMargin, static_cast<long>(Sci::SC_MARGIN_SYMBOL));
  view->SendScintilla(Sci::SCI_SETMARGINMASKN, kFoldMargin, static_cast<long>(Sci::SC_MASK_FOLDERS));
  view->SendScintilla(Sci::SCI_SETMARGINWIDTHN, kFoldMargin, static_cast<long>(kFoldMarginWidth));
  view->SendScintilla(Sci::SCI_SETMARGINSENSITIVEN, kFoldMargin, 1L);


  view->SendScintilla(Sci::SCI_SETINDENTATIONGUIDES, static_cast<long>(Sci::SC_IV_LOOKFORWARD));
  view->SendScintilla(Sci::SCI_SETHIGHLIGHTGUIDE, 2L);
  view->SendScintilla(Sci::SCI_SETCARETLINEBACK, QColor(0, 255, 0));
  view->SendScintilla(Sci::SCI_SETCARETLINEBACKALPHA, 128L);

  view->SendScintilla(Sci::SCI_SETSELBACK, 1UL, palette.color(QPalette::Highlight));
  view->SendScintilla(Sci::SCI_SETSELFORE, 1UL, palette.color(QPalette::HighlightedText));

  DefineMarker(view, Sci::SC_MARKNUM_FOLDEROPEN, Sci::SC_MARK_MINUS, frame, QColor(0, 255, 255));
  DefineMarker(view, Sci::SC_MARKNUM_FOLDER, Sci::SC_MARK_PLUS, frame, QColor(255, 0, 0));
  for (int marker : {static_cast<int>(Sci::SC_MARKNUM_FOLDERSUB),
                     static_cast<int>(Sci::SC_MARKNUM_FOLDERTAIL),
                     static_cast<int>(Sci::SC_MARKNUM_FOLDEREND),
                     static_cast<int>(Sci::SC_MARKNUM_FOLDEROPENMID),
                     static_cast<int>(Sci::SC_MARKNUM_FOLDERMIDTAIL)}) {
    DefineMarker(view, marker, Sci::SC_MARK_EMPTY, frame, QColor(255, 0, 0));
  }
  view->SendScintilla(Sci::SCI_SETFOLDFLAGS, static_cast<long>(kFoldLineAfterContracted));

  view->SendScintilla(Sci::SCI_SETMARGINTYPEN, kPieceMargin, static_cast<long>(Sci::SC_MARGIN_SYMBOL));
  view->SendScintilla(Sci::SCI_SETMARGINMASKN, kPieceMargin, static_cast<long>(1 << kPieceMarker));
  view->SendScintilla(Sci::SCI_SETMARGINWIDTHN, kPieceMargin, 0L);
  DefineMarker(view, kPieceMarker, Sci::SC_MARK_ARROWS, palette.color(QPalette::Highlight), window);

  view->SendScintilla(Sci::SCI_AUTOCSETSEPARATOR, 10L);
  view->SendScintilla(Sci::SCI_SETMOUSEDWELLTIME, static_cast<long>(kMouseDwellMs));
  view->SendScintilla(Sci::SCI_SETSCROLLWIDTH, static_cast<long>(kScrollWidth));
  view->SendScintilla(Sci::SCI_SETSCROLLWIDTHTRACKING, 1L);
  view->SendScintilla(Sci::SCI_USEPOPUP, 0L);
}

void BeginFill(QsciScintilla* view, TextKind kind, int64_t total_bytes) {
  view->SendScintilla(Sci::SCI_CANCEL);
  view->SendScintilla(Sci::SCI_SETUNDOCOLLECTION, 0L);
  view->SendScintilla(Sci::SCI_SETREADONLY, 0L);
  view->SendScintilla(Sci::SCI_SETSCROLLWIDTH, static_cast<long>(kScrollWidth));
  view->SendScintilla(Sci::SCI_SETSCROLLWIDTHTRACKING, 1L);
  view->SendScintilla(Sci::SCI_MARKERDELETEALL, -1L);
  view->SendScintilla(Sci::SCI_CLEARALL);
  SetLexer(view, kind);
  view->SendScintilla(Sci::SCI_SETMARGINWIDTHN, kFoldMargin,
                      kind == TextKind::kXml ? static_cast<long>(kFoldMarginWidth) : 0L);
  view->SendScintilla(Sci::SCI_SETMARGINWIDTHN, kPieceMargin, 0L);
  view->SendScintilla(Sci::SCI_ALLOCATE, static_cast<unsigned long>(total_bytes + 1));
  view->SendScintilla(Sci::SCI_SETREADONLY, 1L);
  // Colouring in the background waits until the text is all in.
  view->SendScintilla(Sci::SCI_SETIDLESTYLING, static_cast<long>(Sci::SC_IDLESTYLING_NONE));
}

void AppendToView(QsciScintilla* view, QByteArrayView piece) {
  const bool first = view->SendScintilla(Sci::SCI_GETLENGTH) == 0;
  view->SendScintilla(Sci::SCI_SETREADONLY, 0L);
  view->SendScintilla(Sci::SCI_APPENDTEXT, static_cast<unsigned long>(piece.size()), piece.data());
  view->SendScintilla(Sci::SCI_SETREADONLY, 1L);
  if (first) {
    view->SendScintilla(Sci::SCI_GOTOPOS, 0L);
    view->SendScintilla(Sci::SCI_SETFIRSTVISIBLELINE, 0L);
  }
}

void EndFill(QsciScintilla* view, bool editable, const std::vector<int64_t>& piece_starts) {
  for (const int64_t start : piece_starts) {
    const long line = view->SendScintilla(Sci::SCI_LINEFROMPOSITION, static_cast<long>(start));
    view->SendScintilla(Sci::SCI_MARKERADD, line, static_cast<long>(kPieceMarker));
  }
  if (!piece_starts.empty()) view->SendScintilla(Sci::SCI_SETMARGINWIDTHN, kPieceMargin, 12L);
  view->SendScintilla(Sci::SCI_SETREADONLY, editable ? 0L : 1L);
  view->SendScintilla(Sci::SCI_SETIDLESTYLING, static_cast<long>(Sci::SC_IDLESTYLING_ALL));
  view->SendScintilla(Sci::SCI_SETUNDOCOLLECTION, 1L);
  view->SendScintilla(Sci::SCI_EMPTYUNDOBUFFER);
  view->SendScintilla(Sci::SCI_SETSAVEPOINT);
}

void FillTextView(QsciScintilla* view, QByteArrayView text, bool editable, TextKind kind,
                  const std::vector<int64_t>& piece_starts) {
  BeginFill(view, kind, text.size());
  AppendToView(view, text);
  EndFill(view, editable, piece_starts);
}

QByteArray TextViewBytes(const QsciScintilla* view) {
  const long length = view->SendScintilla(Sci::SCI_GETLENGTH);
  QByteArray bytes(length + 1, Qt::Uninitialized);
  view->SendScintilla(Sci::SCI_GETTEXT, static_cast<unsigned long>(length + 1),
                      static_cast<void*>(bytes.data()));
  bytes.truncate(length);
  return bytes;
}

QString TextViewSelection(const QsciScintilla* view) {
  return view->selectedText();
}

bool FindInTextView(QsciScintilla* view, const QString& text, bool down, bool whole_word,
                    bool match_case) {
  if (text.isEmpty()) return false;
  const QByteArray utf8 = text.toUtf8();
  const long flags = (whole_word ? kFindWholeWord : 0) | (match_case ? kFindMatchCase : 0);
  const long anchor = view->SendScintilla(Sci::SCI_GETANCHOR);
  const long caret = view->SendScintilla(Sci::SCI_GETCURRENTPOS);
  long found;
  if (down) {
    const long end = view->SendScintilla(Sci::SCI_GETSELECTIONEND);
    view->SendScintilla(Sci::SCI_SETSEL, end, end);
    view->SendScintilla(Sci::SCI_SEARCHANCHOR);
    found = view->SendScintilla(Sci::SCI_SEARCHNEXT, static_cast<uintptr_t>(flags), utf8.constData());
  } else {
    view->SendScintilla(Sci::SCI_SEARCHANCHOR);
    found = view->SendScintilla(Sci::SCI_SEARCHPREV, static_cast<uintptr_t>(flags), utf8.constData());
  }
  if (found >= 0) {
    view->SendScintilla(Sci::SCI_SCROLLCARET);
    return true;
  }
  if (down) view->SendScintilla(Sci::SCI_SETSEL, anchor, caret);
  return false;
}

void ToggleFoldAt(QsciScintilla* view, int position) {
  const long line = view->SendScintilla(Sci::SCI_LINEFROMPOSITION, static_cast<long>(position));
  view->SendScintilla(Sci::SCI_TOGGLEFOLD, line);
}

}  // namespace zoqe
