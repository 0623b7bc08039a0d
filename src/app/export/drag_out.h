// Dragging parts and folders out of the item list or the tree onto a file
// manager or the desktop: when a drag starts, the dragged items are written
// decoded into a fresh private folder and offered as a list of file URLs.
// The folders live until the window goes away.
#pragma once

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QStringList>

#include <vector>

#include "app/export/export_command.h"

class QMimeData;
class QWidget;

namespace zoqe {

class CZOQEDlg;

class DragOut : public QObject {
  Q_OBJECT

 public:
  // Watches the window's list and tree; owned by the window.
  explicit DragOut(CZOQEDlg* window);
  ~DragOut() override;

  // Writes `entries` (decoded, at history version `version`) into a fresh
  // folder and returns the drag data naming what was written, or null when
  // nothing was. `failed` receives the number of entries not written.
  QMimeData* PrepareDrag(const std::vector<ExportEntry>& entries, int version, int* failed);

  // The entries a drag from the list or from the tree would carry.
  std::vector<ExportEntry> ListDragEntries() const;
  // (`version` receives the history version of the tree item.)
  std::vector<ExportEntry> TreeDragEntries(const QPoint& viewport_pos, int* version) const;

  const QStringList& folders() const { return folders_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QString MakeFreshFolder();
  void StartDrag(QWidget* source, const std::vector<ExportEntry>& entries, int version);

  CZOQEDlg* window_;
  QPointer<QWidget> list_viewport_;
  QPointer<QWidget> tree_viewport_;
  QStringList folders_;
  QPointer<QObject> pressed_in_;
  QPoint press_pos_;
};

}  // namespace zoqe
