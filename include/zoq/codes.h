// Result codes of the package library. 0 is success; the generic codes
// (1, 3, 5, 6, 8) and the stream codes come from result.h. The public
// package codes 5000-5072 carry a message text (error_table.h); eight-digit
// site codes name the check that failed (module * 10000 + place).
#pragma once

#include "zoq/result.h"

namespace zoq {

// A stream that an operation needed was not built (no package open).
constexpr int kNoStream = 6;

enum PackageResult : int {
  kBadHeaderMagic = 5000,
  kBadPackageVersion = 5001,
  kBadHeaderField = 5002,
  kHeaderReadFailed = 5003,
  kHeaderWriteFailed = 5004,
  kHeaderPatchFailed = 5005,
  kNotInitialized = 5010,
  kEntryReadFailed = 5021,
  kChecksumFailed = 5022,
  kNameTableReadFailed = 5023,
  kItemListReadFailed = 5024,
  kBitStreamReadFailed = 5025,
  kBadNextEntry = 5026,
  kEntryHeaderWriteFailed = 5031,
  kEntryHeaderPatchFailed = 5032,
  kNameTableWriteFailed = 5033,
  kItemListWriteFailed = 5034,
  kBitStreamWriteFailed = 5035,
  kNextEntryPatchFailed = 5036,
  kBitStreamOffsetPatchFailed = 5037,
  kIllegalPath = 5050,
  kAddNodeFailed = 5051,
  kRemoveNodeFailed = 5052,
  kNoSuchNode = 5054,
  kContainerCreateFailed = 5060,
  kBadRevisionReference = 5061,
  kAddSchemaFailed = 5062,
  kSourceOpenFailed = 5063,
  kStoredDataProblem = 5064,
  kTempFileProblem = 5065,
  kTargetFileFailed = 5066,
  kSchemaFileMissing = 5068,
  kBadAddArguments = 5070,
  kAddSourceFailed = 5071,
  kReadOnlyPackage = 5072,
  kPackageChanged = 5073,       // another program changed the package since it was read
  kPackageLocked = 5074,        // another program held the package too long
  kOffsetWidthTooSmall = 5075,  // an offset or length beyond the package's offset width
};

// Site codes a caller may meet.
enum PackageSite : int {
  kSiteBadTableFlags = 10010036,
  kSiteTempDirCreate = 10010142,
  kSiteNoResourceDir = 10010158,
  kSiteTooManyCodes = 10020622,
  kSiteZeroCode = 10020627,
  kSitePathAboveRoot = 10040241,
  kSiteRawBufferTooSmall = 10050552,
  kSiteNoPackageOpen = 10050582,
  kSiteVersionCodeTooHigh = 10050586,  // code >= 258 for a version 1.0 package
  kSiteVersionCodeTooLow = 10050588,   // code < 258 for a version 1.1 package
  kSiteBadTableCompression = 10050605,
  kSiteAnchorWithoutRecords = 10050307,
  kSiteEmptyRecordList = 10051718,
  kSiteLocationEmptyList = 10051781,
  kSiteLocationDeleted = 10051785,
  kSiteBadAddCodes = 10051992,
  kSiteFirstCodeMismatch = 10052375,
  kSiteNoKey = 10052392,
  kSiteNoSchemaFound = 10053223,
  kSiteSxcWithoutTempDir = 10053449,
};

}  // namespace zoq
