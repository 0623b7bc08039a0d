// The slow half of showing a part, run off the UI thread: reading the
// decoded part into its temporary file in the work folder, and turning it
// into what the view shows (laid-out XML, text, hex dump or image).
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

#include <atomic>
#include <cstdint>
#include <optional>

#include "app/view/shown_text.h"
#include "app/view/temp_target.h"
#include "zoq/container.h"

namespace zoqe {

// More decoded bytes than these are not shown in the text view (the part
// can still go to the default program or be exported).
constexpr int64_t kMaxTextViewBytes = int64_t{128} << 20;
constexpr int64_t kMaxHexViewBytes = int64_t{32} << 20;

struct PartRequest {
  QString path;
  int version = 0;
  int mode = 0;            // a ViewMode other than 0
  bool editable = false;   // XML opened for editing
  bool stored = false;     // the stored bytes, not decoded (hex dump only)
  bool force_text = false; // shown as text even when it does not read as text
  QByteArray key;          // the key bytes, when one was entered
  bool has_key = false;
};

struct PreparedPart {
  int code = 0;               // of the extraction; 0 when the part was read
  bool cancelled = false;
  int64_t size = 0;           // decoded bytes
  bool damaged = false;       // the stored data fails its check byte (shown as read)
  bool too_big = false;       // more than the text view takes
  bool target_kept = false;   // the target file stays (images, default program, failures)
  // Text modes.
  bool text_loaded = false;   // the target could be read back
  bool was_utf16 = false;
  bool exact = true;          // the shown text converts back to the part's bytes
  bool valid_utf8 = true;
  QByteArray source;          // the text the layout was made from (editable XML)
  std::optional<ShownText> shown;
  int64_t unclosed_comment_line = 0;  // where a comment without end starts (from 1)
  // Images.
  QImage image;
  QString image_problem;
};

// Reads the part into temp.target and prepares it for the request's mode.
// Stops early (cancelled) once `cancel` is set. Any thread; `package` must
// stay open until it returns.
PreparedPart PreparePart(zoq::Container* package, const PartRequest& request,
                         const TempTarget& temp, const std::atomic<bool>& cancel);

}  // namespace zoqe
