#include "app/history/find_pane.h"

#include <QCheckBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/app_language.h"
#include "app/history/code_text.h"
#include "zoq/error_table.h"
#include "zoq/xml_lines.h"

namespace zoqe {

namespace {
constexpr int kLineRole = Qt::UserRole;
constexpr int kPathRole = Qt::UserRole + 1;
constexpr int kTextRole = Qt::UserRole + 2;
}  // namespace

FindPane::FindPane(PackageSource package, KeySource key, QWidget* parent)
    : QWidget(parent), package_(std::move(package)), key_(std::move(key)) {
  setObjectName(QStringLiteral("findPane"));
  pattern_ = new QLineEdit(this);
  pattern_->setObjectName(QStringLiteral("findPattern"));
  pattern_->setClearButtonEnabled(true);
  ignore_case_ = new QCheckBox(this);
  start_ = new QPushButton(this);
  stop_ = new QPushButton(this);
  stop_->setEnabled(false);
  close_ = new QPushButton(this);
  status_ = new QLabel(this);
  status_->setObjectName(QStringLiteral("findStatus"));
  status_->setTextFormat(Qt::PlainText);  // quotes the pattern's error
  results_ = new QTreeWidget(this);
  results_->setObjectName(QStringLiteral("findResults"));
  results_->setColumnCount(2);
  title_ = new QLabel(this);
  Retranslate();
  results_->setUniformRowHeights(true);
  results_->header()->setStretchLastSection(true);
  results_->setColumnWidth(0, 260);

  auto* row = new QHBoxLayout;
  row->addWidget(title_);
  row->addWidget(pattern_, 1);
  row->addWidget(ignore_case_);
  row->addWidget(start_);
  row->addWidget(stop_);
  row->addWidget(close_);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 2, 0, 0);
  layout->setSpacing(2);
  layout->addLayout(row);
  layout->addWidget(status_);
  layout->addWidget(results_, 1);

  connect(start_, &QPushButton::clicked, this, &FindPane::Start);
  connect(pattern_, &QLineEdit::returnPressed, this, &FindPane::Start);
  connect(stop_, &QPushButton::clicked, this, &FindPane::Stop);
  connect(close_, &QPushButton::clicked, this, [this] {
    Stop();
    hide();
  });
  connect(results_, &QTreeWidget::itemActivated, this,
          [this](QTreeWidgetItem* item) { Activate(item); });
  timer_.setInterval(100);
  connect(&timer_, &QTimer::timeout, this, &FindPane::TakeHits);
}

FindPane::~FindPane() { search_.reset(); }

void FindPane::Retranslate() {
  title_->setText(tr("在包中查找:"));
  pattern_->setPlaceholderText(tr("正则表达式"));
  ignore_case_->setText(tr("忽略大小写(&I)"));
  start_->setText(tr("查找(&S)"));
  stop_->setText(tr("停止"));
  close_->setText(tr("关闭"));
  results_->setHeaderLabels({tr("文件 / 行"), tr("内容")});
  if (counted_status_) ShowStatus();
}

void FindPane::changeEvent(QEvent* event) {
  if (event->type() == QEvent::LanguageChange) Retranslate();
  QWidget::changeEvent(event);
}

QString FindPane::status() const { return status_->text(); }

void FindPane::Clear() {
  Stop();
  results_->clear();
  last_part_ = nullptr;
  status_->clear();
  counted_status_ = false;
}

void FindPane::Start() {
  Clear();
  zoq::Container* package = package_();
  if (package == nullptr) {
    counted_status_ = false;
    status_->setText(tr("文件未打开"));
    return;
  }
  if (pattern_->text().isEmpty()) {
    counted_status_ = false;
    status_->setText(tr("请输入要查找的内容"));
    return;
  }
  std::string error;
  std::shared_ptr<const zoq::LinePattern> pattern =
      zoq::LinePattern::Compile(pattern_->text().toStdString(), ignore_case_->isChecked(), &error);
  if (!pattern) {
    counted_status_ = false;
    status_->setText(tr("表达式有误: %1").arg(QString::fromStdString(error)));
    return;
  }
  stopped_ = false;
  failures_ = 0;
  progress_ = SearchProgress();
  pattern_used_ = pattern;
  search_ = std::make_unique<PackageSearch>(package, std::move(pattern), key_());
  start_->setEnabled(false);
  stop_->setEnabled(true);
  timer_.start();
  ShowStatus();
}

void FindPane::Stop() {
  if (!search_) return;
  search_->Cancel();
  TakeHits();
  if (search_) {
    stopped_ = true;
    search_.reset();
    timer_.stop();
    start_->setEnabled(true);
    stop_->setEnabled(false);
    ShowStatus();
  }
}

void FindPane::TakeHits() {
  if (!search_) return;
  std::vector<SearchHit> hits = search_->TakeHits(&progress_);
  results_->setUpdatesEnabled(false);
  for (SearchHit& hit : hits) {
    if (!last_part_ || last_part_->data(0, kPathRole).toString() != hit.path) {
      last_part_ = new QTreeWidgetItem(results_);
      last_part_->setText(0, hit.path);
      last_part_->setData(0, kPathRole, hit.path);
      last_part_->setExpanded(true);
    }
    if (hit.code != 0) {
      ++failures_;
      // A failed match has no code text of its own: its reason goes with it.
      const QString why = zoq::PackageErrorText(hit.code, CurrentLanguage()) != nullptr || hit.text.isEmpty()
                              ? HistoryCodeText(hit.code)
                              : hit.text;
      last_part_->setText(1, tr("无法查找: %1").arg(why));
      continue;
    }
    auto* line = new QTreeWidgetItem(last_part_);
    line->setText(0, QString::number(hit.line));
    line->setText(1, hit.text);
    line->setData(0, kLineRole, static_cast<qlonglong>(hit.line));
    line->setData(0, kPathRole, hit.path);
    line->setData(0, kTextRole, hit.text);
    last_part_->setText(1, tr("%1 行").arg(last_part_->childCount()));
  }
  results_->setUpdatesEnabled(true);
  if (progress_.finished) {
    search_.reset();
    timer_.stop();
    start_->setEnabled(true);
    stop_->setEnabled(false);
  }
  ShowStatus();
}

void FindPane::ShowStatus() {
  QString text;
  if (search_) {
    text = tr("正在查找… %1/%2 个文件，找到 %3 处")
               .arg(progress_.parts_done)
               .arg(progress_.parts_total)
               .arg(progress_.hits);
  } else if (stopped_) {
    text = tr("已停止: 查找了 %1/%2 个文件，找到 %3 处")
               .arg(progress_.parts_done)
               .arg(progress_.parts_total)
               .arg(progress_.hits);
  } else {
    text = tr("查找了 %1 个文件，在 %2 个文件中找到 %3 处")
               .arg(progress_.parts_total)
               .arg(results_->topLevelItemCount() - failures_)
               .arg(progress_.hits);
    if (progress_.cut_short) text += tr("（结果过多，只列出前 %1 处）").arg(PackageSearch::kMaxHits);
  }
  if (failures_ > 0) text += tr("；%1 个文件无法查找").arg(failures_);
  status_->setText(text);
  counted_status_ = true;
}

void FindPane::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      // The pattern box has started the search, the list opened the line.
      event->accept();
      return;
    case Qt::Key_Escape:
      // Stops a search; with none running, closes the pane.
      if (searching()) {
        Stop();
      } else {
        hide();
      }
      event->accept();
      return;
    default:
      QWidget::keyPressEvent(event);
  }
}

void FindPane::Activate(QTreeWidgetItem* item) {
  if (!item) return;
  const QVariant line = item->data(0, kLineRole);
  if (!line.isValid()) return;  // a part's item opens and closes
  QString text = item->data(0, kTextRole).toString();
  // XML on one line is shown with one tag per line: the tag that matches
  // is what the view is searched for.
  if (pattern_used_ && text.contains(QLatin1String("><"))) {
    const QByteArray whole = text.toUtf8();
    std::string pieces;
    zoq::XmlLineBreaker().Feed(whole.constData(), static_cast<size_t>(whole.size()), &pieces);
    zoq::LineSearch search(*pattern_used_, true);
    QString piece;
    const zoq::LineHit hit = [&piece](int64_t, std::string_view found) {
      piece = QString::fromUtf8(found.data(), static_cast<qsizetype>(found.size()));
    };
    if (search.Feed(pieces.data(), pieces.size(), hit) == 0 && search.Finish(hit) == 0 &&
        !piece.trimmed().isEmpty()) {
      text = piece;
    }
  }
  emit OpenLine(item->data(0, kPathRole).toString(), line.toLongLong(), text);
}

}  // namespace zoqe
