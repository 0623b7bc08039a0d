// Reads arbitrary stored bytes through the inflating and the decrypting
// decorators (and both stacked), as a part's content is read. The first
// byte picks the stack and the read piece sizes. Each input is read twice,
// through ISA-L's inflater and through zlib's, which must agree on the code
// and on every byte delivered.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz_common.h"
#include "stream/deflate_stream.h"
#include "zoq/stream.h"

namespace {

const uint8_t kKey[16] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77,
                          0x88, 0x99, 0xaa, 0xbb, 0xcc, 0xdd, 0xee, 0xff};

zoq::Stream* Wrap(zoq::Stream* inner, int kind) {
  zoq::Stream* out = nullptr;
  int rc;
  if (kind == 0 || kind == 1) {
    zoq::DeflateStreamArgs args;
    args.inner = inner;
    args.raw = kind == 1;
    rc = zoq::CreateStream(zoq::kModeRead, &args, &out, zoq::kDeflateStream);
  } else {
    zoq::AdmStreamArgs args;
    args.inner = inner;
    args.key = kKey;
    args.key_length = 16;
    args.algorithm = u"AES-128-CTR";
    args.iv_header = kind == 3;
    rc = zoq::CreateStream(zoq::kModeRead, &args, &out, zoq::kAdmStream);
  }
  return rc == 0 ? out : nullptr;
}

}  // namespace

namespace {

// Reads the input through the stack it selects; answers the read's code
// (-1 when no stack could be built) and what was delivered.
int ReadThroughStack(const uint8_t* data, size_t size, std::vector<uint8_t>* first) {
  const uint8_t selector = data[0];
  std::vector<uint8_t> stored(data + 1, data + size);
  zoq::MemoryStreamArgs memory;
  memory.buffer = stored.empty() ? nullptr : stored.data();
  memory.capacity = static_cast<int64_t>(stored.size());
  memory.length = static_cast<int64_t>(stored.size());
  zoq::Stream* base = nullptr;
  if (zoq::CreateStream(zoq::kModeRead, &memory, &base, zoq::kMemoryStream) != 0) return -1;
  // 0 zlib, 1 raw deflate, 2 ADM, 3 ADM with IV header; 4 and 5: inflate
  // under ADM (ADM then ZIP undone), as a part stored with both codes.
  const int stack = selector % 6;
  zoq::Stream* top = nullptr;
  if (stack < 4) {
    top = Wrap(base, stack);
  } else {
    zoq::Stream* adm = Wrap(base, stack == 4 ? 2 : 3);
    if (adm != nullptr) top = Wrap(adm, 0);
  }
  if (top == nullptr) return -1;
  top->GetLength();
  const int rc = zoq::fuzz::ReadAll(top, selector / 6, first);
  // Reading again from the start gives the same bytes.
  if (rc == 0 && first->size() < (1u << 20) && top->Seek(0, zoq::kSeekSet) == 0) {
    std::vector<uint8_t> second;
    if (zoq::fuzz::ReadAll(top, selector / 6 + 1, &second) == 0 && second != *first)
      __builtin_trap();
  }
  delete top;
  return rc;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  std::vector<uint8_t> fast, zlib;
  const int fast_rc = ReadThroughStack(data, size, &fast);
  zoq::UseFastInflate(false);
  const int zlib_rc = ReadThroughStack(data, size, &zlib);
  zoq::UseFastInflate(true);
  if (fast_rc != zlib_rc || fast != zlib) __builtin_trap();
  return 0;
}
