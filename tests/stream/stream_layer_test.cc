// Linked with the stream layer alone: it builds and links without the layers
// above it, and asks for an SXC stream are refused until a higher layer
// registers that kind, with the inner stream freed as for any failure.
#include <gtest/gtest.h>

#include "stream/dynamic_memory_stream.h"
#include "zoq/stream.h"

namespace zoq {
namespace {

TEST(StreamLayer, SxcKindNeedsTheSxcLayer) {
  SxcStreamArgs args;
  args.inner = new CVelDynamicMemoryStream();  // freed by CreateStream (LeakSanitizer checks)
  args.schema_path = "unused.bsg";
  Stream* stream = nullptr;
  EXPECT_EQ(CreateStream(kModeRead, &args, &stream, kSxcStream), kNotSupported);
  EXPECT_EQ(stream, nullptr);
  EXPECT_EQ(args.inner, nullptr);
  ASSERT_EQ(CreateStream(kModeReadWriteNew, nullptr, &stream, kDynamicMemoryStream), kOk);
  EXPECT_EQ(stream->Release(), kOk);
}

}  // namespace
}  // namespace zoq
