#include "stream/byte_view.h"

#include "stream/dynamic_memory_stream.h"
#include "stream/memory_stream.h"
#include "stream/sub_stream.h"

namespace zoq {

bool ViewBytes(Stream* stream, int64_t count, const uint8_t** data, int64_t* size) {
  if (stream == nullptr || count < 0 || data == nullptr || size == nullptr) return false;
  if (auto* memory = dynamic_cast<CVelMemoryStream*>(stream)) {
    return memory->View(count, data, size);
  }
  if (auto* dynamic = dynamic_cast<CVelDynamicMemoryStream*>(stream)) {
    return dynamic->View(count, data, size);
  }
  if (auto* sub = dynamic_cast<CVelReadOnlySubStream*>(stream)) {
    return sub->View(count, data, size);
  }
  return false;
}

}  // namespace zoq
