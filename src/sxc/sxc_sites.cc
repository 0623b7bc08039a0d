// The texts of the SXC conversion stream's site codes.
#include "sxc/sxc_sites.h"

#include "stream/site_text.h"

namespace zoq {
namespace {

// In code order, for a binary search.
constexpr SiteText kSiteTexts[] = {
    {kSiteSxcDecodeSourceCreate, "no temporary file for the stored SXC content could be made"},
    {kSiteSxcDecodeSourceOpen, "the temporary file for the stored SXC content cannot be opened"},
    {kSiteSxcDecodeCopyIn, "the stored SXC content cannot be copied for decoding"},
    {kSiteSxcDecodeSourceClose, "the stored SXC content cannot be closed for decoding"},
    {kSiteSxcDecodeTargetCreate, "no stream over the decoded XML file could be made"},
    {kSiteSxcDecodeTargetOpen, "the decoded XML file cannot be opened"},
    {kSiteSxcDecodeReadResult, "the decoded XML cannot be read whole"},
    {kSiteSxcEncodeClearEmpty, "the inner stream cannot be cleared for empty content"},
    {kSiteSxcEncodeFlushEmpty, "the inner stream cannot be flushed for empty content"},
    {kSiteSxcEncodeSourceCreate, "no temporary file for the XML to encode could be made"},
    {kSiteSxcEncodeSourceOpen, "the temporary file for the XML to encode cannot be opened"},
    {kSiteSxcEncodeBlockCount, "the written XML does not fill its blocks"},
    {kSiteSxcEncodeWriteBlock, "a block of the XML to encode cannot be written"},
    {kSiteSxcEncodeWriteLastBlock, "the last block of the XML to encode cannot be written"},
    {kSiteSxcEncodeSourceClose, "the XML to encode cannot be closed"},
    {kSiteSxcEncodeTargetCreate, "no stream over the encoded SXC file could be made"},
    {kSiteSxcEncodeTargetOpen, "the encoded SXC file cannot be opened"},
    {kSiteSxcEncodeClearInner, "the inner stream cannot be cleared for the encoded content"},
    {kSiteSxcEncodeCopyOut, "the encoded SXC content cannot be copied into the inner stream"},
};
static_assert(InCodeOrder(kSiteTexts));

}  // namespace

const char* SxcSiteText(int code) { return FindSiteText(kSiteTexts, code); }

}  // namespace zoq
