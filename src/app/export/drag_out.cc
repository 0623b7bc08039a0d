#include "app/export/drag_out.h"

#include <QAbstractProxyModel>
#include <QApplication>
#include <QDir>
#include <QDrag>
#include <QFile>
#include <QMimeData>
#include <QMouseEvent>
#include <QTreeView>
#include <QUrl>

#include <stdlib.h>

#include "app/message_box.h"
#include "app/package_tree_model.h"
#include "app/main_window.h"
#include "zoq/extract_job.h"
#include "zoq/utf.h"

namespace zoqe {

DragOut::DragOut(CZOQEDlg* window) : QObject(window), window_(window) {
  setObjectName(QStringLiteral("dragOut"));
  list_viewport_ = window->list_view()->viewport();
  tree_viewport_ = window->tree_view()->viewport();
  list_viewport_->installEventFilter(this);
  tree_viewport_->installEventFilter(this);
}

DragOut::~DragOut() {
  for (const QString& folder : std::as_const(folders_)) QDir(folder).removeRecursively();
}

QString DragOut::MakeFreshFolder() {
  QString base = window_->document()->work_folder();
  if (base.isEmpty()) base = qEnvironmentVariable("TMPDIR");
  if (base.isEmpty()) base = QStringLiteral("/tmp");
  while (base.size() > 1 && base.endsWith(QLatin1Char('/'))) base.chop(1);
  // mkdtemp makes the folder exclusively, readable by its owner only.
  QByteArray name = QFile::encodeName(base + QStringLiteral("/~ZOQDRAG-XXXXXX"));
  if (::mkdtemp(name.data()) == nullptr) return QString();
  const QString folder = QFile::decodeName(name);
  folders_.append(folder);
  return folder;
}

std::vector<ExportEntry> DragOut::ListDragEntries() const {
  std::vector<ExportEntry> entries;
  for (ExportEntry& entry : SelectedListEntries(*window_, window_->CurrentTreeItem())) {
    if (entry.name != QLatin1String("..")) entries.push_back(entry);
  }
  return entries;
}

std::vector<ExportEntry> DragOut::TreeDragEntries(const QPoint& viewport_pos,
                                                  int* version) const {
  QTreeView* tree = window_->tree_view();
  QModelIndex index = tree->indexAt(viewport_pos);
  if (!index.isValid() || window_->document()->package() == nullptr) return {};
  // The tree view shows the tree through a filtering model.
  if (auto* proxy = qobject_cast<QAbstractProxyModel*>(tree->model())) {
    index = proxy->mapToSource(index);
  }
  const TreeItem* item = window_->tree_model()->ItemAt(index);
  const int kind = PackageTreeModel::KindOf(item);
  if ((kind != kKindMainTree && kind != kKindVersionTree) || item->name == QLatin1String("/")) {
    return {};
  }
  *version = PackageTreeModel::VersionOf(item);
  ExportEntry entry{item->name, nullptr};
  if (zoq::IsSafeOutputName(item->name.toStdString())) {
    entry.node = window_->NodeAt(PackageTreeModel::PackagePath(item), *version);
  }
  return {entry};
}

QMimeData* DragOut::PrepareDrag(const std::vector<ExportEntry>& entries, int version,
                                int* failed) {
  *failed = static_cast<int>(entries.size());
  if (entries.empty() || window_->document()->package() == nullptr) return nullptr;
  const QString path = MakeFreshFolder();
  zoq::OutputFolder folder;
  if (path.isEmpty() ||
      zoq::OutputFolder::Open(QFile::encodeName(path).toStdString(), &folder) != zoq::kOk) {
    return nullptr;
  }
  std::vector<zoq::ExtractItem> items;
  std::vector<const ExportEntry*> written_as;  // the entry of each item
  for (const ExportEntry& entry : entries) {
    if (entry.node == nullptr) continue;
    items.push_back({entry.node, true});
    written_as.push_back(&entry);
  }
  const ExportOutcome outcome = ExportItems(window_, items, folder, version, false, 0700);
  QList<QUrl> urls;
  for (size_t i = 0; i < items.size(); ++i) {
    if (outcome.item_failed[i]) continue;
    urls.append(QUrl::fromLocalFile(path + QLatin1Char('/') + written_as[i]->name));
  }
  *failed = static_cast<int>(entries.size()) - static_cast<int>(urls.size());
  if (urls.isEmpty()) return nullptr;
  auto* data = new QMimeData;
  data->setUrls(urls);
  return data;
}

void DragOut::StartDrag(QWidget* source, const std::vector<ExportEntry>& entries, int version) {
  int failed = 0;
  QMimeData* data = PrepareDrag(entries, version, &failed);
  if (data != nullptr) {
    auto* drag = new QDrag(source);
    drag->setMimeData(data);
    drag->exec(Qt::CopyAction, Qt::CopyAction);
  }
  if (failed > 0) {
    ShowError(window_, data == nullptr ? tr("导出失败") : tr("部分导出失败"));
  }
}

bool DragOut::eventFilter(QObject* watched, QEvent* event) {
  // Only mouse events matter; the window may be half torn down for others.
  const QEvent::Type type = event->type();
  if (type != QEvent::MouseButtonPress && type != QEvent::MouseMove &&
      type != QEvent::MouseButtonRelease) {
    return false;
  }
  QWidget* list = list_viewport_;
  QWidget* tree = tree_viewport_;
  if (watched == nullptr || (watched != list && watched != tree)) return false;
  switch (type) {
    case QEvent::MouseButtonPress: {
      auto* mouse = static_cast<QMouseEvent*>(event);
      pressed_in_ = nullptr;
      if (mouse->button() != Qt::LeftButton || window_->document()->package() == nullptr) break;
      const QPoint pos = mouse->position().toPoint();
      QTreeView* view = watched == list ? window_->list_view() : window_->tree_view();
      // Only a press on an item starts a drag; the empty area keeps its
      // rubber-band selection.
      if (view->indexAt(pos).isValid()) {
        pressed_in_ = watched;
        press_pos_ = pos;
      }
      break;
    }
    case QEvent::MouseMove: {
      auto* mouse = static_cast<QMouseEvent*>(event);
      if (pressed_in_ != watched || !(mouse->buttons() & Qt::LeftButton)) break;
      if ((mouse->position().toPoint() - press_pos_).manhattanLength() <
          QApplication::startDragDistance()) {
        break;
      }
      pressed_in_ = nullptr;
      if (watched == list) {
        StartDrag(list, ListDragEntries(),
                  PackageTreeModel::VersionOf(window_->CurrentTreeItem()));
      } else {
        int version = 0;
        std::vector<ExportEntry> entries = TreeDragEntries(press_pos_, &version);
        if (entries.empty()) break;
        StartDrag(tree, entries, version);
      }
      return true;
    }
    case QEvent::MouseButtonRelease:
      pressed_in_ = nullptr;
      break;
    default:
      break;
  }
  return false;
}

}  // namespace zoqe
