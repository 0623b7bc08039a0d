#include "app/info_panel.h"

#include <QFontMetrics>
#include <QIcon>
#include <QLabel>

#include <algorithm>

#include "app/app_text.h"

namespace zoqe {

namespace {
constexpr int kIconX = 6;
constexpr int kIconSize = 32;
constexpr int kFirstColumnX = kIconX + kIconSize + 10;
constexpr int kColumnGap = 3;
constexpr int kTopMargin = 4;
constexpr int kRowGap = 4;
}  // namespace

InfoPanel::InfoPanel(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("infoPanel"));
  icon_ = new QLabel(this);
  icon_->setObjectName(QStringLiteral("infoIcon"));
  icon_->setGeometry(kIconX, kTopMargin + 2, kIconSize, kIconSize);
  QPalette grey = palette();
  grey.setColor(QPalette::WindowText, QColor(90, 90, 90));
  for (int i = 0; i < kMaxPairs; ++i) {
    labels_[i] = new QLabel(this);
    labels_[i]->setPalette(grey);
    labels_[i]->setObjectName(QStringLiteral("infoLabel%1").arg(i));
    labels_[i]->setTextFormat(Qt::PlainText);
    values_[i] = new QLabel(this);
    // Values are names and facts from the package: shown as they are, a
    // name such as "<b>x</b>" included.
    values_[i]->setTextFormat(Qt::PlainText);
    values_[i]->setObjectName(QStringLiteral("infoValue%1").arg(i));
    values_[i]->setTextInteractionFlags(Qt::TextSelectableByMouse);
  }
  setMinimumHeight(sizeHint().height());
  Reset();
}

QSize InfoPanel::sizeHint() const {
  return QSize(400, std::max(kIconSize + 2 * kTopMargin + 4, RowY(2) + kTopMargin));
}

int InfoPanel::RowY(int row) const {
  return kTopMargin + row * (fontMetrics().height() + kRowGap);
}

void InfoPanel::AddPair(const QString& value, const QString& label) {
  if (count_ >= kMaxPairs) return;
  labels_[count_]->setText(InfoLabelText(label));
  values_[count_]->setText(InfoValueText(value));
  ++count_;
  Relayout();
}

void InfoPanel::SetPair(const QString& value, const QString& label) {
  const QString shown = InfoLabelText(label);
  for (int i = 0; i < count_; ++i) {
    if (labels_[i]->text() == shown) {
      values_[i]->setText(InfoValueText(value));
      Relayout();
      return;
    }
  }
  AddPair(value, label);
}

void InfoPanel::Reset() {
  count_ = 0;
  const int height = fontMetrics().height();
  for (int i = 0; i < kMaxPairs; ++i) {
    labels_[i]->clear();
    values_[i]->clear();
    labels_[i]->setGeometry(kFirstColumnX, RowY(i % 2), 1, height);
    values_[i]->setGeometry(kFirstColumnX, RowY(i % 2), 1, height);
  }
  icon_->clear();
}

void InfoPanel::SetIcon(const QIcon& icon) {
  icon_->setPixmap(icon.pixmap(kIconSize, kIconSize));
}

bool InfoPanel::has_icon() const { return !icon_->pixmap().isNull(); }

QString InfoPanel::LabelText(int i) const { return labels_[i]->text(); }
QString InfoPanel::ValueText(int i) const { return values_[i]->text(); }

QString InfoPanel::ValueOf(const QString& label) const {
  const QString wanted = InfoLabelText(label);
  for (int i = 0; i < count_; ++i) {
    if (labels_[i]->text() == wanted) return values_[i]->text();
  }
  return QString();
}

void InfoPanel::Relayout() {
  // Pair 2k is the upper and 2k+1 the lower row of column k; both labels of
  // a column are as wide as the wider label, both values as the wider value.
  const QFontMetrics metrics = fontMetrics();
  const int height = metrics.height();
  int x = kFirstColumnX;
  for (int first = 0; first < count_; first += 2) {
    int label_width = 1, value_width = 1;
    for (int i = first; i < std::min(first + 2, count_); ++i) {
      label_width = std::max(label_width, metrics.horizontalAdvance(labels_[i]->text()));
      value_width = std::max(value_width, metrics.horizontalAdvance(values_[i]->text()));
    }
    for (int i = first; i < std::min(first + 2, count_); ++i) {
      labels_[i]->setGeometry(x, RowY(i % 2), label_width, height);
      values_[i]->setGeometry(x + label_width, RowY(i % 2), value_width, height);
    }
    x += label_width + value_width + kColumnGap;
  }
}

}  // namespace zoqe
