// Two versions of a part side by side: two read-only text views that
// scroll together, with the lines that differ marked (removed, added,
// changed, and blank fillers opposite lines only one side has) and each
// side's own line numbers in its margin. Binary content, and content too
// large to lay out, is compared by size and SHA-256 instead. The versions
// are read and compared by a CompareJob on its own thread while the window
// shows how far it is; closing the window cancels it.
#pragma once

#include <QDialog>
#include <QString>
#include <QTimer>

#include <memory>
#include <vector>

#include "app/history/line_diff.h"
#include "app/history/version_content.h"

class QLabel;
class QPushButton;
class QStackedWidget;
class QsciScintilla;

namespace zoqe {

class CompareJob;
struct CompareOutcome;

class CompareWindow : public QDialog {
  Q_OBJECT

 public:
  // The most bytes of text a side may have to be laid out.
  static constexpr int64_t kMaxText = int64_t{32} << 20;
  // Markers of the text views, one per LineMark other than kSame.
  enum Marker : int { kRemovedMarker = 0, kAddedMarker, kChangedMarker, kFillerMarker };

  explicit CompareWindow(QWidget* parent = nullptr);
  ~CompareWindow() override;

  // Shows what `job` finds when it has finished, comparing two versions of
  // `path` that the labels name; until then, how much it has read. A job
  // still running is cancelled first.
  void Start(const QString& path, const QString& before_label, const QString& after_label,
             std::unique_ptr<CompareJob> job);
  // Whether a job is still reading or comparing.
  bool busy() const { return job_ != nullptr; }
  // Cancels the job (the package is being closed) and says so.
  void StopReading();

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

 protected:
  void done(int result) override;
  void changeEvent(QEvent* event) override;

 private:
  void RetranslateButtons();
  void Poll();
  void Show(CompareOutcome& outcome);
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
  QWidget* busy_page_ = nullptr;
  QLabel* busy_text_ = nullptr;
  std::unique_ptr<CompareJob> job_;
  QTimer poll_;
  QString path_;
  QString before_label_;
  QString after_label_;
  QsciScintilla* left_view_ = nullptr;
  QsciScintilla* right_view_ = nullptr;
  AlignedSide left_;
  AlignedSide right_;
  std::vector<DiffHunk> hunks_;
  bool following_ = false;
  int shown_ = -1;  // the change GoToChange went to last
};

}  // namespace zoqe
