#include "app/view/xml_layout.h"

#include <algorithm>
#include <cstring>

namespace zoqe {

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

bool StartsWith(const char* in, int64_t n, int64_t at, const char* text) {
  const auto length = static_cast<int64_t>(std::strlen(text));
  return n - at >= length && std::memcmp(in + at, text, static_cast<size_t>(length)) == 0;
}

// Where `text` starts at or after `from`, or -1.
int64_t Find(QByteArrayView in, int64_t from, const char* text) {
  return in.indexOf(QByteArrayView(text), from);
}

// The end (after ">") of the declaration starting at `at` ("<!DOCTYPE ..."),
// passing over quoted values and the internal subset with its comments and
// processing instructions; the input's end when it does not close.
int64_t DeclarationEnd(QByteArrayView in, int64_t at) {
  const char* p = in.data();
  const int64_t n = in.size();
  bool subset = false;
  for (int64_t i = at + 2; i < n; ++i) {
    const char c = p[i];
    if (c == '"' || c == '\'') {
      const char* close = static_cast<const char*>(std::memchr(p + i + 1, c, static_cast<size_t>(n - i - 1)));
      if (!close) return n;
      i = close - p;
    } else if (subset && StartsWith(p, n, i, "<!--")) {
      const int64_t end = Find(in, i + 4, "-->");
      if (end < 0) return n;
      i = end + 2;
    } else if (subset && StartsWith(p, n, i, "<?")) {
      const int64_t end = Find(in, i + 2, "?>");
      if (end < 0) return n;
      i = end + 1;
    } else if (c == '[') {
      subset = true;
    } else if (c == ']') {
      subset = false;
    } else if (c == '>' && !subset) {
      return i + 1;
    }
  }
  return n;
}

class XmlLayout {
 public:
  XmlLayout(QByteArrayView xml, bool keep_junctions)
      : in_(xml), builder_(xml, keep_junctions), budget_(4 * xml.size() + (1 << 20)) {}

  std::optional<ShownText> Run(int64_t* unclosed_comment) {
    const char* p = in_.data();
    const int64_t n = in_.size();
    int64_t i = 0;
    while (i < n) {
      if (p[i] != '<') {
        // Text up to the next markup: its first to last non-white byte is
        // shown where it stands.
        const char* lt = static_cast<const char*>(std::memchr(p + i, '<', static_cast<size_t>(n - i)));
        const int64_t end = lt ? lt - p : n;
        int64_t first = i, last = end;
        while (first < end && IsSpace(p[first])) ++first;
        while (last > first && IsSpace(p[last - 1])) --last;
        if (first < last) AddText(first, last);
        i = end;
        continue;
      }
      if (StartsWith(p, n, i, "<![CDATA[")) {
        // A CDATA section is text, shown whole.
        const int64_t close = Find(in_, i + 9, "]]>");
        const int64_t end = close < 0 ? n : close + 3;
        AddText(i, end);
        i = end;
        continue;
      }
      FlushText();
      if (StartsWith(p, n, i, "<!--")) {
        const int64_t close = Find(in_, i + 4, "-->");
        if (close < 0) {
          if (unclosed_comment) *unclosed_comment = i;
          return std::nullopt;
        }
        closed_ = false;
        Break(depth_);
        builder_.Copy(i, close + 3);
        Break(depth_);
        i = close + 3;
        continue;
      }
      const bool declaration = StartsWith(p, n, i, "<!");
      const bool instruction = StartsWith(p, n, i, "<?");
      const bool end_tag = StartsWith(p, n, i, "</");
      // Declarations, instructions and end tags close; the layout starts a
      // line before a tag that opens, and before any tag after one that
      // closed. Only start and end tags change the depth.
      const bool closes = declaration || instruction || end_tag;
      const bool was_closed = closed_;
      closed_ = closes;
      if (was_closed || !closes) Break(end_tag ? depth_ - 1 : depth_);
      if (declaration || instruction) {
        int64_t end = n;
        if (declaration) {
          end = DeclarationEnd(in_, i);
        } else if (const int64_t close = Find(in_, i + 2, "?>"); close >= 0) {
          end = close + 2;
        }
        builder_.Copy(i, end);
        i = end;
        continue;
      }
      i = Tag(i, end_tag);
    }
    FlushText();
    return builder_.Finish();
  }

 private:
  // An element's start, end or empty tag from `at`; white space outside
  // quoted values is shown as one space per character. Returns where the
  // tag ends.
  int64_t Tag(int64_t at, bool end_tag) {
    const char* p = in_.data();
    const int64_t n = in_.size();
    int64_t run = at;
    char quote = 0;
    int64_t i = at + 1;
    for (; i < n; ++i) {
      const char c = p[i];
      if (quote) {
        if (c == quote) quote = 0;
      } else if (c == '"' || c == '\'') {
        quote = c;
      } else if (c == '>') {
        break;
      } else if (IsSpace(c) && c != ' ') {
        builder_.Copy(run, i);
        builder_.Insert(" ");
        run = i + 1;
      }
    }
    if (i >= n) {
      builder_.Copy(run, n);
      return n;
    }
    builder_.Copy(run, i + 1);
    if (end_tag) {
      if (depth_ > 0) --depth_;
    } else if (p[i - 1] == '/') {
      closed_ = true;
    } else {
      ++depth_;
    }
    return i + 1;
  }

  void AddText(int64_t from, int64_t to) {
    if (text_first_ < 0) text_first_ = from;
    text_end_ = to;
  }

  void FlushText() {
    if (text_first_ < 0) return;
    builder_.Copy(text_first_, text_end_);
    text_first_ = -1;
  }

  void Break(int levels) {
    levels = std::clamp(levels, 0, kMaxIndentLevels);
    // Past the budget only line breaks are added, so the shown text stays
    // within a few times the document's size whatever its shape.
    if (builder_.shown_size() > budget_) levels = 0;
    builder_.InsertBreak(levels * kIndentWidth);
  }

  QByteArrayView in_;
  ShownTextBuilder builder_;
  int64_t budget_;
  bool closed_ = false;
  int depth_ = 0;
  int64_t text_first_ = -1;
  int64_t text_end_ = -1;
};

}  // namespace

std::optional<ShownText> LayoutXml(QByteArrayView xml, bool keep_junctions,
                                   int64_t* unclosed_comment) {
  return XmlLayout(xml, keep_junctions).Run(unclosed_comment);
}

}  // namespace zoqe
