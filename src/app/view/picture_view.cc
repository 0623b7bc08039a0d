#include "app/view/picture_view.h"

#include <QPainter>
#include <QStyle>
#include <qdrawutil.h>

#include "app/view/image_loader.h"

namespace zoqe {

namespace {
constexpr int kEdgeGap = 4;
}

CPictureCtrl::CPictureCtrl(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("pictureView"));
  setAutoFillBackground(true);
}

bool CPictureCtrl::LoadFile(const QString& path) {
  Release();
  image_ = LoadImageFile(path);
  update();
  return !image_.isNull();
}

void CPictureCtrl::SetImage(QImage image) {
  image_ = std::move(image);
  update();
}

void CPictureCtrl::Release() {
  image_ = QImage();
  update();
}

QRect CPictureCtrl::ImageRect() const {
  if (image_.isNull()) return {};
  const int cw = width(), ch = height();
  int w = image_.width(), h = image_.height();
  if (w > cw || h > ch) {
    const double scale = std::min(static_cast<double>(cw) / w, static_cast<double>(ch) / h);
    w = std::max(1, static_cast<int>(w * scale));
    h = std::max(1, static_cast<int>(h * scale));
  }
  return QRect((cw - w) / 2, (ch - h) / 2, w, h);
}

QRect CPictureCtrl::EdgeRect() const {
  const QRect image = ImageRect();
  if (image.isEmpty()) return {};
  const int dx = image.left() > kEdgeGap ? kEdgeGap : 0;
  const int dy = image.top() > kEdgeGap ? kEdgeGap : 0;
  return image.adjusted(-dx, -dy, dx, dy);
}

void CPictureCtrl::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().color(QPalette::Window));
  if (image_.isNull()) return;
  const QRect target = ImageRect();
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(target, image_);
  // A bump: raised outer line, sunken inner line.
  const QRect edge = EdgeRect();
  qDrawShadeRect(&painter, edge, palette(), false, 1, 0);
  qDrawShadeRect(&painter, edge.adjusted(1, 1, -1, -1), palette(), true, 1, 0);
}

}  // namespace zoqe
