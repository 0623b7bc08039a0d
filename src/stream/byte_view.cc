#include "stream/byte_view.h"

#include <typeinfo>

#include "stream/dynamic_memory_stream.h"
#include "stream/memory_stream.h"
#include "stream/sub_stream.h"

namespace zoq {

bool ViewBytes(Stream* stream, int64_t count, const uint8_t** data, int64_t* size) {
  if (stream == nullptr || count < 0 || data == nullptr || size == nullptr) return false;
  // Exact types only: a subclass may change how its bytes are read, and
  // lending would go around that.
  const std::type_info& type = typeid(*stream);
  if (type == typeid(CVelMemoryStream)) {
    return static_cast<CVelMemoryStream*>(stream)->View(count, data, size);
  }
  if (type == typeid(CVelDynamicMemoryStream)) {
    return static_cast<CVelDynamicMemoryStream*>(stream)->View(count, data, size);
  }
  if (type == typeid(CVelReadOnlySubStream)) {
    return static_cast<CVelReadOnlySubStream*>(stream)->View(count, data, size);
  }
  return false;
}

}  // namespace zoq
