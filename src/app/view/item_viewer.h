// Shows parts of the open package in the main window: extracts the part
// into a temporary file in the work folder and shows it as re-indented XML
// (editable when asked), text, hex dump or image, or hands it to the
// desktop's default program. Reading and preparing a part runs on a worker
// thread and a large text goes into the view in pieces, so the window keeps
// answering; a part that cannot be shown gets a notice saying why. Also
// runs the find dialog, key entry and the storing of edited XML back into
// the package.
#pragma once

#include <QObject>
#include <QPointer>
#include <QSize>
#include <QString>
#include <QThreadPool>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

#include "app/view/edit_tracker.h"
#include "app/view/find_dialog.h"
#include "app/view/part_job.h"
#include "app/view/shown_text.h"
#include "app/view/text_view.h"

namespace zoqe {

class CPictureCtrl;
class CZOQEDlg;

class ItemViewer : public QObject {
  Q_OBJECT

 public:
  // Starts `file` with its default program; returns the process id, or 0
  // when none came back.
  using Launcher = std::function<qint64(const QString& file)>;

  // What a notice about a part that is not shown offers.
  enum NoticeAction : int {
    kEnterKey = 1,
    kShowAsText = 2,
    kShowAsHex = 4,
    kShowStoredHex = 8,
    kOpenWithDefault = 16,
  };
  // The button text of an action.
  static QString NoticeLabel(NoticeAction action);

  explicit ItemViewer(CZOQEDlg* window);
  ~ItemViewer() override;

  // Shows the part at `path` as it was at `version` (0: newest). With
  // read-only false an XML part of the newest version opens for editing;
  // any other part asked for editing says it cannot be edited and is shown
  // read-only. Returns whether the part is shown or still being read.
  bool ShowPart(const QString& path, int version, bool read_only, bool report, int mode);

  // Stores the text view's edited XML as a new version of `path`. Says why
  // and returns false when it cannot be stored.
  bool StoreXmlEdit(const QString& path);

  // After a language switch: adds to the strip, in the language installed
  // now, what the part shown last said of itself (its size, damage, picture
  // size); a notice of the viewer's own (`notice` is the text shown) is
  // made again. Returns whether `notice` was the viewer's.
  bool RetranslateShown(const QString& notice);

  // Opens the find dialog unless one is open.
  void OpenFind();
  // Asks for a key (and, where it matters, the document version); returns
  // whether one was entered.
  bool EnterKey();

  // Drops a part still being read or filled in and waits until no worker
  // uses the package (before it is closed).
  void StopShowing();
  // A part is being read or filled in.
  bool busy() const { return job_ != nullptr || fill_.active; }
  // Processes events until nothing is being read or filled in (tests and
  // benchmarks); false on timeout.
  bool WaitUntilShown(int timeout_ms = 60000);

  void SetLauncher(Launcher launcher) { launcher_ = std::move(launcher); }
  CPictureCtrl* picture() const { return picture_; }
  CFindDialog* find_dialog() const { return find_; }
  // The target file of the last extraction (for tests).
  const QString& last_target() const { return last_target_; }

 private:
  struct Job;
  struct Fill {
    bool active = false;
    ShownText shown;
    int64_t at = 0;
    bool editable = false;
    QString path;
  };

  bool Show(PartRequest request, bool report);
  // Handles a finished job; returns whether its part is shown.
  bool Finish(const std::shared_ptr<Job>& job);
  bool ShowPrepared(Job& job);
  void ShowFailure(const Job& job);
  void StartFill(ShownText shown, TextKind kind, bool editable, const QString& path);
  void FillNextPiece();
  void EndFillNow();
  void Cancel();
  // Says in the right pane why the part is not shown and offers `actions`
  // (NoticeAction flags).
  void ShowNotice(const QString& why, int actions);
  void OnNoticeAction(int action);
  void SwitchView(int view);
  bool PartHasCode(const QString& path, int version, int code) const;
  QString EditedLocation(int64_t edited_position) const;

  CZOQEDlg* window_;
  CPictureCtrl* picture_ = nullptr;
  QPointer<CFindDialog> find_;
  Launcher launcher_;
  QThreadPool pool_;
  std::shared_ptr<Job> job_;                 // the part being read
  std::vector<std::shared_ptr<Job>> started_;  // jobs not yet handled
  Fill fill_;
  QTimer fill_timer_;
  bool switching_ = false;  // the viewer itself changes the right pane
  bool key_retry_ = false;
  PartRequest last_request_;  // of the part shown or noticed last
  // What the strip says of the part shown last, and the viewer's last
  // notice.
  struct ShownFacts {
    int64_t size = -1;  // -1: no part shown
    bool damaged = false;
    QSize picture;
  };
  ShownFacts facts_;
  QString last_notice_;
  void AddShownFacts();
  QString last_target_;

  // The XML being edited: the part's text, what the view was filled with,
  // and the edits since.
  bool was_utf16_ = false;
  QByteArray edit_source_;
  ShownText edit_shown_;
  EditTracker tracker_;
  bool tracking_ = false;
};

// Starts `file` through xdg-open, detached.
qint64 StartWithDefaultProgram(const QString& file);

}  // namespace zoqe
