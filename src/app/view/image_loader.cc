#include "app/view/image_loader.h"

#include <QFile>
#include <QImageReader>

namespace zoqe {

QImage LoadImageFile(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  const QByteArray head = file.peek(12);
  if (head.startsWith("8BPS")) {
    if (file.size() > (qint64{1} << 31)) return {};
    return LoadPsd(file.readAll());
  }
  file.close();
  QImage image = LoadJpeg2000(path);
  if (!image.isNull()) return image;
  QImageReader reader(path);
  reader.setAutoTransform(false);
  if (reader.size().isValid() &&
      static_cast<qint64>(reader.size().width()) * reader.size().height() > kMaxImagePixels) {
    return {};
  }
  return reader.read();
}

}  // namespace zoqe
