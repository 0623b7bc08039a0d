// Storing an edited part back into the package. The text view shows the
// part laid out (shown_text.h); what is stored is the part's own text with
// the user's edits applied: every byte the user did not touch stays as it
// was, including white space the layout left out or added.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstdint>
#include <utility>
#include <vector>

#include "app/view/edit_tracker.h"
#include "app/view/shown_text.h"
#include "zoq/container.h"

namespace zoqe {

// Where the bytes of a written-back text came from in the edited text.
class EditedPositions {
 public:
  void Add(int64_t offset, int64_t edited) { anchors_.emplace_back(offset, edited); }
  // The position in the edited text of the written-back byte at `offset`.
  int64_t EditedPosition(int64_t offset) const;

 private:
  std::vector<std::pair<int64_t, int64_t>> anchors_;  // ascending offsets
};

// The source with the edits that turned `shown.text` into `edited` applied.
// `spans` are the untouched stretches (EditTracker); stretches that read as
// they were filled count as untouched too, so an edit that was undone
// changes nothing. Layout white space inside an edited stretch goes with
// the edit; where the user typed into laid-out white space, the source's
// own white space is kept and the typed text follows it.
QByteArray ApplyShownEdits(QByteArrayView source, const ShownText& shown, QByteArrayView edited,
                           const std::vector<EditTracker::Span>& spans,
                           EditedPositions* positions = nullptr);

// 0, or the code of the failure (the package is left as it was).
int StorePartContent(zoq::Container* package, const QString& part_path,
                     const QByteArray& content, const zoq::KeyInfo* key);

// The bytes to store for edited text: UTF-16 little-endian after the mark
// FF FE when the part was loaded that way, else the UTF-8 as it is.
QByteArray EditedTextBytes(const QByteArray& utf8, bool was_utf16);

}  // namespace zoqe
