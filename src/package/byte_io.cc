#include "package/byte_io.h"

#include "package/package_sites.h"
#include "zoq/codes.h"

namespace zoq {

Status ReadExact(Stream* stream, void* buffer, int64_t count) {
  if (count < 1 || buffer == nullptr) return kSiteReadLength;
  auto* out = static_cast<uint8_t*>(buffer);
  int64_t total = 0;
  while (total < count) {
    int64_t done = 0;
    int code = stream->Read(out + total, count - total, &done);
    if (code != kOk) return AtSite(code, kSiteReadFailed);
    if (done <= 0) return kSiteReadShort;
    total += done;
  }
  return kOk;
}

Status ReadExactAt(Stream* stream, int64_t offset, void* buffer, int64_t count) {
  if (offset < 0) return kInvalidArgument;
  int code = stream->Seek(offset, kSeekSet);
  if (code != kOk) return AtSite(code, kSiteReadFailed);
  return ReadExact(stream, buffer, count);
}

}  // namespace zoq
