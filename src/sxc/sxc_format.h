// Constants of the SXC binary XML file format.
//
// Header: the signature "??SXC", int32 version (1), the 16-byte schema
// identifier, a reserved byte, the flags byte, then the fields the flags
// announce: two ignored int32 for bit 3, two for bit 2, structure offset and
// size for bit 1, value-blocks offset and size, directory offset and
// directory-part size for bit 0. Then the structure section (one zlib
// stream), the value blocks (zlib streams), and the directory part (a
// reserved byte, the directory-compressed flag, the directory).
#pragma once

#include <cstddef>
#include <cstdint>

namespace zoq {

constexpr char kSxcSignature[5] = {'?', '?', 'S', 'X', 'C'};
constexpr int32_t kSxcVersion = 1;

enum SxcFlags : uint8_t {
  kHasValues = 1,
  kHasStructure = 2,
  kIgnoredPairA = 4,
  kIgnoredPairB = 8,
};

// Value streams longer than this get a compressed block of their own; the
// others share one block per value class.
constexpr size_t kGroupedStreamLimit = 16383;

}  // namespace zoq
