// Reads a file through a stream stack and writes the plain bytes to
// standard output, the way `zoq cat` hands out a part: for side-by-side runs
// against command-line peers (bench/stream/peers.sh).
//   zoq-stream-cat adm KEYHEX FILE   AES-128-CTR with the 16-byte header
//   zoq-stream-cat zip FILE          zlib format
//   zoq-stream-cat copy FROM TO      CopyStream from file to file
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "stream/adm_stream.h"
#include "stream/deflate_stream.h"
#include "stream/file_stream.h"

namespace {

constexpr int64_t kPiece = 0x40000;

bool WriteOut(const uint8_t* data, int64_t size) {
  while (size > 0) {
    ssize_t n = write(STDOUT_FILENO, data, static_cast<size_t>(size));
    if (n <= 0) return false;
    data += n;
    size -= n;
  }
  return true;
}

int Drain(zoq::Stream* stream) {
  // Page-aligned, as a careful caller's buffer should be: the kernel copies
  // into it faster.
  std::unique_ptr<uint8_t, decltype(&free)> buffer(
      static_cast<uint8_t*>(aligned_alloc(4096, kPiece)), &free);
  if (!buffer) return 1;
  for (;;) {
    int64_t done = 0;
    int code = stream->Read(buffer.get(), kPiece, &done);
    if (code != zoq::kOk) {
      fprintf(stderr, "read failed: %d\n", code);
      return 1;
    }
    if (done == 0) return 0;
    if (!WriteOut(buffer.get(), done)) return 1;
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "copy" && argc == 4) {
    zoq::CVelFileStream from(argv[2], false), to(argv[3], false);
    if (from.Open(zoq::kModeRead) != zoq::kOk || to.Open(zoq::kModeWrite) != zoq::kOk ||
        zoq::CopyStream(&to, &from, nullptr, zoq::kSeekSet, 0) != zoq::kOk || to.Close() != zoq::kOk) {
      fprintf(stderr, "copy failed\n");
      return 1;
    }
    return 0;
  }
  std::unique_ptr<zoq::Stream> top;
  zoq::Stream* inner = nullptr;
  if (mode == "adm" && argc == 4 && strlen(argv[2]) == 32) {
    uint8_t key[16];
    for (int i = 0; i < 16; ++i) sscanf(argv[2] + 2 * i, "%2hhx", &key[i]);
    inner = new zoq::CVelFileStream(argv[3], false);
    top = std::make_unique<zoq::CVelADMStream>(inner, key, 16, u"AES-128-CTR", true);
  } else if (mode == "zip" && argc == 3) {
    inner = new zoq::CVelFileStream(argv[2], false);
    top = std::make_unique<zoq::CVelDeflateStream>(inner, false);
  } else {
    fprintf(stderr, "usage: %s adm KEYHEX FILE | zip FILE | copy FROM TO\n", argv[0]);
    return 2;
  }
  if (top->Open(zoq::kModeRead) != zoq::kOk) {
    fprintf(stderr, "cannot open\n");
    return 1;
  }
  return Drain(top.get());
}
