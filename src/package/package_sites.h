// Site codes of the package layer that stay inside the library (those a
// caller may meet are in zoq/codes.h), and the texts of both. A site code is
// module * 10000 + place; the numbers are part of what callers and logs see
// and never change.
#pragma once

namespace zoq {

enum InnerPackageSite : int {
  // part records (1002)
  kSiteUnknownAddCode = 10021137,
  kSiteTooManyAddCodes = 10021142,
  kSiteEncodedSize = 10021178,  // the encoded content was not written whole
  // reading (1004)
  kSiteReadLength = 10040151,  // an exact read of no bytes or into no buffer
  kSiteReadFailed = 10040152,
  kSiteReadShort = 10040153,
  // package (1005)
  kSiteDirectWrite = 10050150,  // writing the direct-write BitStream failed
  kSiteRawSeek = 10050560,
  kSiteRawRestore = 10050563,
  kSiteSaveNoTarget = 10051128,   // the package has no file or stream to save into
  kSiteSaveReopen = 10051140,     // saved, but the package cannot be read again
  kSiteSaveBadHeader = 10051152,  // no header, or an unknown version
  kSiteSaveAsEmptyPath = 10051196,
  kSiteNoSourceStream = 10052023,
  kSiteNoHeader = 10052084,
  kSiteReencodeCodes = 10052520,
};

// A short English text of a package site code (public or inner), or null
// for any other code.
const char* PackageSiteText(int code);

}  // namespace zoq
