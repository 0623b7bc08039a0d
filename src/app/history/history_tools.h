// The browser's commands on a package's history, joined to the main window
// by a few hooks: comparing a version of a part with another version or
// with the newest (a side-by-side window), restoring a version as the
// part's newest (then the save question), and the "find in package" pane
// (Ctrl+Shift+F) whose lines open their part at that line.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <utility>

class QAction;
class QsciScintilla;

namespace zoqe {

class CZOQEDlg;
class CompareWindow;
class FindPane;

class HistoryTools : public QObject {
  Q_OBJECT

 public:
  // Adds the commands to the window's menus and item menu.
  explicit HistoryTools(CZOQEDlg* window);
  ~HistoryTools() override;

  // Stops the search and empties its list: the package is being closed.
  void Stop();
  // Sets the texts of the tools' commands in the language installed now.
  void Retranslate();

  // The part selected in the tree, or with a folder selected the single
  // part row selected in the list, and its version (0: the newest). False
  // when no part is selected.
  bool SelectedPart(QString* path, int* version) const;

  // Shows `path` at `version` beside `path` at `other` (0: the newest), the
  // older one on the left. Returns at once: the window says how far the
  // reading is until the comparison is done.
  CompareWindow* Compare(const QString& path, int version, int other);
  // Files `path` as it was at `version` as its newest version, then asks
  // whether to save. Says why and returns false when it cannot.
  bool Restore(const QString& path, int version);

  // Shows the find pane with the focus in its pattern box.
  void OpenFind();
  // Shows the part at its line (the line's text finds it where the view
  // lays the part out in other lines, as it does XML).
  void OpenLine(const QString& path, qint64 line, const QString& text);

  FindPane* find_pane() const { return find_pane_; }
  CompareWindow* compare_window() const;
  QAction* compare_newest_action() const { return compare_newest_; }
  QAction* compare_version_action() const { return compare_version_; }
  QAction* restore_action() const { return restore_; }
  QAction* find_action() const { return find_; }

 private:
  void UpdateActions();
  void OnCompareVersion();
  void OnRestore();

  CZOQEDlg* window_;
  QAction* compare_newest_ = nullptr;
  QAction* compare_version_ = nullptr;
  QAction* restore_ = nullptr;
  QAction* find_ = nullptr;
  FindPane* find_pane_ = nullptr;
  QPointer<CompareWindow> compare_window_;
  QString compared_path_;  // what the compare window shows: path and versions
  std::pair<int, int> compared_;
  int opening_ = 0;  // counts OpenLine calls, so that only the last one moves the view
};

// Puts the caret on line `line` (1-based) of the view and selects it; when
// that line does not hold `text`, on the line holding it nearest to there.
void ShowLineInView(QsciScintilla* view, qint64 line, const QString& text);

}  // namespace zoqe
