// The texts of result codes for any layer: package messages from the error
// table in the chosen language, short English texts of the generic and
// stream codes, and for site codes the place they name.
#include <string>

#include "package/package_sites.h"
#include "stream/stream_sites.h"
#include "sxc/sxc_sites.h"
#include "zoq/codes.h"
#include "zoq/error_table.h"
#include "zoq/result.h"

namespace zoq {
namespace {

// The texts of the generic and stream codes, worded for the user of a
// program built on the library.
const char* GenericText(int code) {
  switch (code) {
    case kOk:
      return "success";
    case kFailed:
      return "the operation failed";
    case kNotSupported:
      return "not supported by this version of the library";
    case kInvalidArgument:
      return "invalid argument";
    case kNoStream:
      return "no package is open";
    case kNotPossible:
      return "not possible on this stream";
    case kOutOfMemory:
      return "out of memory";
    case kStreamNotOpen:
      return "stream not open";
    case kStreamWriteOnly:
      return "stream is write-only";
    case kStreamReadOnly:
      return "stream is read-only";
    case kCopyFailed:
      return "copying stream content failed";
    case kCreateException:
      return "a stream could not be created";
    case kFileOpenFailed:
      return "cannot open file";
    case kEncodeFailed:
      return "encoding failed";
    case kDecodeFailed:
      return "decoding failed (damaged or undecodable data)";
    case kBadOpenMode:
      return "bad open mode";
    default:
      return nullptr;
  }
}

// The part of the library a site code's module number stands for.
const char* ModuleName(int module) {
  switch (module) {
    case 1001:
      return "package files";
    case 1002:
      return "part records";
    case 1004:
      return "package paths and reading";
    case 1005:
      return "package";
    case 1201:
      return "ADM stream";
    case 1202:
      return "dynamic memory stream";
    case 1203:
      return "file stream";
    case 1204:
      return "memory stream";
    case 1205:
      return "sub-stream";
    case 1206:
      return "stream utilities";
    case 1207:
      return "decorating stream";
    case 1208:
      return "stream factory";
    case 1210:
      return "SXC stream";
    case 1211:
      return "deflate stream";
    default:
      return nullptr;
  }
}

const char* SiteText(int code) {
  if (const char* text = PackageSiteText(code)) return text;
  if (const char* text = SxcSiteText(code)) return text;
  return StreamSiteText(code);
}

}  // namespace

const char* ResultCodeText(int code, MessageLanguage language) {
  if (const char* text = PackageErrorText(code, language)) return text;
  if (const char* text = GenericText(code)) return text;
  return SiteText(code);
}

std::string Status::ToText() const { return ToText(MessageLanguageFromEnvironment()); }

std::string Status::ToText(MessageLanguage language) const {
  const char* text = ResultCodeText(code_, language);
  const bool site = code_ >= 10000000 && code_ <= 99999999;
  if (const char* module = site ? ModuleName(code_ / 10000) : nullptr) {
    return std::string(text != nullptr ? text : "failed") + " (" + module + ", site " +
           std::to_string(code_) + ")";
  }
  return text != nullptr ? text : "error " + std::to_string(code_);
}

}  // namespace zoq
