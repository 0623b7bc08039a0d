// Two versions of a part side by side: two read-only text views that
// scroll together, with the lines that differ marked (removed, added,
// changed, and blank fillers opposite lines only one side has) and each
// side's own line numbers in its margin. Binary content, and content too
// large to lay out, is compared by size and SHA-256 instead.
#pragma once

#include <QDialog>
#include <QString>

#include <vector>

#include "app/history/line_diff.h"
#include "app/history/version_content.h"

class QLabel;
class QPushButton;
class QStackedWidget;
class QsciScintilla;

namespace zoqe {

class CompareWindow : public QDialog {
  Q_OBJECT

 public:
  // The most bytes of text a side may have to be laid out.
  static constexpr int64_t kMaxText = int64_t{32} << 20;
  // Markers of the text views, one per LineMark other than kSame.
  enum Marker : int { kRemovedMarker = 0, kAddedMarker, kChangedMarker, kFillerMarker };

  explicit CompareWindow(QWidget* parent = nullptr);

  // Compares `before` with `after`; the labels name their versions. The
  // texts go through diff in temporary files in `work_folder`.
  void Compare(const QString& path, const QString& before_label, const VersionContent& before,
               const QString& after_label, const VersionContent& after,
               const QString& work_folder);

  QsciScintilla* left_view() const { return left_view_; }
  QsciScintilla* right_view() const { return right_view_; }
  const AlignedSide& left() const { return left_; }
  const AlignedSide& right() const { return right_; }
  // The line that says what was found (differences, or why there is no
  // side-by-side view).
  QString summary() const;
  // Groups of differing lines.
  int change_count() const { return static_cast<int>(hunks_.size()); }
  // The first line (0-based, of the laid out sides) of the next or previous
  // change from the top line shown, scrolled to; -1 when there is none.
  int GoToChange(bool forward);

 private:
  void ShowSides();
  void ShowNoticeOnly(const QString& text);
  void FollowScroll(QsciScintilla* from, QsciScintilla* to);

  QLabel* summary_ = nullptr;
  QLabel* left_label_ = nullptr;
  QLabel* right_label_ = nullptr;
  QPushButton* previous_ = nullptr;
  QPushButton* next_ = nullptr;
  QStackedWidget* pages_ = nullptr;
  QLabel* notice_ = nullptr;
  QsciScintilla* left_view_ = nullptr;
  QsciScintilla* right_view_ = nullptr;
  AlignedSide left_;
  AlignedSide right_;
  std::vector<DiffHunk> hunks_;
  bool following_ = false;
  int shown_ = -1;  // the change GoToChange went to last
};

}  // namespace zoqe
