#include "app/stats_dialog.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/app_text.h"
#include "app/stats_table.h"

namespace zoqe {

namespace {

// The number each number column shows, kept beside its text.
constexpr int kNumberRole = Qt::UserRole;

// Text for column 0; the count, the bytes and the share for the number
// columns (not the shown text, where "1,024" would read as 1).
class StatsRow : public QTreeWidgetItem {
 public:
  using QTreeWidgetItem::QTreeWidgetItem;

  bool operator<(const QTreeWidgetItem& other) const override {
    int column = treeWidget() ? treeWidget()->sortColumn() : 0;
    if (column < 0 || column > 3) column = 0;
    if (column == 0) return text(0).compare(other.text(0)) < 0;
    const QVariant a = data(column, kNumberRole), b = other.data(column, kNumberRole);
    if (column == 3) return a.toDouble() < b.toDouble();
    return a.toLongLong() < b.toLongLong();
  }
};

}  // namespace

CZOQEInfoDlg::CZOQEInfoDlg(const StatsTable& table, QWidget* parent) : QDialog(parent) {
  setWindowTitle(tr("空间占用情况统计"));
  list_ = new QTreeWidget(this);
  list_->setObjectName(QStringLiteral("statsList"));
  list_->setRootIsDecorated(false);
  list_->setUniformRowHeights(true);
  list_->setColumnCount(4);
  list_->setHeaderLabels({tr("类型"), tr("个数"),
                          tr("总大小(字节)"), tr("百分比")});
  const int widths[] = {120, 80, 120, 80};
  for (int c = 0; c < 4; ++c) list_->setColumnWidth(c, widths[c]);
  list_->headerItem()->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
  list_->headerItem()->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
  list_->headerItem()->setTextAlignment(3, Qt::AlignRight | Qt::AlignVCenter);
  list_->header()->setSectionsClickable(true);
  list_->header()->setSortIndicatorShown(true);
  connect(list_->header(), &QHeaderView::sectionClicked, this, &CZOQEInfoDlg::ClickColumn);

  const bool with_share = table.total_count() > 0 && table.total_size() > 0;
  for (const auto& [key, entry] : table.entries()) {
    if (entry.count <= 0) continue;
    auto* row = new StatsRow(list_);
    row->setIcon(0, table.icons().at(static_cast<size_t>(entry.image)));
    row->setText(0, entry.type_name);
    row->setText(1, QString::number(entry.count));
    row->setData(1, kNumberRole, static_cast<qlonglong>(entry.count));
    row->setText(2, SizeText(entry.size, 0, false));
    row->setData(2, kNumberRole, static_cast<qlonglong>(entry.size));
    if (with_share) {
      const double share = static_cast<double>(entry.size) * 100.0 /
                           static_cast<double>(table.total_size());
      row->setText(3, QString::asprintf("%5.2f %%", share));
      row->setData(3, kNumberRole, share);
    }
    for (int c = 1; c < 4; ++c) row->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
  }

  auto* close = new QPushButton(tr("关闭"), this);
  close->setObjectName(QStringLiteral("closeButton"));
  connect(close, &QPushButton::clicked, this, &QDialog::accept);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(close);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(list_);
  layout->addLayout(buttons);
  resize(440, 300);
}

void CZOQEInfoDlg::ClickColumn(int column) {
  if (column == sort_column_) {
    descending_ = !descending_;
  } else {
    sort_column_ = column;
    descending_ = true;
  }
  Sort();
}

void CZOQEInfoDlg::Sort() {
  const Qt::SortOrder order = descending_ ? Qt::DescendingOrder : Qt::AscendingOrder;
  list_->sortItems(sort_column_, order);
  list_->header()->setSortIndicator(sort_column_, order);
}

}  // namespace zoqe
