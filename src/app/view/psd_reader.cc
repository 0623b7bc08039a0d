// The flattened composite image of a Photoshop (PSD, version 1) file:
// 8-bit grayscale, RGB (with alpha when a fourth channel is present) and
// CMYK (approximated without a colour profile), raw or PackBits-compressed.
// Everything else is refused with a null image.
#include <QByteArray>
#include <QCoreApplication>
#include <QImage>

#include <algorithm>
#include <string_view>
#include <vector>

#include "app/view/image_loader.h"

namespace zoqe {

namespace {

// The context of this file's texts in the translations.
struct Text {
  Q_DECLARE_TR_FUNCTIONS(ImageLoader)
};

constexpr int kModeGray = 1;
constexpr int kModeRgb = 3;
constexpr int kModeCmyk = 4;
constexpr int kMaxSide = 30000;

class Reader {
 public:
  explicit Reader(const QByteArray& bytes)
      : data_(reinterpret_cast<const unsigned char*>(bytes.constData())), size_(bytes.size()) {}
  bool Skip(qint64 n) {
    if (n < 0 || n > size_ - pos_) return false;
    pos_ += n;
    return true;
  }
  bool U16(quint32* v) { return Big(2, v); }
  bool U32(quint32* v) { return Big(4, v); }
  const unsigned char* Take(qint64 n) {
    if (n < 0 || n > size_ - pos_) return nullptr;
    const unsigned char* p = data_ + pos_;
    pos_ += n;
    return p;
  }

 private:
  bool Big(int n, quint32* v) {
    if (size_ - pos_ < n) return false;
    quint32 r = 0;
    for (int i = 0; i < n; ++i) r = (r << 8) | data_[pos_ + i];
    pos_ += n;
    *v = r;
    return true;
  }
  const unsigned char* data_;
  qint64 size_;
  qint64 pos_ = 0;
};

// Unpacks one PackBits row of exactly `width` bytes.
bool UnpackRow(const unsigned char* in, qint64 length, unsigned char* out, qint64 width) {
  qint64 i = 0, o = 0;
  while (o < width) {
    if (i >= length) return false;
    const int n = static_cast<signed char>(in[i++]);
    if (n >= 0) {
      const qint64 count = n + 1;
      if (count > length - i || count > width - o) return false;
      std::copy_n(in + i, count, out + o);
      i += count;
      o += count;
    } else if (n != -128) {
      const qint64 count = 1 - n;
      if (i >= length || count > width - o) return false;
      std::fill_n(out + o, count, in[i++]);
      o += count;
    }
  }
  return true;
}

}  // namespace

QImage LoadPsd(const QByteArray& bytes, QString* problem) {
  QString ignored;
  if (!problem) problem = &ignored;
  *problem = Text::tr("PSD图片数据不完整或已损坏");
  Reader r(bytes);
  const unsigned char* magic = r.Take(4);
  if (!magic || std::string_view(reinterpret_cast<const char*>(magic), 4) != "8BPS") return {};
  quint32 version, channels, height, width, depth, mode;
  if (!r.U16(&version) || version != 1 || !r.Skip(6) || !r.U16(&channels) || !r.U32(&height) ||
      !r.U32(&width) || !r.U16(&depth) || !r.U16(&mode)) {
    return {};
  }
  if (depth != 8) {
    *problem = Text::tr("不支持每通道%1位的PSD图片(只支持8位)").arg(depth);
    return {};
  }
  if (width > kMaxSide || height > kMaxSide ||
      static_cast<qint64>(width) * height > kMaxImagePixels) {
    *problem = Text::tr("图片尺寸过大(%1 × %2)").arg(width).arg(height);
    return {};
  }
  if (channels < 1 || channels > 56 || width < 1 || height < 1) return {};
  const quint32 needed = mode == kModeGray ? 1 : mode == kModeRgb ? 3 : mode == kModeCmyk ? 4 : 0;
  if (needed == 0) {
    *problem = Text::tr("不支持该颜色模式的PSD图片(只支持灰度、RGB和CMYK)");
    return {};
  }
  if (channels < needed) return {};
  // Colour mode data, image resources, layer and mask information.
  for (int section = 0; section < 3; ++section) {
    quint32 length;
    if (!r.U32(&length) || !r.Skip(length)) return {};
  }
  quint32 compression;
  if (!r.U16(&compression) || compression > 1) return {};

  const bool alpha = mode == kModeRgb && channels >= 4;
  const quint32 used = needed + (alpha ? 1 : 0);
  const qint64 plane = static_cast<qint64>(width) * height;
  std::vector<unsigned char> planes(static_cast<size_t>(plane) * used);
  if (compression == 0) {
    for (quint32 c = 0; c < used; ++c) {
      const unsigned char* p = r.Take(plane);
      if (!p) return {};
      std::copy_n(p, plane, planes.data() + c * plane);
    }
  } else {
    // Row byte counts of every channel come first, then the rows.
    const qint64 rows = static_cast<qint64>(height) * channels;
    std::vector<quint32> counts(static_cast<size_t>(rows));
    for (qint64 i = 0; i < rows; ++i) {
      if (!r.U16(&counts[static_cast<size_t>(i)])) return {};
    }
    for (quint32 c = 0; c < used; ++c) {
      for (quint32 y = 0; y < height; ++y) {
        const quint32 count = counts[static_cast<size_t>(c) * height + y];
        const unsigned char* p = r.Take(count);
        if (!p || !UnpackRow(p, count, planes.data() + c * plane + static_cast<qint64>(y) * width,
                             width)) {
          return {};
        }
      }
    }
  }

  QImage image(static_cast<int>(width), static_cast<int>(height),
               alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
  if (image.isNull()) {
    *problem = Text::tr("内存不足，无法显示该图片");
    return {};
  }
  problem->clear();
  const unsigned char* p0 = planes.data();
  for (quint32 y = 0; y < height; ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(static_cast<int>(y)));
    for (quint32 x = 0; x < width; ++x) {
      const qint64 i = static_cast<qint64>(y) * width + x;
      switch (mode) {
        case kModeGray:
          line[x] = qRgb(p0[i], p0[i], p0[i]);
          break;
        case kModeRgb:
          line[x] = qRgba(p0[i], p0[plane + i], p0[2 * plane + i], alpha ? p0[3 * plane + i] : 255);
          break;
        default: {
          // Stored inverted: 255 is no ink. Without a profile, multiply by
          // the black channel.
          const int k = p0[3 * plane + i];
          line[x] = qRgb(p0[i] * k / 255, p0[plane + i] * k / 255, p0[2 * plane + i] * k / 255);
          break;
        }
      }
    }
  }
  return image;
}

}  // namespace zoqe
