#include "package/data_record.h"

#include <cstdint>

#include "package/byte_io.h"
#include "zoq/codes.h"
#include "zoq/decode_options.h"
#include "package/item_record.h"

namespace zoq {

Status ReadOnlyWindow(Stream* inner, int64_t offset, int64_t length, std::unique_ptr<Stream>* out) {
  SubStreamArgs args;
  args.inner = inner;
  args.offset = offset;
  args.length = length;
  Stream* window = nullptr;
  if (CreateStream(kModeClose, &args, &window, kReadOnlySubStream) != kOk) {
    delete args.inner;
    return kBitStreamReadFailed;
  }
  out->reset(window);
  return kOk;
}

Status LoadDataRecord(Stream* package, int64_t bitstream, int width, ItemRecord* record) {
  if (record->stored && record->stored->data) return kOk;
  if (!record->HasData() || record->data_offset <= 0 || bitstream < 0) {
    return kBitStreamReadFailed;
  }
  if (record->data_offset > INT64_MAX - bitstream) return kBitStreamReadFailed;
  const int64_t position = bitstream + record->data_offset;
  uint8_t head[1 + 8];
  if (ReadExactAt(package, position, head, 1 + width) != kOk) return kBitStreamReadFailed;
  std::array<uint8_t, 8> codes{};
  int count = 0;
  for (;;) {
    uint8_t code = 0;
    if (ReadExact(package, &code, 1) != kOk) return kBitStreamReadFailed;
    if (code == 0xFF) break;
    if (code == 0) return kSiteZeroCode;
    if (count == kMaxStoredCodes) return kSiteTooManyCodes;
    codes[count++] = code;
  }
  const int64_t size = LoadOffset(head + 1, width);
  const int64_t start = position + 1 + width + count + 1;
  const int64_t file_length = package->GetLength();
  if (size < 0 || file_length < 0 || start > file_length || size > file_length - start) {
    return kBitStreamReadFailed;
  }
  Stream* clone = package->Clone();
  if (clone == nullptr) return kBitStreamReadFailed;
  int code = ReadOnlyWindow(clone, start, size, &record->Stored().data);
  if (code != kOk) return code;
  record->Stored().codes = codes;
  record->Stored().code_count = count;
  record->Stored().check_byte = head[0];
  record->Stored().stored_size = size;
  return kOk;
}

}  // namespace zoq
