// The text the text view shows for a part, built from the part's bytes with
// a record of every place where what is shown differs from the bytes: line
// breaks and indentation added for the layout, white space left out or
// written as a space, and breaks that cut over-long lines into pieces the
// view can draw quickly. The record is what lets an edit of the shown text
// be written back onto the part's own bytes (see xml_write_back.h).
#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <cstdint>
#include <vector>

namespace zoqe {

// Lines longer than this many bytes are shown in pieces of at most this
// length, each piece after the first on a line of its own.
constexpr int64_t kMaxShownLine = 2000;

// One place where the shown text differs from the source: the shown bytes
// [shown, shown + shown_length) stand where the source had the bytes
// [source, source + source_length). Either length may be 0, not both.
// Between two junctions (and before the first, after the last) shown text
// and source are equal byte for byte.
struct Junction {
  int64_t shown = 0;
  int64_t source = 0;
  int32_t shown_length = 0;
  int32_t source_length = 0;
};

struct ShownText {
  QByteArray text;                 // UTF-8 (or the source's own bytes), no NUL
  std::vector<Junction> junctions;  // in order
  std::vector<int64_t> piece_starts;  // where a cut long line goes on
};

// Builds a ShownText over one source. Copy() takes source bytes as they
// are (cutting lines longer than kMaxShownLine), Insert() adds bytes of the
// layout, and source bytes that are neither copied nor passed over by a
// later Copy() are left out.
class ShownTextBuilder {
 public:
  // `keep_junctions` false skips the record (for views that are never
  // written back); the cut points are always kept.
  ShownTextBuilder(QByteArrayView source, bool keep_junctions);

  // Shows source bytes [from, to); from must not be before the end of the
  // last copy.
  void Copy(int64_t from, int64_t to);
  void Insert(QByteArrayView bytes);
  // A line feed and `spaces` spaces.
  void InsertBreak(int spaces);
  // Ends the text: source bytes after the last copy are left out.
  ShownText Finish();

  int64_t shown_size() const { return out_.text.size(); }

 private:
  void AppendSource(int64_t from, int64_t to);
  void FlushJunction(int64_t next_source);

  QByteArrayView source_;
  bool keep_junctions_;
  ShownText out_;
  int64_t copied_ = 0;           // source bytes before this are shown or left out
  int64_t inserted_from_ = -1;   // start of inserted bytes not yet in a junction
  int64_t line_length_ = 0;      // bytes since the last line end
};

// The source as it is, long lines cut.
ShownText ShowAsIs(QByteArrayView source, bool keep_junctions);

}  // namespace zoqe
