#include "package/code_stack.h"

#include "zoq/codes.h"

namespace zoq {
namespace {

// The factory leaves `inner` to us when it did not take it over.
Status Make(int type, void* args, Stream** inner_slot, int site, Stream** out) {
  int code = CreateStream(kModeClose, args, out, type);
  if (code == kOk) return kOk;
  delete *inner_slot;
  *inner_slot = nullptr;
  return AtSite(code, site);
}

}  // namespace

Status WrapForCode(int code, Stream* inner, const KeyInfo* key, const CodeStackSettings& settings,
                int unknown, int site, Stream** out) {
  *out = nullptr;
  switch (code) {
    case kEcsZip: {
      DeflateStreamArgs args;
      args.inner = inner;
      return Make(kDeflateStream, &args, &args.inner, site, out);
    }
    case kEcsAdm: {
      if (key == nullptr || key->key == nullptr) break;
      AdmStreamArgs args;
      args.inner = inner;
      args.key = key->key;
      args.key_length = key->key_length;
      args.algorithm = key->algorithm;
      args.iv_header = settings.iv_header;
      return Make(kAdmStream, &args, &args.inner, site, out);
    }
    case kEcsSxc: {
      if (settings.temp_dir.empty()) {
        delete inner;
        return kSiteSxcWithoutTempDir;
      }
      std::string schema = settings.schema ? settings.schema() : std::string();
      if (schema.empty()) {
        delete inner;
        return kSchemaFileMissing;
      }
      SxcStreamArgs args;
      args.inner = inner;
      args.schema_path = schema;
      args.temp_dir = settings.temp_dir;
      args.stored_size = settings.stored_size;
      args.max_output = settings.max_output;
      args.report = settings.report;
      return Make(kSxcStream, &args, &args.inner, site, out);
    }
    default:
      delete inner;
      return unknown;
  }
  delete inner;
  return kSiteNoKey;
}

}  // namespace zoq
