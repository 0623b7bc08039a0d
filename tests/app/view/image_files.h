// Image files made by the tests: PNG through Qt, a Photoshop file and a
// JPEG 2000 file written with OpenJPEG.
#pragma once

#include <QByteArray>
#include <QColor>
#include <QString>

namespace zoqe_test {

QByteArray PngBytes(int width, int height, const QColor& colour);
// An 8-bit PSD of `channels` planes (1 gray, 3 RGB, 4 RGBA or CMYK with
// `mode` 4), raw or PackBits-coded; every pixel has the given sample values.
QByteArray PsdBytes(int width, int height, int mode, int channels, bool rle,
                    const QByteArray& samples);
// A JP2 file of an RGB image filled with one colour; empty on failure.
QByteArray Jp2Bytes(int width, int height, const QColor& colour);

}  // namespace zoqe_test
