#include "zoq/part_text.h"

#include <algorithm>
#include <cstring>

namespace zoq {

namespace {
constexpr int64_t kPiece = 1 << 18;
}  // namespace

PartTextReader::PartTextReader() = default;
PartTextReader::~PartTextReader() = default;

Status PartTextReader::Open(Container* container, const std::u16string& path, int revision_limit,
                            const DecodeOptions* options) {
  content_.reset();
  first_ = true;
  binary_ = false;
  breaker_ = XmlLineBreaker();
  PartInfo info;
  sxc_ = false;
  if (container->GetPathInfo(&info, path, revision_limit) == kOk) {
    for (int i = 0; i < info.code_count; ++i) {
      sxc_ = sxc_ || info.codes[static_cast<size_t>(i)] == kEcsSxc;
    }
  }
  Stream* raw = nullptr;
  Status code = container->OpenPart(path, &raw, revision_limit, options, false);
  content_.reset(raw);
  if (code == kOk && raw == nullptr) code = kFailed;
  if (code != kOk) content_.reset();
  return code;
}

Status PartTextReader::ReadRaw(char* buffer, int64_t size, int64_t* done) {
  *done = 0;
  // Short reads are read on until the probe is full, so that the first
  // piece decides about binary content.
  const int64_t wanted = first_ ? std::min<int64_t>(size, kBinaryProbe) : 1;
  while (*done < size) {
    int64_t got = 0;
    if (Status code = content_->Read(buffer + *done, size - *done, &got); !code.ok()) return code;
    if (got <= 0) break;
    *done += got;
    if (*done >= wanted) break;
  }
  return kOk;
}

Status PartTextReader::Read(std::string* out) {
  out->clear();
  if (!content_) return kNoStream;
  piece_.resize(kPiece);
  int64_t done = 0;
  if (Status code = ReadRaw(piece_.data(), kPiece, &done); !code.ok()) return code;
  if (first_) {
    first_ = false;
    const size_t probe = std::min<size_t>(static_cast<size_t>(done), kBinaryProbe);
    binary_ = std::memchr(piece_.data(), 0, probe) != nullptr;
  }
  if (done <= 0) return kOk;
  if (sxc_) {
    breaker_.Feed(piece_.data(), static_cast<size_t>(done), out);
  } else {
    out->assign(piece_.data(), static_cast<size_t>(done));
  }
  return kOk;
}

}  // namespace zoq
