// JPEG 2000 (JP2 file or raw codestream) through OpenJPEG: one or two
// components give gray (with alpha), three or four give RGB (with alpha).
// Samples of more than eight bits are shifted down to eight.
#include <QFile>
#include <QImage>

#include <openjpeg.h>

#include <memory>

#include "app/view/image_loader.h"

namespace zoqe {

namespace {

void Quiet(const char*, void*) {}

struct CodecDeleter {
  void operator()(opj_codec_t* c) const { opj_destroy_codec(c); }
};
struct StreamDeleter {
  void operator()(opj_stream_t* s) const { opj_stream_destroy(s); }
};
struct ImageDeleter {
  void operator()(opj_image_t* i) const { opj_image_destroy(i); }
};

// A component's sample at image pixel (x, y) scaled to 0..255.
int Sample(const opj_image_comp_t& c, OPJ_UINT32 x, OPJ_UINT32 y) {
  const OPJ_UINT32 cx = std::min(x / c.dx, c.w - 1);
  const OPJ_UINT32 cy = std::min(y / c.dy, c.h - 1);
  int v = c.data[static_cast<size_t>(cy) * c.w + cx];
  if (c.sgnd) v += 1 << (c.prec - 1);
  if (c.prec > 8) v >>= (c.prec - 8);
  if (c.prec < 8) v <<= (8 - c.prec);
  return std::clamp(v, 0, 255);
}

OPJ_CODEC_FORMAT FormatOf(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return OPJ_CODEC_UNKNOWN;
  const QByteArray head = file.read(12);
  static const char kJp2[] = "\x00\x00\x00\x0cjP  \r\n\x87\n";
  if (head == QByteArray(kJp2, 12)) return OPJ_CODEC_JP2;
  if (head.startsWith(QByteArray("\xff\x4f\xff\x51", 4))) return OPJ_CODEC_J2K;
  return OPJ_CODEC_UNKNOWN;
}

}  // namespace

QImage LoadJpeg2000(const QString& path) {
  const OPJ_CODEC_FORMAT format = FormatOf(path);
  if (format == OPJ_CODEC_UNKNOWN) return {};
  const QByteArray native = QFile::encodeName(path);
  std::unique_ptr<opj_stream_t, StreamDeleter> stream(
      opj_stream_create_default_file_stream(native.constData(), OPJ_TRUE));
  if (!stream) return {};
  std::unique_ptr<opj_codec_t, CodecDeleter> codec(opj_create_decompress(format));
  if (!codec) return {};
  opj_set_info_handler(codec.get(), Quiet, nullptr);
  opj_set_warning_handler(codec.get(), Quiet, nullptr);
  opj_set_error_handler(codec.get(), Quiet, nullptr);
  opj_dparameters_t parameters;
  opj_set_default_decoder_parameters(&parameters);
  if (!opj_setup_decoder(codec.get(), &parameters)) return {};
  opj_image_t* raw = nullptr;
  if (!opj_read_header(stream.get(), codec.get(), &raw)) return {};
  std::unique_ptr<opj_image_t, ImageDeleter> image(raw);
  const qint64 width = static_cast<qint64>(image->x1) - image->x0;
  const qint64 height = static_cast<qint64>(image->y1) - image->y0;
  if (width < 1 || height < 1 || width > 65535 || height > 65535 ||
      width * height > kMaxImagePixels || image->numcomps < 1) {
    return {};
  }
  if (!opj_decode(codec.get(), stream.get(), image.get()) ||
      !opj_end_decompress(codec.get(), stream.get())) {
    return {};
  }
  const OPJ_UINT32 comps = image->numcomps;
  for (OPJ_UINT32 i = 0; i < std::min<OPJ_UINT32>(comps, 4); ++i) {
    const opj_image_comp_t& c = image->comps[i];
    if (!c.data || c.w == 0 || c.h == 0 || c.dx == 0 || c.dy == 0 || c.prec < 1 || c.prec > 31) {
      return {};
    }
  }
  const bool color = comps >= 3;
  const bool alpha = comps == 2 || comps >= 4;
  QImage out(static_cast<int>(width), static_cast<int>(height),
             alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
  if (out.isNull()) return {};
  const opj_image_comp_t* c = image->comps;
  for (OPJ_UINT32 y = 0; y < height; ++y) {
    auto* line = reinterpret_cast<QRgb*>(out.scanLine(static_cast<int>(y)));
    for (OPJ_UINT32 x = 0; x < width; ++x) {
      const int r = Sample(c[0], x, y);
      const int g = color ? Sample(c[1], x, y) : r;
      const int b = color ? Sample(c[2], x, y) : r;
      const int a = alpha ? Sample(c[color ? 3 : 1], x, y) : 255;
      line[x] = qRgba(r, g, b, a);
    }
  }
  return out;
}

}  // namespace zoqe
