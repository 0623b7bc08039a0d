#include "app/view/image_loader.h"

#include <QCoreApplication>
#include <QFile>
#include <QImageReader>

namespace zoqe {

namespace {

// The context of this file's texts in the translations.
struct Text {
  Q_DECLARE_TR_FUNCTIONS(ImageLoader)
};

}  // namespace

QImage LoadImageFile(const QString& path, QString* problem) {
  QString ignored;
  if (!problem) problem = &ignored;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    *problem = Text::tr("无法读取解出的图片文件");
    return {};
  }
  const QByteArray head = file.peek(12);
  if (head.startsWith("8BPS")) {
    if (file.size() > (qint64{1} << 31)) {
      *problem = Text::tr("图片文件过大");
      return {};
    }
    return LoadPsd(file.readAll(), problem);
  }
  file.close();
  QImage image = LoadJpeg2000(path);
  if (!image.isNull()) return image;
  QImageReader reader(path);
  reader.setAutoTransform(false);
  if (reader.size().isValid() &&
      static_cast<qint64>(reader.size().width()) * reader.size().height() > kMaxImagePixels) {
    *problem = Text::tr("图片尺寸过大(%1 × %2)").arg(reader.size().width()).arg(reader.size().height());
    return {};
  }
  image = reader.read();
  if (image.isNull()) *problem = Text::tr("图片格式无法识别，或图片数据不完整、已损坏");
  return image;
}

}  // namespace zoqe
