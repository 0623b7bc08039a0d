// The stream factory: builds any stream by its type code; kinds of higher
// layers through the makers they registered (stream_factory.h).
#include "stream/stream_factory.h"

#include <atomic>
#include <exception>
#include <memory>

#include "stream/adm_stream.h"
#include "stream/deflate_stream.h"
#include "stream/dynamic_memory_stream.h"
#include "stream/file_stream.h"
#include "stream/memory_stream.h"
#include "stream/stream_sites.h"
#include "stream/sub_stream.h"
#include "zoq/stream.h"

namespace zoq {
namespace {

// Makers registered by higher layers, by type code.
std::atomic<StreamMaker> g_makers[kReadOnlySubStream + 1];

// Builds the stream; constructors throw std::runtime_error on bad arguments.
Stream* Construct(void* args, int type) {
  switch (type) {
    case kFileStream: {
      auto* a = static_cast<FileStreamArgs*>(args);
      return new CVelFileStream(a->path, a->shared);
    }
    case kMemoryStream: {
      auto* a = static_cast<MemoryStreamArgs*>(args);
      return new CVelMemoryStream(a->buffer, a->capacity, a->length);
    }
    case kDynamicMemoryStream:
      return new CVelDynamicMemoryStream();
    case kDeflateStream: {
      auto* a = static_cast<DeflateStreamArgs*>(args);
      return new CVelDeflateStream(a->inner, a->raw);
    }
    case kAdmStream: {
      auto* a = static_cast<AdmStreamArgs*>(args);
      return new CVelADMStream(a->inner, a->key, a->key_length, a->algorithm, a->iv_header);
    }
    case kReadOnlySubStream: {
      auto* a = static_cast<SubStreamArgs*>(args);
      return new CVelReadOnlySubStream(a->inner, a->offset, a->length);
    }
    default: {
      StreamMaker maker = g_makers[type].load(std::memory_order_acquire);
      return maker != nullptr ? maker(args) : nullptr;
    }
  }
}

bool IsRegistered(int type) {
  return type == kSxcStream && g_makers[type].load(std::memory_order_acquire) != nullptr;
}

}  // namespace

void RegisterStreamMaker(int type, StreamMaker maker) {
  if (type >= kFileStream && type <= kReadOnlySubStream) {
    g_makers[type].store(maker, std::memory_order_release);
  }
}

Status CreateStream(int mode, void* args, Stream** out, int type) {
  if (out == nullptr || type < kFileStream || type > kReadOnlySubStream) return kInvalidArgument;
  *out = nullptr;
  if (args == nullptr && type != kDynamicMemoryStream) return kInvalidArgument;
  if (type == kSxcStream && !IsRegistered(type)) {
    // The inner stream is taken over whatever the outcome.
    auto* a = static_cast<SxcStreamArgs*>(args);
    delete a->inner;
    a->inner = nullptr;
    return kNotSupported;
  }
  std::unique_ptr<Stream> stream;
  try {
    stream.reset(Construct(args, type));
  } catch (...) {
    return kCreateException;
  }
  if (!stream) return kSiteCreateFailed;
  if (mode != kModeClose) {
    int code = stream->Open(mode);
    if (code != kOk) return AtSite(code, kSiteCreateOpen);
  }
  *out = stream.release();
  return kOk;
}

}  // namespace zoq
