#include "sxc/xml_writer.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "zoq/utf.h"

namespace zoq {
namespace {

constexpr char kDeclaration[] = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
constexpr size_t kSpillSize = 1 << 16;

// What a byte of UTF-8 text needs: 0 nothing, 1 an escape, 2 it ends the
// text, 3 it starts a multi-byte sequence that must be checked.
struct ByteClasses {
  uint8_t of[256];
  constexpr ByteClasses() : of() {
    for (int i = 0x80; i < 256; ++i) of[i] = 3;
    of[0] = 2;
    of[static_cast<uint8_t>('"')] = 1;
    of[static_cast<uint8_t>('&')] = 1;
    of[static_cast<uint8_t>('\'')] = 1;
    of[static_cast<uint8_t>('<')] = 1;
    of[static_cast<uint8_t>('>')] = 1;
  }
};
constexpr ByteClasses kClasses;

const char* EscapeFor(char c) {
  switch (c) {
    case '"':
      return "&quot;";
    case '&':
      return "&amp;";
    case '\'':
      return "&apos;";
    case '<':
      return "&lt;";
    default:
      return "&gt;";
  }
}

size_t Utf16Length(const char16_t* text, ptrdiff_t length) {
  if (length >= 0) return static_cast<size_t>(length);
  size_t n = 0;
  while (text[n] != 0) ++n;
  return n;
}

}  // namespace

std::string FormatDouble(double value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  char buffer[400];  // the longest fixed form of a double is about 320 bytes
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 6);
  std::string text(buffer, result.ptr);
  while (!text.empty() && text.back() == '0') text.pop_back();
  while (!text.empty() && text.back() == '.') text.pop_back();
  return text;
}

XmlWriter::XmlWriter(CFileStream* file) : file_(file), out_(buffer_) {}

XmlWriter::XmlWriter(std::string* text) : text_(text), out_(text ? *text : buffer_) {}

XmlWriter::XmlWriter(TextOutput output) : output_(std::move(output)), out_(buffer_) {}

XmlWriter::~XmlWriter() { Spill(); }

void XmlWriter::MaybeSpill() {
  if (text_ == nullptr && buffer_.size() >= kSpillSize) Spill();
}

void XmlWriter::Spill() {
  if (buffer_.empty() || !ok_) return;
  spilled_ += buffer_.size();
  if (file_ != nullptr) {
    ok_ = file_->Write(buffer_.data(), buffer_.size()) == 0;
  } else if (output_) {
    ok_ = output_(buffer_.data(), buffer_.size());
  }
  buffer_.clear();
}

void XmlWriter::ExpectTextSize(size_t bytes) {
  constexpr size_t kMostReserved = size_t{1} << 30;
  if (text_ != nullptr && bytes <= kMostReserved) text_->reserve(bytes);
}

void XmlWriter::StartDocument() {
  if (!HasOutput()) return;
  buffer_.clear();
  spilled_ = 0;
  if (file_ != nullptr) {
    if (!file_->Reset()) ok_ = false;
  } else if (text_ != nullptr) {
    text_->clear();
  }
  start_tag_open_ = false;
  in_attribute_ = false;
  out_.append(kDeclaration);
}

void XmlWriter::EndDocument() {
  if (!HasOutput()) return;
  Spill();
  if (file_ != nullptr && !file_->Flush()) ok_ = false;
}

void XmlWriter::CloseStartTag() {
  if (start_tag_open_) {
    out_.push_back('>');
    start_tag_open_ = false;
  }
}

void XmlWriter::AppendName(const char16_t* name) {
  size_t ascii = 0;
  while (name[ascii] != 0 && name[ascii] < 0x80) ++ascii;
  const size_t at = out_.size();
  out_.resize(at + ascii);
  for (size_t i = 0; i < ascii; ++i) out_[at + i] = static_cast<char>(name[i]);
  if (name[ascii] != 0) AppendUtf16ToUtf8Lenient(std::u16string_view(name + ascii), &out_);
}

void XmlWriter::StartElement(const char16_t* name) {
  if (!HasOutput() || name == nullptr) return;
  CloseStartTag();
  out_.push_back('<');
  AppendName(name);
  start_tag_open_ = true;
  MaybeSpill();
}

void XmlWriter::EndElement(const char16_t* name) {
  if (!HasOutput() || name == nullptr) return;
  CloseStartTag();
  out_.append("</");
  AppendName(name);
  out_.push_back('>');
  MaybeSpill();
}

void XmlWriter::StartAttribute(const char16_t* name) {
  if (!HasOutput() || name == nullptr) return;
  out_.push_back(' ');
  AppendName(name);
  out_.append("=\"");
  in_attribute_ = true;
}

void XmlWriter::EndAttribute() {
  if (!HasOutput()) return;
  out_.push_back('"');
  in_attribute_ = false;
}

void XmlWriter::WriteDouble(double value) {
  const std::string text = FormatDouble(value);
  WriteAsciiText(text.data(), static_cast<ptrdiff_t>(text.size()));
}

void XmlWriter::WriteInt(int32_t value) {
  char buffer[16];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  WriteAsciiText(buffer, result.ptr - buffer);
}

void XmlWriter::WriteBool(bool value) {
  if (value) {
    WriteAsciiText("true", 4);
  } else {
    WriteAsciiText("false", 5);
  }
}

void XmlWriter::WriteAsciiText(const char* text, ptrdiff_t length) {
  // The system code page is UTF-8, so 8-bit text is UTF-8 text.
  if (text == nullptr) return;
  WriteUtf8Text(text, length >= 0 ? static_cast<size_t>(length) : strlen(text));
}

void XmlWriter::WriteUtf8Text(const char* text, size_t length) {
  if (!HasOutput() || text == nullptr) return;
  if (!in_attribute_) CloseStartTag();
  AppendEscapedUtf8(text, length);
  MaybeSpill();
}

void XmlWriter::AppendEscapedUtf8(const char* text, size_t length) {
  const auto* p = reinterpret_cast<const unsigned char*>(text);
  const auto* end = p + length;
  const auto* run = p;
  while (p < end) {
    const uint8_t cls = kClasses.of[*p];
    if (cls == 0) {
      ++p;
      continue;
    }
    if (cls == 3) {
      const size_t n = Utf8SequenceLength(p, end);
      if (n != 0) {
        p += n;
        continue;
      }
      out_.append(reinterpret_cast<const char*>(run), p - run);
      out_.append("\xEF\xBF\xBD");  // U+FFFD
      run = ++p;
      continue;
    }
    out_.append(reinterpret_cast<const char*>(run), p - run);
    if (cls == 2) return;  // a zero ends the text
    out_.append(EscapeFor(static_cast<char>(*p)));
    run = ++p;
  }
  out_.append(reinterpret_cast<const char*>(run), p - run);
}

void XmlWriter::WriteText(const char16_t* text, ptrdiff_t length) {
  if (!HasOutput() || text == nullptr) return;
  const size_t n = Utf16Length(text, length);
  size_t stop = 0;
  while (stop < n && text[stop] != 0) ++stop;
  std::string utf8;
  AppendUtf16ToUtf8Lenient(std::u16string_view(text, stop), &utf8);
  WriteUtf8Text(utf8.data(), utf8.size());
}

}  // namespace zoq
