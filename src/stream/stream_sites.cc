// The texts of the stream layer's site codes.
#include "stream/stream_sites.h"

#include <algorithm>
#include <iterator>

namespace zoq {
namespace {

struct SiteText {
  int code;
  const char* text;
};

// In code order, for a binary search.
constexpr SiteText kSiteTexts[] = {
    {kSiteAdmSkipCounterBlock, "the inner stream cannot seek past the initial counter block"},
    {kSiteAdmHeaderRewind, "the inner stream cannot be rewound to read the counter block"},
    {kSiteAdmHeaderRead, "the initial counter block cannot be read"},
    {kSiteAdmHeaderShort, "the initial counter block is cut short"},
    {kSiteAdmRandomCounter, "no random initial counter block could be made"},
    {kSiteAdmHeaderWriteRewind, "the inner stream cannot be rewound to write the counter block"},
    {kSiteAdmHeaderWrite, "the initial counter block cannot be written"},
    {kSiteAdmRead, "the encrypted data cannot be read"},
    {kSiteAdmDecodeFill, "the encrypted data cannot be read into the window"},
    {kSiteAdmDecrypt, "the encrypted data cannot be read for decrypting"},
    {kSiteAdmEncodeWrite, "the encrypted data cannot be written"},
    {kSiteAdmEncodeFlush, "the encrypted data cannot be flushed"},
    {kSiteAdmEncodeCounter, "the counter cannot be prepared for writing"},
    {kSiteAdmEncodeBlock, "an encrypted block cannot be written"},
    {kSiteDynamicReadCount, "a negative read count"},
    {kSiteDynamicWriteArgs, "a write without bytes or with a negative count"},
    {kSiteDynamicSeekEmpty, "a seek away from the start of an empty stream"},
    {kSiteDynamicSeekEndEmpty, "a seek from the end of an empty stream"},
    {kSiteDynamicSeekRange, "a seek out of range"},
    {kSiteDynamicSeekPastEnd, "a seek past the end of the content"},
    {kSiteDynamicSeekBeforeStart, "a seek before the stream's start"},
    {kSiteDynamicSkipAtEnd, "a skip at the end of the content"},
    {kSiteDynamicAccessClosed, "an access change on a closed stream"},
    {kSiteDynamicAccessRefused, "an access change the stream does not allow"},
    {kSiteFileReadArgs, "a read without a buffer or with a negative count"},
    {kSiteFileTruncate, "the file cannot be truncated"},
    {kSiteFileSeekRange, "a seek out of range"},
    {kSiteFileAccessClosed, "an access change on a closed file"},
    {kSiteFileAccessRefused, "an access change the file does not allow"},
    {kSiteFileWindowLoad, "the read window cannot be loaded"},
    {kSiteFileShrunk, "the file became shorter than the write position"},
    {kSiteFileWrite, "the file cannot be written"},
    {kSiteMemoryClear, "the memory block cannot be rewound"},
    {kSiteMemoryReadArgs, "a read without a buffer or with a negative count"},
    {kSiteMemorySetLength, "a length beyond the memory block"},
    {kSiteMemoryWriteArgs, "a write without bytes or with a negative count"},
    {kSiteMemoryFull, "a write beyond the memory block"},
    {kSiteMemorySeekRange, "a seek out of range"},
    {kSiteMemoryAccessClosed, "an access change on a closed stream"},
    {kSiteMemoryAccessRefused, "an access change the stream does not allow"},
    {kSiteSubOpenInner, "the inner stream cannot be opened for reading"},
    {kSiteSubOutsideInner, "the window lies outside the inner stream"},
    {kSiteSubPeek, "the inner stream cannot be peeked"},
    {kSiteSubRead, "the inner stream cannot be read"},
    {kSiteSubSeekRange, "a seek outside the window"},
    {kSiteSubSeekInner, "the inner stream cannot seek"},
    {kSiteReadByte, "a byte cannot be read"},
    {kSiteCopySourceRewind, "the source cannot be rewound for copying"},
    {kSiteCopyDestinationSeek, "the destination cannot seek for copying"},
    {kSiteWholeRewind, "the stream cannot be rewound for reading whole"},
    {kSiteWholeRead, "the stream cannot be read whole"},
    {kSiteWholeLength, "the stream's content does not match its length"},
    {kSiteDecoratorClearReading, "a decorating stream open for reading cannot be cleared"},
    {kSiteDecoratorClearInner, "the inner stream cannot be cleared"},
    {kSiteDecoratorRewindInner, "the inner stream cannot be rewound"},
    {kSiteDecoratorRewindDecode, "decoding cannot start again from the beginning"},
    {kSiteDecoratorOpenInner, "the inner stream cannot be opened"},
    {kSiteDecoratorOpenStart, "the decorating stream cannot start"},
    {kSiteDecoratorCloseInner, "the inner stream cannot be closed"},
    {kSiteDecoratorCloseFlush, "the pending data cannot be flushed on close"},
    {kSiteDecoratorPeek, "no byte is available to peek"},
    {kSiteDecoratorReadCount, "a negative read count"},
    {kSiteDecoratorBlockIndex, "a block beyond the kept blocks"},
    {kSiteDecoratorBlockWindow, "the write window is not the last kept block"},
    {kSiteDecoratorBlockLength, "the kept length does not match the blocks"},
    {kSiteDecoratorFlushEncode, "the pending data cannot be encoded on flush"},
    {kSiteDecoratorFlushInner, "the inner stream cannot be flushed"},
    {kSiteDecoratorWriteArgs, "a write without bytes or with a negative count"},
    {kSiteDecoratorOverwrite, "written content cannot be overwritten"},
    {kSiteDecoratorWriteBlock, "the next block cannot be kept"},
    {kSiteDecoratorWriteEncode, "the full window cannot be encoded"},
    {kSiteDecoratorWriteStalled, "the window did not take the data"},
    {kSiteDecoratorSeekBeforeStart, "a seek before the start"},
    {kSiteDecoratorSkipDecode, "decoding cannot go forward to the position"},
    {kSiteDecoratorSkipPastEnd, "a seek past the end of the content"},
    {kSiteDecoratorSeekBack, "a seek back in a stream that keeps no content"},
    {kSiteDecoratorSeekPastEnd, "a seek past the end of the kept content"},
    {kSiteCreateFailed, "the stream could not be built"},
    {kSiteCreateOpen, "the new stream cannot be opened"},
    {kSiteDeflateNoInflater, "no decompressor for reading"},
    {kSiteDeflateInflateInit, "the decompressor cannot be started"},
    {kSiteDeflateNoWindow, "no memory for the decompressed data"},
    {kSiteDeflateReadInner, "the compressed data cannot be read"},
    {kSiteDeflateNoDeflater, "no compressor for writing"},
    {kSiteDeflateDeflateInit, "the compressor cannot be started"},
    {kSiteDeflateWriteInner, "the compressed data cannot be written"},
};

}  // namespace

const char* StreamSiteText(int code) {
  const auto* end = std::end(kSiteTexts);
  const auto* at = std::lower_bound(std::begin(kSiteTexts), end, code,
                                    [](const SiteText& s, int c) { return s.code < c; });
  return at != end && at->code == code ? at->text : nullptr;
}

}  // namespace zoq
