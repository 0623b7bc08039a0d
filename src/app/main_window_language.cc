// A language switch while the window is up: every text is set again in the
// language just installed, and the state stays as it was (open package,
// selection, expanded folders, view, pending changes, geometry, an XML
// edit under way).
#include <QEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QTimer>
#include <QTreeView>

#include <utility>

#include "app/history/history_tools.h"
#include "app/info_panel.h"
#include "app/item_list_model.h"
#include "app/item_sort_proxy.h"
#include "app/main_window.h"
#include "app/stats_table.h"
#include "app/type_table.h"
#include "app/view/item_viewer.h"

namespace zoqe {

void CZOQEDlg::changeEvent(QEvent* event) {
  if (event->type() == QEvent::LanguageChange && !retranslate_queued_) {
    // Removing one translator and installing another each send the event.
    retranslate_queued_ = true;
    QTimer::singleShot(0, this, [this] {
      retranslate_queued_ = false;
      Retranslate();
    });
  }
  QDialog::changeEvent(event);
}

void CZOQEDlg::Retranslate() {
  commands_.Retranslate();
  history_tools_->Retranslate();
  filter_edit_->setPlaceholderText(tr("筛选名称"));
  types_->Retranslate();
  // Counted again, with the type names of the language, when next shown.
  stats_->Clear();
  stats_counted_ = false;
  list_model_->headerDataChanged(Qt::Horizontal, 0, ItemListModel::kColumnCount - 1);
  // The tree's texts come from its model as it paints.
  tree_view_->viewport()->update();
  if (!document_->is_open()) return;
  ShowTitle();
  RetranslateShown();
}

void CZOQEDlg::RetranslateShown() {
  TreeItem* item = CurrentTreeItem();
  if (!item) return;
  const View view = current_view();
  // The list rows selected, by name, to be selected again.
  QStringList selected;
  QString current;
  for (const QModelIndex& index : list_view_->selectionModel()->selectedRows()) {
    selected << list_model_->row(list_proxy_->mapToSource(index).row()).name;
  }
  if (const QModelIndex index = list_view_->currentIndex(); index.isValid()) {
    current = list_model_->row(list_proxy_->mapToSource(index).row()).name;
  }
  // A part shown from the list, or in a viewer, stays in the right pane;
  // the list and the window's own notices are shown again.
  const bool part_shown = view == View::kText || view == View::kPicture;
  const bool keep_right = part_shown || (view == View::kNotice && item->data == 0);
  const QString notice = view == View::kNotice ? notice_->text() : QString();
  if (!keep_right) {
    ShowSelection(true);
  } else {
    PartViewer viewer = std::exchange(part_viewer_, PartViewer());
    info_panel_->Reset();
    ShowItem(item, true);
    part_viewer_ = std::move(viewer);
  }
  if (!selected.isEmpty()) {
    QItemSelectionModel* selection = list_view_->selectionModel();
    for (int row = 0; row < list_proxy_->rowCount(); ++row) {
      const QModelIndex index = list_proxy_->index(row, 0);
      const QString& name = list_model_->row(list_proxy_->mapToSource(index).row()).name;
      if (name == current) {
        selection->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
      }
      if (selected.contains(name)) {
        selection->select(index, QItemSelectionModel::Select | QItemSelectionModel::Rows);
      }
    }
  }
  if (keep_right) item_viewer_->RetranslateShown(notice);
}

}  // namespace zoqe
