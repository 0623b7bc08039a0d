// The texts of the package layer's site codes.
#include "package/package_sites.h"

#include "stream/site_text.h"
#include "zoq/codes.h"

namespace zoq {
namespace {

// In code order, for a binary search.
constexpr SiteText kSiteTexts[] = {
    {kSiteBadTableFlags, "unknown table compression flags"},
    {kSiteTempDirCreate, "no temporary folder could be made"},
    {kSiteNoResourceDir, "no resource folder was given"},
    {kSiteTooManyCodes, "a data record lists more than 7 ECS codes"},
    {kSiteZeroCode, "a data record lists the ECS code 0"},
    {kSiteUnknownAddCode, "an unknown ECS code to add"},
    {kSiteTooManyAddCodes, "more ECS codes to add than a record holds"},
    {kSiteEncodedSize, "the encoded content was not written whole"},
    {kSiteReadLength, "a read of no bytes or into no buffer"},
    {kSiteReadFailed, "the package cannot be read"},
    {kSiteReadShort, "the package ends before the data it should hold"},
    {kSitePathAboveRoot, "the path goes above the root folder"},
    {kSiteDirectWrite, "the content cannot be written into the package"},
    {kSiteAnchorWithoutRecords, "the part has no records to anchor on"},
    {kSiteRawBufferTooSmall, "the buffer is smaller than the package"},
    {kSiteRawSeek, "the package's length cannot be told"},
    {kSiteRawRestore, "the package's read position cannot be restored"},
    {kSiteNoPackageOpen, "no package is open"},
    {kSiteVersionCodeTooHigh, "document version 258 or above needs a version 1.1 package"},
    {kSiteVersionCodeTooLow, "document version below 258 needs a version 1.0 package"},
    {kSiteBadTableCompression, "unknown table compression flags"},
    {kSiteSaveNoTarget, "the package has no file or stream to save into"},
    {kSiteSaveReopen, "saved, but the package cannot be read again"},
    {kSiteSaveBadHeader, "the package has no header or an unknown version"},
    {kSiteSaveAsEmptyPath, "no file name to save as"},
    {kSiteEmptyRecordList, "the part has no records"},
    {kSiteLocationEmptyList, "the part has no records"},
    {kSiteLocationDeleted, "the part is deleted"},
    {kSiteBadAddCodes, "a bad list of ECS codes to add"},
    {kSiteNoSourceStream, "no source stream to add"},
    {kSiteNoHeader, "the package has no header"},
    {kSiteFirstCodeMismatch, "the part's first ECS code is not the code asked for"},
    {kSiteNoKey, "the part is encrypted and no key was given"},
    {kSiteReencodeCodes, "unknown or too many ECS codes to encode again"},
    {kSiteNoSchemaFound, "no binary schema file found"},
    {kSiteSxcWithoutTempDir, "SXC content needs a temporary folder"},
};
static_assert(InCodeOrder(kSiteTexts));

}  // namespace

const char* PackageSiteText(int code) { return FindSiteText(kSiteTexts, code); }

}  // namespace zoq
