#include "app/view/xml_write_back.h"

#include <algorithm>
#include <cstring>

#include "app/part_codes.h"

namespace zoqe {

namespace {

// A stretch of the shown text [shown_from, shown_to) that the user replaced
// by [edited_from, edited_to) of the edited text (either may be empty).
struct Change {
  int64_t shown_from, shown_to;
  int64_t edited_from, edited_to;
  bool empty_before() const { return shown_from == shown_to; }
};

bool SameBytes(QByteArrayView a, int64_t at_a, QByteArrayView b, int64_t at_b, int64_t n) {
  return n == 0 || std::memcmp(a.data() + at_a, b.data() + at_b, static_cast<size_t>(n)) == 0;
}

// The untouched stretches, checked against the texts; null when they do
// not fit them (then everything counts as touched).
bool SpansFit(QByteArrayView shown, QByteArrayView edited, const std::vector<EditTracker::Span>& spans) {
  int64_t shown_end = 0, edited_end = 0;
  for (const EditTracker::Span& s : spans) {
    if (s.length <= 0 || s.shown < shown_end || s.now < edited_end ||
        s.shown + s.length > shown.size() || s.now + s.length > edited.size() ||
        !SameBytes(shown, s.shown, edited, s.now, s.length)) {
      return false;
    }
    shown_end = s.shown + s.length;
    edited_end = s.now + s.length;
  }
  return true;
}

// The changes between the untouched stretches, each narrowed to where the
// two texts differ.
std::vector<Change> FindChanges(QByteArrayView shown, QByteArrayView edited,
                                const std::vector<EditTracker::Span>& spans) {
  std::vector<EditTracker::Span> fitted;
  if (SpansFit(shown, edited, spans)) fitted = spans;
  fitted.push_back({shown.size(), edited.size(), 0});
  std::vector<Change> changes;
  int64_t shown_at = 0, edited_at = 0;
  for (const EditTracker::Span& s : fitted) {
    Change c{shown_at, s.shown, edited_at, s.now};
    while (c.shown_from < c.shown_to && c.edited_from < c.edited_to &&
           shown[c.shown_from] == edited[c.edited_from]) {
      ++c.shown_from, ++c.edited_from;
    }
    while (c.shown_to > c.shown_from && c.edited_to > c.edited_from &&
           shown[c.shown_to - 1] == edited[c.edited_to - 1]) {
      --c.shown_to, --c.edited_to;
    }
    if (c.shown_from < c.shown_to || c.edited_from < c.edited_to) changes.push_back(c);
    shown_at = s.shown + s.length;
    edited_at = s.now + s.length;
  }
  return changes;
}

class Composer {
 public:
  Composer(QByteArrayView source, QByteArrayView edited, const std::vector<Change>& changes,
           EditedPositions* positions)
      : source_(source), edited_(edited), changes_(changes), positions_(positions) {}

  // Emits the changes that come before a thing at `at` of rank `rank`:
  // an insertion (empty change) ranks before the layout's white space at
  // the same place, a replacement after it, source bytes after both.
  void ChangesBefore(int64_t at, int rank) {
    while (next_ < changes_.size()) {
      const Change& c = changes_[next_];
      const int change_rank = c.empty_before() ? 0 : 2;
      if (c.shown_from > at || (c.shown_from == at && change_rank >= rank)) break;
      Emit(edited_, c.edited_from, c.edited_to, c.edited_from);
      delta_ += (c.edited_to - c.edited_from) - (c.shown_to - c.shown_from);
      covered_to_ = std::max(covered_to_, c.shown_to);
      ++next_;
    }
  }

  // Source bytes shown unchanged at [from, to) of the shown text, starting
  // at `source_at`; the parts inside changes are left out.
  void Content(int64_t from, int64_t to, int64_t source_at) {
    int64_t x = from;
    while (x < to) {
      ChangesBefore(x, 3);
      if (covered_to_ > x) {
        x = std::min(covered_to_, to);
        continue;
      }
      const int64_t y = next_ < changes_.size() ? std::min(to, changes_[next_].shown_from) : to;
      Emit(source_, source_at + (x - from), source_at + (y - from), x + delta_);
      x = y;
    }
  }

  // A layout junction: its source white space is kept unless an edit took
  // the whole of what was shown in its place.
  void Layout(const Junction& j, QByteArrayView junction_source) {
    ChangesBefore(j.shown, 1);
    if (!Replaced(j)) Emit(junction_source, j.source, j.source + j.source_length, j.shown + delta_);
  }

  void Finish() { ChangesBefore(INT64_MAX, 0); }

  QByteArray take() { return std::move(out_); }

 private:
  bool Replaced(const Junction& j) const {
    // The change with the last start at or before the junction.
    auto it = std::upper_bound(changes_.begin(), changes_.end(), j.shown,
                               [](int64_t at, const Change& c) { return at < c.shown_from; });
    if (it == changes_.begin()) return false;
    const Change& c = *(it - 1);
    const int64_t end = j.shown + j.shown_length;
    if (j.shown_length == 0) return c.shown_from < j.shown && j.shown < c.shown_to;
    return c.shown_from < c.shown_to && c.shown_from <= j.shown && end <= c.shown_to;
  }

  void Emit(QByteArrayView from, int64_t begin, int64_t end, int64_t edited_position) {
    if (end <= begin) return;
    if (positions_) positions_->Add(out_.size(), edited_position);
    out_.append(from.data() + begin, end - begin);
  }

  QByteArrayView source_;
  QByteArrayView edited_;
  const std::vector<Change>& changes_;
  EditedPositions* positions_;
  QByteArray out_;
  size_t next_ = 0;
  int64_t covered_to_ = 0;  // shown text before this is inside emitted changes
  int64_t delta_ = 0;       // edited position minus shown position after them
};

}  // namespace

int64_t EditedPositions::EditedPosition(int64_t offset) const {
  auto it = std::upper_bound(anchors_.begin(), anchors_.end(), offset,
                             [](int64_t o, const std::pair<int64_t, int64_t>& a) { return o < a.first; });
  if (it == anchors_.begin()) return 0;
  --it;
  return it->second + (offset - it->first);
}

QByteArray ApplyShownEdits(QByteArrayView source, const ShownText& shown, QByteArrayView edited,
                           const std::vector<EditTracker::Span>& spans, EditedPositions* positions) {
  const std::vector<Change> changes = FindChanges(shown.text, edited, spans);
  if (changes.empty() && !positions) return source.toByteArray();
  Composer composer(source, edited, changes, positions);
  int64_t shown_at = 0, source_at = 0;
  for (const Junction& j : shown.junctions) {
    composer.Content(shown_at, j.shown, source_at);
    composer.Layout(j, source);
    shown_at = j.shown + j.shown_length;
    source_at = j.source + j.source_length;
  }
  composer.Content(shown_at, shown.text.size(), source_at);
  composer.Finish();
  return composer.take();
}

int StorePartContent(zoq::Container* package, const QString& part_path,
                     const QByteArray& content, const zoq::KeyInfo* key) {
  if (!package) return zoq::kSiteNoPackageOpen;
  const std::u16string path = part_path.toStdU16String();
  zoq::PartInfo info;
  int code = package->GetPartInfoByPath(&info, path, 0);
  if (code != 0) return code;
  std::vector<zoq::EcsCodeArg> codes;
  for (const int code : PartCodes(info)) {
    zoq::EcsCodeArg arg;
    arg.code = code;
    if (arg.code == zoq::kEcsAdm) {
      if (!key || key->key_length <= 0) return zoq::kSiteNoKey;
      arg.key = key;
    }
    codes.push_back(arg);
  }
  return package->ReplacePartFromMemory(path, content.constData(), content.size(),
                                        codes.empty() ? nullptr : codes.data(),
                                        static_cast<int>(codes.size()), info.skippable);
}

QByteArray EditedTextBytes(const QByteArray& utf8, bool was_utf16) {
  if (!was_utf16) return utf8;
  const QString text = QString::fromUtf8(utf8);
  QByteArray bytes("\xFF\xFE", 2);
  bytes.reserve(2 + text.size() * 2);
  for (QChar c : text) {
    bytes.append(static_cast<char>(c.unicode() & 0xFF));
    bytes.append(static_cast<char>(c.unicode() >> 8));
  }
  return bytes;
}

}  // namespace zoqe
