#include "image_files.h"

#include <QBuffer>
#include <QImage>
#include <QTemporaryDir>
#include <QFile>

#include <openjpeg.h>

namespace zoqe_test {

namespace {

void Put16(QByteArray* out, int v) {
  out->append(static_cast<char>((v >> 8) & 0xFF));
  out->append(static_cast<char>(v & 0xFF));
}

void Put32(QByteArray* out, quint32 v) {
  Put16(out, static_cast<int>(v >> 16));
  Put16(out, static_cast<int>(v & 0xFFFF));
}

}  // namespace

QByteArray PngBytes(int width, int height, const QColor& colour) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(colour);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return bytes;
}

QByteArray PsdBytes(int width, int height, int mode, int channels, bool rle,
                    const QByteArray& samples) {
  QByteArray out("8BPS");
  Put16(&out, 1);
  out.append(6, '\0');
  Put16(&out, channels);
  Put32(&out, static_cast<quint32>(height));
  Put32(&out, static_cast<quint32>(width));
  Put16(&out, 8);
  Put16(&out, mode);
  Put32(&out, 0);  // colour mode data
  Put32(&out, 4);  // image resources
  out.append("XXXX");
  Put32(&out, 0);  // layers
  Put16(&out, rle ? 1 : 0);
  if (!rle) {
    for (int c = 0; c < channels; ++c) out.append(width * height, samples[c]);
    return out;
  }
  // One run per row: "repeat the next byte width times", in pieces of at
  // most 128.
  QByteArray row_data[8];
  for (int c = 0; c < channels; ++c) {
    int left = width;
    while (left > 0) {
      const int n = std::min(left, 128);
      row_data[c].append(static_cast<char>(1 - n));
      row_data[c].append(samples[c]);
      left -= n;
    }
  }
  for (int c = 0; c < channels; ++c) {
    for (int y = 0; y < height; ++y) Put16(&out, static_cast<int>(row_data[c].size()));
  }
  for (int c = 0; c < channels; ++c) {
    for (int y = 0; y < height; ++y) out.append(row_data[c]);
  }
  return out;
}

QByteArray Jp2Bytes(int width, int height, const QColor& colour) {
  opj_image_cmptparm_t parms[3] = {};
  for (auto& p : parms) {
    p.dx = p.dy = 1;
    p.w = static_cast<OPJ_UINT32>(width);
    p.h = static_cast<OPJ_UINT32>(height);
    p.prec = 8;
    p.sgnd = 0;
  }
  opj_image_t* image = opj_image_create(3, parms, OPJ_CLRSPC_SRGB);
  if (!image) return {};
  image->x1 = static_cast<OPJ_UINT32>(width);
  image->y1 = static_cast<OPJ_UINT32>(height);
  const int values[3] = {colour.red(), colour.green(), colour.blue()};
  for (int c = 0; c < 3; ++c) {
    for (int i = 0; i < width * height; ++i) image->comps[c].data[i] = values[c];
  }
  opj_cparameters_t params;
  opj_set_default_encoder_parameters(&params);
  params.tcp_numlayers = 1;
  params.tcp_rates[0] = 0;  // lossless
  params.cp_disto_alloc = 1;
  params.numresolution = 3;
  QTemporaryDir dir;
  const QByteArray path = QFile::encodeName(dir.filePath(QStringLiteral("x.jp2")));
  opj_codec_t* codec = opj_create_compress(OPJ_CODEC_JP2);
  QByteArray result;
  if (codec && opj_setup_encoder(codec, &params, image)) {
    opj_stream_t* stream = opj_stream_create_default_file_stream(path.constData(), OPJ_FALSE);
    if (stream && opj_start_compress(codec, image, stream) && opj_encode(codec, stream) &&
        opj_end_compress(codec, stream)) {
      opj_stream_destroy(stream);
      stream = nullptr;
      QFile file(QString::fromLocal8Bit(path));
      if (file.open(QIODevice::ReadOnly)) result = file.readAll();
    }
    if (stream) opj_stream_destroy(stream);
  }
  if (codec) opj_destroy_codec(codec);
  opj_image_destroy(image);
  return result;
}

}  // namespace zoqe_test
