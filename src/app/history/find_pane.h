// The "find in package" pane below the tree and the right pane: a pattern
// (a Perl-compatible regular expression, as zoq grep takes), the parts and
// lines that match, listed as the search finds them, and a button that
// stops the search. A double-click on a line asks for its part to be opened
// at that line.
#pragma once

#include <QString>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

#include "app/history/package_search.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace zoqe {

class FindPane : public QWidget {
  Q_OBJECT

 public:
  // What a search needs from the window: the open package and the key.
  using PackageSource = std::function<zoq::Container*()>;
  using KeySource = std::function<const zoq::KeyInfo*()>;

  FindPane(PackageSource package, KeySource key, QWidget* parent = nullptr);
  ~FindPane() override;

  // Starts a search for the pattern in the box; says why when it cannot.
  void Start();
  // Stops the search (before the package is closed); what was found stays.
  void Stop();
  // Stops the search and empties the list.
  void Clear();
  bool searching() const { return search_ != nullptr; }

  QLineEdit* pattern_edit() const { return pattern_; }
  QCheckBox* ignore_case_box() const { return ignore_case_; }
  QTreeWidget* results() const { return results_; }
  QString status() const;
  // Takes what the search found so far into the list (the timer does this
  // while a search runs).
  void TakeHits();

 signals:
  // A line was double-clicked (or Enter pressed on it).
  void OpenLine(const QString& path, qint64 line, const QString& text);

 protected:
  // Enter and Escape stay in the pane: the window ends the program on keys
  // no control took.
  void keyPressEvent(QKeyEvent* event) override;
  // A language switch sets the texts again.
  void changeEvent(QEvent* event) override;

 private:
  void Retranslate();
  void Activate(QTreeWidgetItem* item);
  void ShowStatus();

  PackageSource package_;
  KeySource key_;
  QLineEdit* pattern_ = nullptr;
  QCheckBox* ignore_case_ = nullptr;
  QPushButton* start_ = nullptr;
  QPushButton* stop_ = nullptr;
  QLabel* status_ = nullptr;
  QLabel* title_ = nullptr;
  QPushButton* close_ = nullptr;
  bool counted_status_ = false;  // the status line counts a search's progress
  QTreeWidget* results_ = nullptr;
  QTimer timer_;
  std::unique_ptr<PackageSearch> search_;
  std::shared_ptr<const zoq::LinePattern> pattern_used_;  // of the lines listed
  SearchProgress progress_;
  bool stopped_ = false;
  QTreeWidgetItem* last_part_ = nullptr;  // the part item the last hit went under
  int64_t failures_ = 0;
};

}  // namespace zoqe
