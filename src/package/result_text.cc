// The texts of result codes for any layer: package messages from the error
// table, short texts of the generic and stream codes, and for site codes the
// place they name.
#include <string>

#include "stream/stream_sites.h"
#include "zoq/codes.h"
#include "zoq/error_table.h"
#include "zoq/result.h"

namespace zoq {
namespace {

const char* GenericText(int code) {
  switch (code) {
    case kOk:
      return "success";
    case kFailed:
      return "operation failed";
    case kNotSupported:
      return "operation not supported";
    case kInvalidArgument:
      return "invalid argument";
    case kNoStream:
      return "no package open";
    case kNotPossible:
      return "not possible on this stream";
    case kOutOfMemory:
      return "out of memory";
    case kStreamNotOpen:
      return "stream not open";
    case kStreamWriteOnly:
      return "stream open for writing only";
    case kStreamReadOnly:
      return "stream open for reading only";
    case kCopyFailed:
      return "copying failed";
    case kCreateException:
      return "the stream could not be made";
    case kFileOpenFailed:
      return "the file cannot be opened";
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

}  // namespace

std::string Status::ToText() const {
  if (const char* text = PackageErrorText(code_)) return text;
  if (const char* text = GenericText(code_)) return text;
  const std::string number = std::to_string(code_);
  if (code_ >= 10000000 && code_ <= 99999999) {
    if (const char* module = ModuleName(code_ / 10000)) {
      const char* place = StreamSiteText(code_);
      return std::string(place != nullptr ? place : "failed") + " (" + module + ", site " + number +
             ")";
    }
  }
  return "error " + number;
}

}  // namespace zoq
