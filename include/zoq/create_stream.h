// CreateStream with the argument record's own type naming the kind of
// stream: the compiler checks that record and kind agree. The form with a
// type code and a void* record (stream.h) forwards to these; the rules on
// taking over the inner stream and on failures are the same.
#pragma once

#include "zoq/export.h"
#include "zoq/result.h"
#include "zoq/stream.h"

namespace zoq {

struct DynamicMemoryStreamArgs {};  // a growable memory stream needs nothing

ZOQ_EXPORT Status CreateStream(int mode, FileStreamArgs* args, Stream** out);
ZOQ_EXPORT Status CreateStream(int mode, MemoryStreamArgs* args, Stream** out);
ZOQ_EXPORT Status CreateStream(int mode, DynamicMemoryStreamArgs* args, Stream** out);
ZOQ_EXPORT Status CreateStream(int mode, SxcStreamArgs* args, Stream** out);
ZOQ_EXPORT Status CreateStream(int mode, DeflateStreamArgs* args, Stream** out);
ZOQ_EXPORT Status CreateStream(int mode, AdmStreamArgs* args, Stream** out);
ZOQ_EXPORT Status CreateStream(int mode, SubStreamArgs* args, Stream** out);

}  // namespace zoq
