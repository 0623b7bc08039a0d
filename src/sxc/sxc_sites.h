// Site codes of the SXC conversion stream: where a conversion through its
// two temporary files failed. A site code is module * 10000 + place; the
// numbers are part of what callers and logs see and never change.
#pragma once

namespace zoq {

enum SxcSite : int {
  // decoding the stored content (1210)
  kSiteSxcDecodeSourceCreate = 12100120,
  kSiteSxcDecodeSourceOpen = 12100123,
  kSiteSxcDecodeCopyIn = 12100130,
  kSiteSxcDecodeSourceClose = 12100132,
  kSiteSxcDecodeTargetCreate = 12100144,
  kSiteSxcDecodeTargetOpen = 12100147,
  kSiteSxcDecodeReadResult = 12100149,
  // encoding the written content (1210)
  kSiteSxcEncodeClearEmpty = 12100203,
  kSiteSxcEncodeFlushEmpty = 12100204,
  kSiteSxcEncodeSourceCreate = 12100218,
  kSiteSxcEncodeSourceOpen = 12100221,
  kSiteSxcEncodeBlockCount = 12100227,
  kSiteSxcEncodeWriteBlock = 12100230,
  kSiteSxcEncodeWriteLastBlock = 12100231,
  kSiteSxcEncodeSourceClose = 12100232,
  kSiteSxcEncodeTargetCreate = 12100244,
  kSiteSxcEncodeTargetOpen = 12100247,
  kSiteSxcEncodeClearInner = 12100249,
  kSiteSxcEncodeCopyOut = 12100250,
};

// A short English text of an SXC site code, or null for any other code.
const char* SxcSiteText(int code);

}  // namespace zoq
