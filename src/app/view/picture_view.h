// The picture control: one image, drawn centred and shrunk to fit (never
// enlarged), framed by a bump edge 4 pixels outside it where there is room.
#pragma once

#include <QImage>
#include <QWidget>

namespace zoqe {

class CPictureCtrl : public QWidget {
  Q_OBJECT

 public:
  explicit CPictureCtrl(QWidget* parent = nullptr);

  // Releases the previous image and loads the file; false when it is not
  // an image that can be read.
  bool LoadFile(const QString& path);
  // Shows an image decoded elsewhere.
  void SetImage(QImage image);
  void Release();
  const QImage& image() const { return image_; }
  // Where the image is drawn in the current size (empty without one).
  QRect ImageRect() const;
  // The rectangle the bump edge is drawn on.
  QRect EdgeRect() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QImage image_;
};

}  // namespace zoqe
