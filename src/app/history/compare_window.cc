#include "app/history/compare_window.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSplitter>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <Qsci/qsciscintilla.h>

#include <algorithm>

#include "app/app_text.h"
#include "app/history/code_text.h"
#include "app/history/compare_job.h"

namespace zoqe {

namespace {

constexpr int kUtf8CodePage = 65001;
constexpr int kNumberMargin = 0;

// Background colours (0xBBGGRR) of the marked lines.
constexpr long kMarkerColours[] = {0xDCDCFF, 0xDCFFDC, 0xC8F5FF, 0xEBEBEB};

void SetUpView(QsciScintilla* view) {
  view->SendScintilla(QsciScintillaBase::SCI_SETCODEPAGE, kUtf8CodePage);
  view->SendScintilla(QsciScintillaBase::SCI_SETWRAPMODE, QsciScintillaBase::SC_WRAP_NONE);
  // Sideways scrolling as far as the widest line drawn, not a fixed width.
  view->SendScintilla(QsciScintillaBase::SCI_SETSCROLLWIDTH, 1L);
  view->SendScintilla(QsciScintillaBase::SCI_SETSCROLLWIDTHTRACKING, 1L);
  for (int margin = 0; margin < 5; ++margin) {
    view->SendScintilla(QsciScintillaBase::SCI_SETMARGINWIDTHN, margin, 0L);
  }
  view->SendScintilla(QsciScintillaBase::SCI_SETMARGINTYPEN, kNumberMargin,
                      QsciScintillaBase::SC_MARGIN_RTEXT);
  for (int marker = 0; marker < 4; ++marker) {
    view->SendScintilla(QsciScintillaBase::SCI_MARKERDEFINE, marker,
                        QsciScintillaBase::SC_MARK_BACKGROUND);
    view->SendScintilla(QsciScintillaBase::SCI_MARKERSETBACK, marker, kMarkerColours[marker]);
  }
  view->setReadOnly(true);
}

void FillView(QsciScintilla* view, const AlignedSide& side) {
  view->setReadOnly(false);
  view->SendScintilla(QsciScintillaBase::SCI_MARGINTEXTCLEARALL);
  view->SendScintilla(QsciScintillaBase::SCI_MARKERDELETEALL, -1);
  view->SendScintilla(QsciScintillaBase::SCI_SETTEXT, 0UL, side.text.constData());
  int widest = 1;
  for (size_t line = 0; line < side.marks.size(); ++line) {
    const LineMark mark = side.marks[line];
    if (mark != LineMark::kSame) {
      const int marker = mark == LineMark::kRemoved ? CompareWindow::kRemovedMarker
                         : mark == LineMark::kAdded ? CompareWindow::kAddedMarker
                         : mark == LineMark::kChanged ? CompareWindow::kChangedMarker
                                                      : CompareWindow::kFillerMarker;
      view->SendScintilla(QsciScintillaBase::SCI_MARKERADD, line, marker);
    }
    if (side.numbers[line] > 0) {
      const QByteArray number = QByteArray::number(side.numbers[line]);
      widest = std::max(widest, static_cast<int>(number.size()));
      view->SendScintilla(QsciScintillaBase::SCI_MARGINSETTEXT, line, number.constData());
    }
  }
  const QByteArray sample(widest + 1, '9');
  const long width = view->SendScintilla(QsciScintillaBase::SCI_TEXTWIDTH,
                                         QsciScintillaBase::STYLE_LINENUMBER, sample.constData());
  view->SendScintilla(QsciScintillaBase::SCI_SETMARGINWIDTHN, kNumberMargin, width);
  view->SendScintilla(QsciScintillaBase::SCI_EMPTYUNDOBUFFER);
  view->SendScintilla(QsciScintillaBase::SCI_GOTOLINE, 0UL);
  view->setReadOnly(true);
}

}  // namespace

CompareWindow::CompareWindow(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("compareWindow"));
  setWindowFlags(windowFlags() | Qt::WindowMinMaxButtonsHint);
  setSizeGripEnabled(true);
  summary_ = new QLabel(this);
  summary_->setObjectName(QStringLiteral("compareSummary"));
  summary_->setTextFormat(Qt::PlainText);
  summary_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  previous_ = new QPushButton(this);
  next_ = new QPushButton(this);
  RetranslateButtons();
  previous_->setAutoDefault(false);
  next_->setAutoDefault(false);
  connect(previous_, &QPushButton::clicked, this, [this] { GoToChange(false); });
  connect(next_, &QPushButton::clicked, this, [this] { GoToChange(true); });
  auto* top = new QHBoxLayout;
  top->addWidget(summary_, 1);
  top->addWidget(previous_);
  top->addWidget(next_);

  pages_ = new QStackedWidget(this);
  notice_ = new QLabel(pages_);
  notice_->setObjectName(QStringLiteral("compareNotice"));
  notice_->setTextFormat(Qt::PlainText);
  notice_->setAlignment(Qt::AlignTop | Qt::AlignLeft);
  notice_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  notice_->setWordWrap(true);
  notice_->setMargin(8);
  auto* sides = new QSplitter(Qt::Horizontal, pages_);
  sides->setChildrenCollapsible(false);
  for (int i = 0; i < 2; ++i) {
    auto* pane = new QWidget(sides);
    auto* label = new QLabel(pane);
    label->setTextFormat(Qt::PlainText);
    auto* view = new QsciScintilla(pane);
    view->setObjectName(i == 0 ? QStringLiteral("compareLeft") : QStringLiteral("compareRight"));
    SetUpView(view);
    auto* layout = new QVBoxLayout(pane);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(label);
    layout->addWidget(view, 1);
    (i == 0 ? left_label_ : right_label_) = label;
    (i == 0 ? left_view_ : right_view_) = view;
  }
  busy_page_ = new QWidget(pages_);
  busy_text_ = new QLabel(busy_page_);
  busy_text_->setObjectName(QStringLiteral("compareProgress"));
  busy_text_->setTextFormat(Qt::PlainText);
  busy_text_->setAlignment(Qt::AlignCenter);
  auto* bar = new QProgressBar(busy_page_);
  bar->setRange(0, 0);  // moves while the job runs; its length is not known
  bar->setTextVisible(false);
  auto* busy_layout = new QVBoxLayout(busy_page_);
  busy_layout->addStretch(1);
  busy_layout->addWidget(busy_text_);
  busy_layout->addWidget(bar);
  busy_layout->addStretch(2);
  pages_->addWidget(sides);
  pages_->addWidget(notice_);
  pages_->addWidget(busy_page_);
  poll_.setInterval(50);
  connect(&poll_, &QTimer::timeout, this, &CompareWindow::Poll);
  // Each view follows the other, line for line and sideways.
  connect(left_view_, &QsciScintillaBase::SCN_UPDATEUI, this,
          [this] { FollowScroll(left_view_, right_view_); });
  connect(right_view_, &QsciScintillaBase::SCN_UPDATEUI, this,
          [this] { FollowScroll(right_view_, left_view_); });
  for (QsciScintilla* view : {left_view_, right_view_}) {
    QsciScintilla* other = view == left_view_ ? right_view_ : left_view_;
    for (QScrollBar* bar : {view->verticalScrollBar(), view->horizontalScrollBar()}) {
      connect(bar, &QScrollBar::valueChanged, this, [this, view, other] { FollowScroll(view, other); });
    }
  }

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->addLayout(top);
  layout->addWidget(pages_, 1);
  resize(1000, 650);
}

void CompareWindow::FollowScroll(QsciScintilla* from, QsciScintilla* to) {
  if (following_) return;
  following_ = true;
  const long first = from->SendScintilla(QsciScintillaBase::SCI_GETFIRSTVISIBLELINE);
  if (to->SendScintilla(QsciScintillaBase::SCI_GETFIRSTVISIBLELINE) != first) {
    to->SendScintilla(QsciScintillaBase::SCI_SETFIRSTVISIBLELINE, first);
  }
  const long offset = from->SendScintilla(QsciScintillaBase::SCI_GETXOFFSET);
  if (to->SendScintilla(QsciScintillaBase::SCI_GETXOFFSET) != offset) {
    to->SendScintilla(QsciScintillaBase::SCI_SETXOFFSET, offset);
  }
  following_ = false;
}

CompareWindow::~CompareWindow() = default;

QString CompareWindow::summary() const { return summary_->text(); }

void CompareWindow::ShowNoticeOnly(const QString& text) {
  left_ = AlignedSide();
  right_ = AlignedSide();
  hunks_.clear();
  notice_->setText(text);
  pages_->setCurrentWidget(notice_);
  previous_->setEnabled(false);
  next_->setEnabled(false);
}

void CompareWindow::ShowSides() {
  FillView(left_view_, left_);
  FillView(right_view_, right_);
  pages_->setCurrentIndex(0);
  previous_->setEnabled(!hunks_.empty());
  next_->setEnabled(!hunks_.empty());
}

void CompareWindow::RetranslateButtons() {
  previous_->setText(tr("上一处(&P)"));
  next_->setText(tr("下一处(&N)"));
}

void CompareWindow::changeEvent(QEvent* event) {
  // What the comparison says is set again by whoever asked for it.
  if (event->type() == QEvent::LanguageChange) RetranslateButtons();
  QDialog::changeEvent(event);
}

void CompareWindow::Start(const QString& path, const QString& before_label,
                          const QString& after_label, std::unique_ptr<CompareJob> job) {
  job_.reset();  // cancels the one running
  path_ = path;
  before_label_ = before_label;
  after_label_ = after_label;
  setWindowTitle(tr("比较 %1").arg(VisibleText(path)));
  left_label_->setText(before_label);
  right_label_->setText(after_label);
  left_ = AlignedSide();
  right_ = AlignedSide();
  hunks_.clear();
  previous_->setEnabled(false);
  next_->setEnabled(false);
  summary_->setText(tr("正在读取……"));
  busy_text_->setText(summary_->text());
  pages_->setCurrentWidget(busy_page_);
  job_ = std::move(job);
  poll_.start();
  Poll();
}

void CompareWindow::StopReading() {
  if (!job_) return;
  job_.reset();
  poll_.stop();
  summary_->setText(tr("比较已取消"));
  ShowNoticeOnly(summary_->text());
}

void CompareWindow::done(int result) {
  // Closing the window ends the reading at once.
  job_.reset();
  poll_.stop();
  QDialog::done(result);
}

void CompareWindow::Poll() {
  if (!job_) {
    poll_.stop();
    return;
  }
  if (!job_->finished()) {
    busy_text_->setText(tr("正在读取 %1……已读取 %2")
                            .arg(VisibleText(path_), LongSizeText(job_->bytes_read())));
    return;
  }
  poll_.stop();
  const std::unique_ptr<CompareJob> job = std::move(job_);
  Show(job->outcome());
}

void CompareWindow::Show(CompareOutcome& outcome) {
  const VersionContent& before = outcome.before;
  const VersionContent& after = outcome.after;
  const QString absent = tr("（无此文件）");
  left_label_->setText(before.exists ? before_label_ : before_label_ + absent);
  right_label_->setText(after.exists ? after_label_ : after_label_ + absent);
  const struct {
    const QString& label;
    const VersionContent& content;
  } sides[] = {{before_label_, before}, {after_label_, after}};

  if (!outcome.error.isEmpty()) {
    summary_->setText(outcome.error);
    ShowNoticeOnly(outcome.error);
    return;
  }
  if (!before.exists && !after.exists) {
    summary_->setText(tr("两个版本中都没有此文件"));
    ShowNoticeOnly(summary_->text());
    return;
  }
  for (const auto& side : sides) {
    if (side.content.code != 0) {
      summary_->setText(tr("无法读取%1: %2").arg(side.label, HistoryCodeText(side.content.code)));
      ShowNoticeOnly(summary_->text());
      return;
    }
  }
  if (!outcome.laid_out) {
    const bool binary = before.binary || after.binary;
    const bool same = before.exists && after.exists && before.sha256 == after.sha256 &&
                      before.size == after.size;
    summary_->setText(binary ? (same ? tr("二进制文件相同") : tr("二进制文件不同"))
                             : (same ? tr("内容相同") : tr("文件太大，无法并排显示")));
    QString text = summary_->text() + QLatin1Char('\n');
    for (const auto& side : sides) {
      text += QLatin1Char('\n') + side.label + QStringLiteral(": ");
      text += side.content.exists ? tr("%1 字节，SHA-256 %2")
                                        .arg(side.content.size)
                                        .arg(QString::fromLatin1(side.content.sha256))
                                  : tr("无此文件");
    }
    ShowNoticeOnly(text);
    return;
  }
  hunks_ = std::move(outcome.hunks);
  left_ = std::move(outcome.left);
  right_ = std::move(outcome.right);
  shown_ = -1;
  summary_->setText(hunks_.empty() ? tr("内容相同") : tr("%1 处不同").arg(hunks_.size()));
  ShowSides();
  if (!hunks_.empty()) GoToChange(true);
}

int CompareWindow::GoToChange(bool forward) {
  const int count = static_cast<int>(left_.marks.size());
  if (count == 0) return -1;
  const int top = static_cast<int>(left_view_->SendScintilla(QsciScintillaBase::SCI_GETFIRSTVISIBLELINE));
  auto starts_change = [&](int line) {
    return left_.marks[line] != LineMark::kSame &&
           (line == 0 || left_.marks[line - 1] == LineMark::kSame);
  };
  // From the change gone to last while it is in view, else from the top
  // line shown.
  const int from = shown_ >= top && shown_ <= top + 2 && shown_ < count ? shown_ : -1;
  int found = -1;
  if (forward) {
    for (int line = from >= 0 ? from + 1 : top == 0 ? 0 : top + 2; line < count && found < 0;
         ++line) {
      if (starts_change(line)) found = line;
    }
  } else {
    for (int line = (from >= 0 ? from : std::min(top + 2, count)) - 1; line >= 0 && found < 0;
         --line) {
      if (starts_change(line)) found = line;
    }
  }
  if (found < 0) return -1;
  // Two lines above the change show where it stands.
  left_view_->SendScintilla(QsciScintillaBase::SCI_SETFIRSTVISIBLELINE, std::max(found - 2, 0));
  FollowScroll(left_view_, right_view_);
  shown_ = found;
  return found;
}

}  // namespace zoqe
