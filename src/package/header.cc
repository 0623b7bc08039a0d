#include "package/header.h"

#include <cstring>

#include "package/byte_io.h"
#include "zoq/codes.h"

namespace zoq {

Status ReadHeader(Stream* stream, HeaderFacts* out) {
  uint8_t bytes[kHeaderFixedSize + 8];
  if (ReadExactAt(stream, 0, bytes, 14) != kOk) return kHeaderReadFailed;
  if (std::memcmp(bytes, "@ZOQ", 4) != 0) return kBadHeaderMagic;
  if (ReadExact(stream, bytes + 14, 2) != kOk) return kHeaderReadFailed;
  int version = (bytes[14] << 8) | bytes[15];
  if (version != 0x0100 && version != 0x0101) return kBadPackageVersion;
  if (ReadExact(stream, bytes + 16, 6) != kOk) return kHeaderReadFailed;
  auto count = static_cast<int32_t>(LoadU32(bytes + 16));
  if (count < 0 || bytes[20] != 0) return kBadHeaderField;
  int width = bytes[21] == 0 ? 4 : bytes[21];
  if (width != 2 && width != 4 && width != 8) return kBadHeaderField;
  if (ReadExact(stream, bytes + kHeaderFixedSize, width) != kOk) return kHeaderReadFailed;
  int64_t first = LoadOffset(bytes + kHeaderFixedSize, width);
  if (first != 0 && first < kHeaderFixedSize + width) return kBadHeaderField;

  out->version = version;
  out->width = width;
  out->width_byte = bytes[21];
  out->reserved = bytes[20];
  out->entry_count = count;
  out->first_entry = first;
  return kOk;
}

}  // namespace zoq
