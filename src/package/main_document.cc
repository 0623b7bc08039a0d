#include "zoq/main_document.h"

#include "zoq/codes.h"
#include "zoq/container.h"
#include "zoq/decode_options.h"

namespace zoq {
namespace {

const char* SubsetName(int subset_kind) {
  switch (subset_kind) {
    case 16: return "PLIV_Full";
    case 8: return "PLIV_M";
    case 2: return "PLIV_P";
    case 1: return "PLIV_A";
    default: return nullptr;
  }
}

const char* VersionName(int version_code) {
  switch (version_code) {
    case 256: return "1.0";
    case 257: return "1.1";
    case 258: return "1.2";
    default: return nullptr;
  }
}

}  // namespace

std::string MainDocumentText(int subset_kind, int version_code) {
  const char* subset = SubsetName(subset_kind);
  const char* version = VersionName(version_code);
  if (subset == nullptr || version == nullptr) return {};
  return std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<pliv SubsetType=\"") + subset +
         "\" Version=\"" + version + "\"/>\n";
}

Status WriteMainDocument(Container* container, int subset_kind, int version_code) {
  std::string text = MainDocumentText(subset_kind, version_code);
  if (container == nullptr || text.empty()) return kInvalidArgument;
  const EcsCodeArg zip[] = {{kEcsZip, nullptr}};
  return container->AddPartFromMemory(kMainDocumentPath, text.data(),
                                      static_cast<int64_t>(text.size()), zip, 1, false);
}

}  // namespace zoq
