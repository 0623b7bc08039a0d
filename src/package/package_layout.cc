#include "zoq/package_layout.h"

#include <memory>

#include "zoq/codes.h"
#include "package/entry_chain.h"
#include "package/header.h"
#include "zoq/stream.h"

namespace zoq {

Status ReadPackageLayout(Stream* stream, int revision_limit, PackageLayout* out) {
  if (stream == nullptr || out == nullptr || revision_limit < 0) return kInvalidArgument;
  *out = PackageLayout{};
  int code = ReadHeader(stream, &out->header);
  if (code == kOk) code = ReadEntryChain(stream, out->header, revision_limit, &out->entries);
  if (code != kOk) *out = PackageLayout{};
  return code;
}

Status ReadPackageLayoutFile(const std::string& path, int revision_limit, PackageLayout* out) {
  FileStreamArgs args;
  args.path = path;
  args.shared = true;
  Stream* raw = nullptr;
  if (CreateStream(kModeRead, &args, &raw, kFileStream) != kOk) return kSourceOpenFailed;
  std::unique_ptr<Stream> stream(raw);
  return ReadPackageLayout(stream.get(), revision_limit, out);
}

}  // namespace zoq
