// Normalizes arbitrary UTF-16 paths (input bytes taken in pairs, little
// endian). A normalized path normalizes to itself, is accepted as stored,
// begins with "/" and stays within the length limit.
#include <cstddef>
#include <cstdint>
#include <string>

#include "package/path.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::u16string in;
  for (size_t i = 0; i + 1 < size; i += 2) in.push_back(static_cast<char16_t>(data[i] | data[i + 1] << 8));
  std::u16string out;
  const bool stored = zoq::IsNormalizedPath(in);
  if (zoq::NormalizePath(in, &out) != 0) {
    if (stored) __builtin_trap();  // accepted as stored but not normalizable
    return 0;
  }
  if (out.empty() || out[0] != u'/' || out.size() > zoq::kMaxPathLength) __builtin_trap();
  std::u16string again;
  if (zoq::NormalizePath(out, &again) != 0 || again != out) __builtin_trap();
  if (!zoq::IsNormalizedPath(out)) __builtin_trap();
  if (stored && out != in) __builtin_trap();
  return 0;
}
