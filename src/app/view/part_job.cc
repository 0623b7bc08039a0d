#include "app/view/part_job.h"

#include <QFile>
#include <QUtf8StringView>

#include <algorithm>
#include <memory>

#include "app/view/image_loader.h"
#include "app/view/text_format.h"
#include "app/view/view_mode.h"
#include "app/view/xml_layout.h"

namespace zoqe {

namespace {

constexpr int64_t kPieceSize = 1 << 20;

// Copies the part into `file`, keeping up to `keep_limit` bytes in `kept`
// (beyond that *too_big is set and nothing is kept). Returns the code of
// the first failure; stored data failing its check byte sets *damaged once
// every byte is copied.
int CopyPart(zoq::Stream* content, QFile* file, int64_t keep_limit, QByteArray* kept,
             bool* too_big, int64_t* size, const std::atomic<bool>& cancel, bool* cancelled,
             bool* damaged) {
  auto piece = std::make_unique<char[]>(kPieceSize);
  for (;;) {
    if (cancel.load(std::memory_order_relaxed)) {
      *cancelled = true;
      return 0;
    }
    int64_t done = 0;
    const int read = content->Read(piece.get(), kPieceSize, &done);
    if (read == zoq::kChecksumFailed && done <= 0) {
      *damaged = true;  // the end of the content, every byte delivered
      return 0;
    }
    if (read != 0) return read;  // a decoding failure: the part is not whole
    if (done <= 0) return 0;
    if (file->write(piece.get(), done) != done) return zoq::kTargetFileFailed;
    *size += done;
    if (!*too_big) {
      if (*size > keep_limit) {
        *too_big = true;
        *kept = QByteArray();
      } else {
        kept->append(piece.get(), done);
      }
    }
  }
}

}  // namespace

PreparedPart PreparePart(zoq::Container* package, const PartRequest& request,
                         const TempTarget& temp, const std::atomic<bool>& cancel) {
  PreparedPart out;
  zoq::KeyInfo key;
  key.key = reinterpret_cast<const uint8_t*>(request.key.constData());
  key.key_length = static_cast<int>(request.key.size());
  zoq::DecodeOptions options;
  options.code = request.stored ? 0 : zoq::kEcsEnd;
  options.key = request.has_key ? &key : nullptr;
  options.check_stored = true;

  zoq::Stream* opened = nullptr;
  out.code = package->OpenPart(request.path.toStdU16String(), &opened, request.version, &options, false);
  std::unique_ptr<zoq::Stream> content(opened);
  if (out.code == 0 && !content) out.code = zoq::kFailed;
  const bool text_mode = request.mode != kViewImage && request.mode != kViewDefaultProgram;
  QByteArray bytes;
  if (out.code == 0) {
    QFile file(temp.target);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
      out.code = zoq::kTargetFileFailed;
    } else {
      const int64_t limit = !text_mode ? -1 : request.mode == kViewHex ? kMaxHexViewBytes
                                                                        : kMaxTextViewBytes;
      bool too_big = limit < 0;
      out.code = CopyPart(content.get(), &file, limit, &bytes, &too_big, &out.size, cancel,
                          &out.cancelled, &out.damaged);
      out.too_big = text_mode && too_big;
      file.close();
      if (out.code == 0 && file.error() != QFileDevice::NoError) out.code = zoq::kTargetFileFailed;
    }
  }
  content.reset();
  if (out.code != 0 || out.cancelled) {
    // Nothing half-decoded is left behind.
    QFile::remove(temp.target);
    return out;
  }

  if (!text_mode) {
    out.target_kept = true;
    if (request.mode == kViewImage) out.image = LoadImageFile(temp.target, &out.image_problem);
    return out;
  }
  if (out.too_big) {
    out.target_kept = true;
    return out;
  }
  out.text_loaded = true;
  if (request.mode == kViewHex) {
    out.shown = ShownText{HexDump(bytes), {}, {}};
  } else {
    LoadedText text = TextFromFileBytes(bytes);
    bytes = QByteArray();
    out.was_utf16 = text.was_utf16;
    out.exact = text.exact;
    out.valid_utf8 = text.was_utf16 || QUtf8StringView(text.utf8.constData(), text.utf8.size()).isValidUtf8();
    if (request.mode == kViewXml) {
      const bool keep = request.editable && text.exact;
      int64_t unclosed = -1;
      out.shown = LayoutXml(text.utf8, keep, &unclosed);
      if (keep && out.shown) out.source = text.utf8;
      if (unclosed >= 0) {
        out.unclosed_comment_line =
            1 + std::count(text.utf8.constData(), text.utf8.constData() + unclosed, '\n');
      }
    } else {
      out.shown = ShowAsIs(text.utf8, false);
    }
  }
  if (out.shown) {
    QFile::remove(temp.target);
  } else {
    out.target_kept = true;  // not shown: it goes with the other files at close
  }
  return out;
}

}  // namespace zoqe
