// Reads an image file into a QImage: every format of Qt's image plugins,
// JPEG 2000 through OpenJPEG and the composite image of a Photoshop file.
#pragma once

#include <QImage>
#include <QString>

namespace zoqe {

// Images with more pixels than this are refused (hostile sizes).
constexpr qint64 kMaxImagePixels = qint64{1} << 28;

// A null image when the file cannot be read as an image; *problem then
// says why, in a phrase for the user.
QImage LoadImageFile(const QString& path, QString* problem = nullptr);

// The two decoders of our own, also used directly by tests.
QImage LoadJpeg2000(const QString& path);
QImage LoadPsd(const QByteArray& bytes, QString* problem = nullptr);

}  // namespace zoqe
