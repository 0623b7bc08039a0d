// Opens a package held in memory and walks all of it: the folder tree, the
// information of every node, every part's content fully decoded and as
// stored, and the check bytes. Nothing may crash, hang or leak.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "fuzz_common.h"
#include "zoq/container.h"

namespace {

using zoq::Container;
using zoq::PathNode;

void ReadEveryVersion(Container* c, const std::u16string& path, const zoq::PartInfo& info) {
  for (const int code : {255, 0}) {
    zoq::DecodeOptions options{code, nullptr};
    int64_t length = 0;
    if (c->ReadPart(path, nullptr, &length, 0, &options) != 0) continue;
    if (length < 0) __builtin_trap();
    if (length > zoq::fuzz::kReadLimit) continue;
    std::vector<uint8_t> buffer(static_cast<size_t>(length) + 1);
    int64_t got = length;
    if (c->ReadPart(path, buffer.data(), &got, 0, &options) == 0 && (got < 0 || got > length))
      __builtin_trap();
  }
  // Older versions through a stream, every other one checking the stored
  // bytes as they pass.
  for (size_t i = 0; i < info.revisions.size() && i < 3; ++i) {
    zoq::Stream* raw = nullptr;
    zoq::DecodeOptions options{255, nullptr};
    options.check_stored = i % 2 == 0;
    if (c->OpenPart(path, &raw, info.revisions[i] + 1, &options, false) != 0) continue;
    std::unique_ptr<zoq::Stream> stream(raw);
    zoq::fuzz::ReadAll(stream.get(), static_cast<uint32_t>(i), nullptr);
  }
}

void Walk(Container* c, PathNode* node, int depth, int* budget) {
  if (node == nullptr || depth > 300 || --*budget < 0) return;
  zoq::PartInfo info;
  c->GetPartInfo(&info, node, 0).IgnoreError();  // damaged input may fail: only crashes count
  const std::u16string path = node->GetPath();
  if (!node->IsFolder()) {
    ReadEveryVersion(c, path, info);
    int64_t position = 0, stored = 0;
    c->GetPartLocation(path, &position, &stored).IgnoreError();  // only exercised
    c->IsPartSkippable(path);
  }
  c->GetPathKind(path);
  // A part and a folder of one name point at each other.
  if (PathNode* other = node->OtherOfSameName()) {
    if (other->OtherOfSameName() != node || other->IsFolder() == node->IsFolder()) __builtin_trap();
  }
  for (PathNode* child : node->Children()) Walk(c, child, depth + 1, budget);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string resource_dir = zoq::fuzz::ResourceDir();
  zoq::ContainerOptions options;
  options.resource_dir = resource_dir;
  Container* raw = nullptr;
  if (zoq::CreateContainer(&options, &raw) != 0) __builtin_trap();
  std::unique_ptr<Container> c(raw);
  if (c->OpenMemory(data, static_cast<int64_t>(size), 0) != 0) return 0;
  c->GetContainerVersion();
  const int revisions = c->GetRevisionCount();
  std::vector<std::u16string> parts;
  if (c->ListParts(u"/", &parts) != zoq::kOk) parts.clear();
  int budget = 300;
  Walk(c.get(), c->GetNode(u"/"), 0, &budget);
  // Failures are the expected answer to damaged input; only crashes count.
  c->VerifyChecks(false).IgnoreError();
  c->VerifyChecks(true).IgnoreError();
  // A PLIV main part selects a bundled schema; decode SXC parts against it.
  if (c->GetPathKind(u"/__main.xml") == zoq::kPathPart) {
    if (c->SetDocumentType(16, 257) != zoq::kOk) parts.clear();
    for (size_t i = 0; i < parts.size() && i < 20; ++i) {
      zoq::PartInfo info;
      if (c->GetPartInfoByPath(&info, parts[i], 0) == 0) ReadEveryVersion(c.get(), parts[i], info);
    }
  }
  // The package as it stood after its first revision.
  if (revisions > 1) {
    c->Close().IgnoreError();  // reopened just below
    if (c->OpenMemory(data, static_cast<int64_t>(size), 1) == 0) {
      budget = 200;
      Walk(c.get(), c->GetNode(u"/"), 0, &budget);
    }
  }
  c->ReleasePartCopies(u"*").IgnoreError();
  return 0;
}
