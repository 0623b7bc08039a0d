// Shows parts of the open package in the main window: extracts the part
// into a temporary file in the work folder and shows it as re-indented XML
// (editable when asked), text, hex dump or image, or hands it to the
// desktop's default program. Also runs the find dialog, key entry and the
// storing of edited XML back into the package.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

#include "app/view/find_dialog.h"

namespace zoqe {

class CPictureCtrl;
class CZOQEDlg;

class ItemViewer : public QObject {
  Q_OBJECT

 public:
  // Starts `file` with its default program; returns the process id, or 0
  // when none came back.
  using Launcher = std::function<qint64(const QString& file)>;

  explicit ItemViewer(CZOQEDlg* window);

  // Shows the part at `path` as it was at `version` (0: newest). With
  // read-only false an XML part of the newest version opens for editing;
  // any other part asked for editing says it cannot be edited. Returns
  // whether the part is shown.
  bool ShowPart(const QString& path, int version, bool read_only, bool report, int mode);

  // Stores the text view's edited XML as a new version of `path`. Says why
  // and returns false when it cannot be stored.
  bool StoreXmlEdit(const QString& path);

  // Opens the find dialog unless one is open.
  void OpenFind();
  // Asks for a key; returns whether one was entered.
  bool EnterKey();

  void SetLauncher(Launcher launcher) { launcher_ = std::move(launcher); }
  CPictureCtrl* picture() const { return picture_; }
  CFindDialog* find_dialog() const { return find_; }
  // The target file of the last extraction (for tests).
  const QString& last_target() const { return last_target_; }

 private:
  bool ShowExtracted(const QString& target, const QString& path, int mode, bool editable);

  CZOQEDlg* window_;
  CPictureCtrl* picture_ = nullptr;
  QPointer<CFindDialog> find_;
  Launcher launcher_;
  bool was_utf16_ = false;  // the XML in the text view was loaded from UTF-16
  bool key_retry_ = false;
  QString last_target_;
};

// Starts `file` through xdg-open, detached.
qint64 StartWithDefaultProgram(const QString& file);

}  // namespace zoqe
