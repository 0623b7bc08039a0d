#include "zoq/pliv_detection.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "zoq/container.h"
#include "zoq/main_document.h"
#include "zoq/stream.h"

namespace zoq {
namespace {

// Looks for `attribute` directly followed by a double quote in a text fed one
// code unit at a time, then for the next double quote. Only the first
// kKeptUnits units of the value are kept: no recognised value is longer, so
// a main part of any size is scanned in fixed memory.
class AttributeScan {
 public:
  static constexpr size_t kKeptUnits = 16;

  explicit AttributeScan(std::string_view attribute) : needle_(attribute) {
    needle_.push_back('"');
    // Longest proper border of every prefix (Knuth-Morris-Pratt), so that a
    // partial match that fails can resume without looking back.
    border_.assign(needle_.size(), 0);
    for (size_t i = 1, k = 0; i < needle_.size(); ++i) {
      while (k > 0 && needle_[i] != needle_[k]) k = border_[k - 1];
      if (needle_[i] == needle_[k]) ++k;
      border_[i] = k;
    }
  }

  void Feed(char16_t unit) {
    if (state_ == kSearching) {
      while (matched_ > 0 && unit != static_cast<unsigned char>(needle_[matched_])) {
        matched_ = border_[matched_ - 1];
      }
      if (unit == static_cast<unsigned char>(needle_[matched_])) ++matched_;
      if (matched_ == needle_.size()) state_ = kInValue;
    } else if (state_ == kInValue) {
      if (unit == u'"') {
        state_ = kFound;
      } else if (length_ < kKeptUnits) {
        value_[length_++] = unit;
      } else {
        too_long_ = true;
      }
    }
  }

  bool found() const { return state_ == kFound; }

  // Whether the value agrees with `name` over the value's own length.
  bool AgreesWith(std::string_view name) const {
    if (too_long_ || length_ > name.size()) return false;
    for (size_t i = 0; i < length_; ++i) {
      if (value_[i] != static_cast<unsigned char>(name[i])) return false;
    }
    return true;
  }

 private:
  enum State { kSearching, kInValue, kFound };
  std::string needle_;
  std::vector<size_t> border_;
  size_t matched_ = 0;
  State state_ = kSearching;
  std::array<char16_t, kKeptUnits> value_{};
  size_t length_ = 0;
  bool too_long_ = false;
};

// Detection over a text handed over in pieces of bytes: decides between
// UTF-16LE (first two bytes FF FE) and 8-bit text, and feeds both attribute
// scans.
class Detector {
 public:
  // Takes the next bytes; false once nothing more can change the result.
  bool Feed(const uint8_t* data, size_t size) {
    for (size_t i = 0; i < size; ++i) {
      uint8_t byte = data[i];
      ++bytes_;
      if (bytes_ <= 2) {
        lead_[bytes_ - 1] = byte;
        if (bytes_ < 2) continue;
        utf16_ = lead_[0] == 0xFF && lead_[1] == 0xFE;
        if (utf16_) {
          Unit(0xFEFF);
        } else {
          Unit(lead_[0]);
          Unit(lead_[1]);
        }
      } else if (!utf16_) {
        Unit(byte);
      } else if (bytes_ % 2 == 1) {
        low_ = byte;
      } else {
        Unit(static_cast<char16_t>(low_ | (byte << 8)));
      }
      if (subset_.found() && version_.found()) return false;
    }
    return true;
  }

  bool Finish(PlivDocumentType* out) {
    *out = PlivDocumentType{};
    if (bytes_ == 1) Unit(lead_[0]);  // one byte is 8-bit text
    if (bytes_ == 0 || !subset_.found()) return false;
    static const struct {
      const char* name;
      int code;
    } kSubsets[] = {{"PLIV_Full", 16}, {"PLIV_M", 8}, {"PLIV_P", 2}, {"PLIV_A", 1}};
    for (const auto& subset : kSubsets) {
      if (subset_.AgreesWith(subset.name)) {
        out->subset = subset.code;
        break;
      }
    }
    if (out->subset == 0) return false;
    if (version_.found()) {
      if (version_.AgreesWith("1.0")) {
        out->version = 0x100;
      } else if (version_.AgreesWith("1.1")) {
        out->version = 0x101;
      } else {
        out->version = 0x102;
      }
    }
    return true;
  }

 private:
  void Unit(char16_t unit) {
    subset_.Feed(unit);
    version_.Feed(unit);
  }

  AttributeScan subset_{"SubsetType="};
  AttributeScan version_{"Version="};
  uint64_t bytes_ = 0;
  std::array<uint8_t, 2> lead_{};
  bool utf16_ = false;
  uint8_t low_ = 0;
};

}  // namespace

bool DetectPlivType(const uint8_t* data, int64_t size, PlivDocumentType* out) {
  Detector detector;
  if (data != nullptr && size > 0) detector.Feed(data, static_cast<size_t>(size));
  return detector.Finish(out);
}

bool DetectPlivStream(Stream* stream, PlivDocumentType* out) {
  *out = PlivDocumentType{};
  if (stream == nullptr || stream->Seek(0, kSeekSet) != kOk) return false;
  Detector detector;
  auto piece = std::make_unique<uint8_t[]>(65536);
  for (;;) {
    int64_t done = 0;
    if (stream->Read(piece.get(), 65536, &done) != kOk) return false;
    if (done <= 0 || !detector.Feed(piece.get(), static_cast<size_t>(done))) break;
  }
  return detector.Finish(out);
}

bool IsPlivFileName(const std::string& path) {
  static const char kSuffix[] = ".PLIV";
  constexpr size_t kLength = sizeof kSuffix - 1;
  if (path.size() < kLength) return false;
  return std::equal(path.end() - kLength, path.end(), kSuffix, [](char a, char b) {
    return std::toupper(static_cast<unsigned char>(a)) == b;
  });
}

bool ReadPlivDocumentType(Container* container, PlivDocumentType* out, bool keep) {
  *out = PlivDocumentType{};
  if (container == nullptr) return false;
  Stream* raw = nullptr;
  if (container->OpenPart(kMainDocumentPath, &raw, 0, nullptr, keep) != kOk || raw == nullptr) {
    return false;
  }
  std::unique_ptr<Stream> stream(raw);
  return DetectPlivStream(stream.get(), out);
}

bool ApplyPlivDetection(Container* container, PlivDocumentType* out) {
  if (!ReadPlivDocumentType(container, out, true)) return false;
  // Callers learn whether the detection succeeded; a type the package
  // refuses leaves its type as it was.
  container->SetDocumentType(out->subset, out->version).IgnoreError();
  return true;
}

}  // namespace zoq
