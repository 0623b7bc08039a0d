// Site codes of the stream layer: where in a stream an unspecified failure
// (or a check of its own) surfaced. A site code is module * 10000 + place;
// the numbers are part of what callers and logs see and never change.
#pragma once

namespace zoq {

enum StreamSite : int {
  // ADM stream (1201)
  kSiteAdmSkipCounterBlock = 12010101,
  kSiteAdmHeaderRewind = 12010120,
  kSiteAdmHeaderRead = 12010121,
  kSiteAdmHeaderShort = 12010122,
  kSiteAdmRandomCounter = 12010127,
  kSiteAdmHeaderWriteRewind = 12010132,
  kSiteAdmHeaderWrite = 12010133,
  kSiteAdmRead = 12010337,
  kSiteAdmDecodeFill = 12010353,
  kSiteAdmDecrypt = 12010354,
  kSiteAdmEncodeWrite = 12010422,
  kSiteAdmEncodeFlush = 12010423,
  kSiteAdmEncodeCounter = 12010427,
  kSiteAdmEncodeBlock = 12010516,
  // dynamic memory stream (1202)
  kSiteDynamicReadCount = 12020202,
  kSiteDynamicWriteArgs = 12020260,
  kSiteDynamicSeekEmpty = 12020343,
  kSiteDynamicSeekEndEmpty = 12020344,
  kSiteDynamicSeekRange = 12020372,
  kSiteDynamicSeekPastEnd = 12020378,
  kSiteDynamicSeekBeforeStart = 12020386,
  kSiteDynamicSkipAtEnd = 12020408,
  kSiteDynamicAccessClosed = 12020430,
  kSiteDynamicAccessRefused = 12020433,
  // file stream (1203)
  kSiteFileReadArgs = 12030349,
  kSiteFileTruncate = 12030477,
  kSiteFileSeekRange = 12030506,
  kSiteFileAccessClosed = 12030518,
  kSiteFileAccessRefused = 12030521,
  kSiteFileWindowLoad = 12030539,
  kSiteFileShrunk = 12030618,
  kSiteFileWrite = 12030624,
  // memory stream (1204)
  kSiteMemoryClear = 12040065,
  kSiteMemoryReadArgs = 12040150,
  kSiteMemorySetLength = 12040179,
  kSiteMemoryWriteArgs = 12040195,
  kSiteMemoryFull = 12040204,
  kSiteMemorySeekRange = 12040257,
  kSiteMemoryAccessClosed = 12040266,
  kSiteMemoryAccessRefused = 12040269,
  // sub-stream (1205)
  kSiteSubOpenInner = 12050066,
  kSiteSubOutsideInner = 12050069,
  kSiteSubPeek = 12050147,
  kSiteSubRead = 12050171,
  kSiteSubSeekRange = 12050199,
  kSiteSubSeekInner = 12050200,
  // stream utilities (1206)
  kSiteReadByte = 12060026,
  kSiteCopySourceRewind = 12060120,
  kSiteCopyDestinationSeek = 12060123,
  kSiteWholeRewind = 12060160,
  kSiteWholeRead = 12060172,
  kSiteWholeLength = 12060181,
  // decorating stream (1207)
  kSiteDecoratorClearReading = 12070059,
  kSiteDecoratorClearInner = 12070062,
  kSiteDecoratorRewindInner = 12070099,
  kSiteDecoratorRewindDecode = 12070126,
  kSiteDecoratorOpenInner = 12070140,
  kSiteDecoratorOpenStart = 12070141,
  kSiteDecoratorCloseInner = 12070167,
  kSiteDecoratorCloseFlush = 12070168,
  kSiteDecoratorPeek = 12070291,
  kSiteDecoratorReadCount = 12070306,
  kSiteDecoratorBlockIndex = 12070337,
  kSiteDecoratorBlockWindow = 12070341,
  kSiteDecoratorBlockLength = 12070348,
  kSiteDecoratorFlushEncode = 12070369,
  kSiteDecoratorFlushInner = 12070370,
  kSiteDecoratorWriteArgs = 12070382,
  kSiteDecoratorOverwrite = 12070386,
  kSiteDecoratorWriteBlock = 12070411,
  kSiteDecoratorWriteEncode = 12070416,
  kSiteDecoratorWriteStalled = 12070420,
  kSiteDecoratorSeekBeforeStart = 12070486,
  kSiteDecoratorSkipDecode = 12070505,
  kSiteDecoratorSkipPastEnd = 12070519,
  kSiteDecoratorSeekBack = 12070525,
  kSiteDecoratorSeekPastEnd = 12070526,
  // stream factory (1208)
  kSiteCreateFailed = 12080109,
  kSiteCreateOpen = 12080111,
  // deflate stream (1211)
  kSiteDeflateNoInflater = 12110075,
  kSiteDeflateInflateInit = 12110100,
  kSiteDeflateNoWindow = 12110112,
  kSiteDeflateReadInner = 12110127,
  kSiteDeflateNoDeflater = 12110178,
  kSiteDeflateDeflateInit = 12110202,
  kSiteDeflateWriteInner = 12110219,
};

// A short English text of a stream site code, or null for any other code.
const char* StreamSiteText(int code);

}  // namespace zoq
