#include "app/view/shown_text.h"

#include <cstring>

namespace zoqe {

namespace {

bool IsContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// The first line end ("\n" or "\r") in [p, p + n), or null.
const char* FindLineEnd(const char* p, int64_t n) {
  const char* lf = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(n)));
  const int64_t before = lf ? lf - p : n;
  const char* cr = static_cast<const char*>(std::memchr(p, '\r', static_cast<size_t>(before)));
  return cr ? cr : lf;
}

}  // namespace

ShownTextBuilder::ShownTextBuilder(QByteArrayView source, bool keep_junctions)
    : source_(source), keep_junctions_(keep_junctions) {}

void ShownTextBuilder::FlushJunction(int64_t next_source) {
  if (inserted_from_ < 0 && next_source == copied_) return;
  if (keep_junctions_) {
    Junction j;
    j.shown = inserted_from_ >= 0 ? inserted_from_ : out_.text.size();
    j.shown_length = static_cast<int32_t>(out_.text.size() - j.shown);
    j.source = copied_;
    j.source_length = static_cast<int32_t>(next_source - copied_);
    out_.junctions.push_back(j);
  }
  inserted_from_ = -1;
}

void ShownTextBuilder::AppendSource(int64_t from, int64_t to) {
  if (to <= from) return;
  FlushJunction(from);
  out_.text.append(source_.data() + from, to - from);
  copied_ = to;
}

void ShownTextBuilder::Copy(int64_t from, int64_t to) {
  const char* data = source_.data();
  while (from < to) {
    const int64_t room = kMaxShownLine - line_length_;
    const int64_t limit = std::min(to, from + std::max<int64_t>(room, 0));
    if (const char* end = FindLineEnd(data + from, limit - from)) {
      const int64_t next = end - data + 1;
      AppendSource(from, next);
      line_length_ = 0;
      from = next;
      continue;
    }
    if (limit == to) {
      AppendSource(from, to);
      line_length_ += to - from;
      return;
    }
    // The line is too long: cut it before a character that starts there
    // (never inside a UTF-8 sequence, nor between "\r" and "\n").
    int64_t cut = limit;
    while (cut > from && IsContinuationByte(data[cut])) --cut;
    // A run of continuation bytes longer than a line is not text: cut it
    // anywhere.
    if (cut == from) cut = line_length_ > 0 ? from : limit;
    AppendSource(from, cut);
    from = cut;
    Insert("\n");
    out_.piece_starts.push_back(out_.text.size());
  }
}

void ShownTextBuilder::Insert(QByteArrayView bytes) {
  if (bytes.isEmpty()) return;
  if (inserted_from_ < 0) inserted_from_ = out_.text.size();
  out_.text.append(bytes.data(), bytes.size());
  const qsizetype end = bytes.lastIndexOf('\n');
  line_length_ = end < 0 ? line_length_ + bytes.size() : bytes.size() - end - 1;
}

void ShownTextBuilder::InsertBreak(int spaces) {
  if (inserted_from_ < 0) inserted_from_ = out_.text.size();
  out_.text.append('\n');
  if (spaces > 0) out_.text.append(spaces, ' ');
  line_length_ = spaces > 0 ? spaces : 0;
}

ShownText ShownTextBuilder::Finish() {
  FlushJunction(source_.size());
  copied_ = source_.size();
  return std::move(out_);
}

ShownText ShowAsIs(QByteArrayView source, bool keep_junctions) {
  ShownTextBuilder builder(source, keep_junctions);
  builder.Copy(0, source.size());
  return builder.Finish();
}

}  // namespace zoqe
