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
#include "zoq/create_stream.h"
#include "zoq/stream.h"

namespace zoq {
namespace {

// Makers registered by higher layers, by type code.
std::atomic<StreamMaker> g_makers[kReadOnlySubStream + 1];

// Builds the stream with `make` (constructors throw std::runtime_error on
// bad arguments) and opens it in `mode` unless mode is 0.
template <typename Make>
Status Build(int mode, Stream** out, Make make) {
  std::unique_ptr<Stream> stream;
  try {
    stream.reset(make());
  } catch (...) {
    return kCreateException;
  }
  if (!stream) return kSiteCreateFailed;
  if (mode != kModeClose) {
    Status code = stream->Open(mode);
    if (!code.ok()) return AtSite(code, kSiteCreateOpen);
  }
  *out = stream.release();
  return kOk;
}

// The checks every form starts with: a place for the result and a record.
bool Usable(const void* args, Stream** out) {
  if (out == nullptr) return false;
  *out = nullptr;
  return args != nullptr;
}

}  // namespace

void RegisterStreamMaker(int type, StreamMaker maker) {
  if (type >= kFileStream && type <= kReadOnlySubStream) {
    g_makers[type].store(maker, std::memory_order_release);
  }
}

Status CreateStream(int mode, FileStreamArgs* args, Stream** out) {
  if (!Usable(args, out)) return kInvalidArgument;
  return Build(mode, out, [args] { return new CVelFileStream(args->path, args->shared); });
}

Status CreateStream(int mode, MemoryStreamArgs* args, Stream** out) {
  if (!Usable(args, out)) return kInvalidArgument;
  return Build(mode, out,
               [args] { return new CVelMemoryStream(args->buffer, args->capacity, args->length); });
}

Status CreateStream(int mode, DynamicMemoryStreamArgs* /*args*/, Stream** out) {
  if (out == nullptr) return kInvalidArgument;
  *out = nullptr;
  return Build(mode, out, [] { return new CVelDynamicMemoryStream(); });
}

Status CreateStream(int mode, SxcStreamArgs* args, Stream** out) {
  if (!Usable(args, out)) return kInvalidArgument;
  StreamMaker maker = g_makers[kSxcStream].load(std::memory_order_acquire);
  if (maker == nullptr) {
    // The inner stream is taken over whatever the outcome.
    delete args->inner;
    args->inner = nullptr;
    return kNotSupported;
  }
  return Build(mode, out, [args, maker] { return maker(args); });
}

Status CreateStream(int mode, DeflateStreamArgs* args, Stream** out) {
  if (!Usable(args, out)) return kInvalidArgument;
  return Build(mode, out, [args] { return new CVelDeflateStream(args->inner, args->raw); });
}

Status CreateStream(int mode, AdmStreamArgs* args, Stream** out) {
  if (!Usable(args, out)) return kInvalidArgument;
  return Build(mode, out, [args] {
    return new CVelADMStream(args->inner, args->key, args->key_length, args->algorithm,
                             args->iv_header);
  });
}

Status CreateStream(int mode, SubStreamArgs* args, Stream** out) {
  if (!Usable(args, out)) return kInvalidArgument;
  return Build(mode, out,
               [args] { return new CVelReadOnlySubStream(args->inner, args->offset, args->length); });
}

Status CreateStream(int mode, void* args, Stream** out, int type) {
  switch (type) {
    case kFileStream:
      return CreateStream(mode, static_cast<FileStreamArgs*>(args), out);
    case kMemoryStream:
      return CreateStream(mode, static_cast<MemoryStreamArgs*>(args), out);
    case kDynamicMemoryStream: {
      DynamicMemoryStreamArgs none;
      return CreateStream(mode, &none, out);
    }
    case kSxcStream:
      return CreateStream(mode, static_cast<SxcStreamArgs*>(args), out);
    case kDeflateStream:
      return CreateStream(mode, static_cast<DeflateStreamArgs*>(args), out);
    case kAdmStream:
      return CreateStream(mode, static_cast<AdmStreamArgs*>(args), out);
    case kReadOnlySubStream:
      return CreateStream(mode, static_cast<SubStreamArgs*>(args), out);
    default:
      return kInvalidArgument;
  }
}

}  // namespace zoq
