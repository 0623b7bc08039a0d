#include "zoq/pliv_detection.h"

#include <algorithm>
#include <cctype>
#include <memory>
#include <string_view>
#include <vector>

#include "zoq/container.h"
#include "zoq/stream.h"

namespace zoq {
namespace {

// Finds `attribute` followed by a double quote and the next double quote
// after it; gives the text between them.
template <typename Char>
bool FindAttribute(std::basic_string_view<Char> text, std::string_view attribute,
                   std::basic_string_view<Char>* value) {
  std::basic_string<Char> needle(attribute.begin(), attribute.end());
  needle.push_back(Char('"'));
  size_t at = text.find(needle);
  if (at == std::basic_string_view<Char>::npos) return false;
  size_t begin = at + needle.size();
  size_t end = text.find(Char('"'), begin);
  if (end == std::basic_string_view<Char>::npos) return false;
  *value = text.substr(begin, end - begin);
  return true;
}

// The value agrees with `name` over the value's own length.
template <typename Char>
bool AgreesWith(std::basic_string_view<Char> value, std::string_view name) {
  if (value.size() > name.size()) return false;
  for (size_t i = 0; i < value.size(); ++i) {
    if (value[i] != Char(static_cast<unsigned char>(name[i]))) return false;
  }
  return true;
}

template <typename Char>
bool Detect(std::basic_string_view<Char> text, PlivDocumentType* out) {
  std::basic_string_view<Char> value;
  if (!FindAttribute(text, "SubsetType=", &value)) return false;
  static const struct { const char* name; int code; } kSubsets[] = {
      {"PLIV_Full", 16}, {"PLIV_M", 8}, {"PLIV_P", 2}, {"PLIV_A", 1}};
  int subset = 0;
  for (const auto& s : kSubsets) {
    if (AgreesWith(value, s.name)) {
      subset = s.code;
      break;
    }
  }
  if (subset == 0) return false;
  out->subset = subset;
  if (FindAttribute(text, "Version=", &value)) {
    if (AgreesWith(value, "1.0")) {
      out->version = 0x100;
    } else if (AgreesWith(value, "1.1")) {
      out->version = 0x101;
    } else {
      out->version = 0x102;
    }
  }
  return true;
}

}  // namespace

bool DetectPlivType(const uint8_t* data, int64_t size, PlivDocumentType* out) {
  *out = PlivDocumentType{};
  if (data == nullptr || size <= 0) return false;
  if (size >= 2 && data[0] == 0xFF && data[1] == 0xFE) {
    std::u16string text(static_cast<size_t>(size / 2), u'\0');
    for (size_t i = 0; i < text.size(); ++i) {
      text[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
    }
    return Detect(std::u16string_view(text), out);
  }
  return Detect(std::string_view(reinterpret_cast<const char*>(data), static_cast<size_t>(size)),
                out);
}

bool DetectPlivStream(Stream* stream, PlivDocumentType* out) {
  *out = PlivDocumentType{};
  if (stream == nullptr || stream->Seek(0, kSeekSet) != kOk) return false;
  std::vector<uint8_t> bytes;
  uint8_t piece[65536];
  for (;;) {
    int64_t done = 0;
    if (stream->Read(piece, sizeof piece, &done) != kOk) return false;
    if (done <= 0) break;
    bytes.insert(bytes.end(), piece, piece + done);
  }
  return DetectPlivType(bytes.data(), static_cast<int64_t>(bytes.size()), out);
}

bool IsPlivFileName(const std::string& path) {
  static const char kSuffix[] = ".PLIV";
  constexpr size_t kLength = sizeof kSuffix - 1;
  if (path.size() < kLength) return false;
  return std::equal(path.end() - kLength, path.end(), kSuffix, [](char a, char b) {
    return std::toupper(static_cast<unsigned char>(a)) == b;
  });
}

bool ApplyPlivDetection(Container* container, PlivDocumentType* out) {
  *out = PlivDocumentType{};
  if (container == nullptr) return false;
  Stream* raw = nullptr;
  if (container->OpenPart(u"/__main.xml", &raw, 0, nullptr, true) != kOk || raw == nullptr) {
    return false;
  }
  std::unique_ptr<Stream> stream(raw);
  if (!DetectPlivStream(stream.get(), out)) return false;
  container->SetDocumentType(out->subset, out->version);
  return true;
}

}  // namespace zoq
