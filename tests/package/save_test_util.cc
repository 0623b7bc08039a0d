#include "save_test_util.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

#include "package/temp_files.h"
#include "test_util.h"

namespace zoq::test {

ScratchDir::ScratchDir() {
  std::string templ = SystemTempDir() + "/zoq-save-test-XXXXXX";
  std::vector<char> buffer(templ.begin(), templ.end());
  buffer.push_back('\0');
  if (mkdtemp(buffer.data()) != nullptr) path_ = buffer.data();
}

ScratchDir::~ScratchDir() {
  if (!path_.empty()) RemoveTree(path_);
}

std::vector<uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

std::vector<uint8_t> TextLike(size_t size, uint32_t seed) {
  static const char* kWords[] = {"package ", "revision ", "entry ",  "part ",    "stream ",
                                 "<item>",   "</item>\n", "value=\"", "\" ",      "data ",
                                 "the ",     "of ",       "and ",    "record ", "0123 "};
  std::mt19937 random(seed);
  std::vector<uint8_t> out;
  out.reserve(size);
  while (out.size() < size) {
    const char* word = kWords[random() % 15];
    for (const char* p = word; *p && out.size() < size; ++p) out.push_back(*p);
  }
  return out;
}

std::map<std::string, std::vector<uint8_t>> Snapshot(Container* container,
                                                     const DecodeOptions* options) {
  std::map<std::string, std::vector<uint8_t>> out;
  std::vector<std::u16string> parts;
  if (container->ListParts(u"/", &parts) != kOk) return out;
  for (const std::u16string& part : parts) {
    std::vector<uint8_t> content;
    int code = ReadContent(container, part, 0, options, false, &content);
    if (code != kOk) content = Bytes("<unreadable " + std::to_string(code) + ">");
    out[U8(part)] = content;
  }
  return out;
}

std::map<std::string, std::vector<uint8_t>> SnapshotFile(const std::string& file, int* code,
                                                         int revision_limit) {
  auto container = MakeContainer();
  *code = revision_limit == 0 ? container->OpenFile(file, true)
                              : container->OpenFileAt(file, revision_limit);
  if (*code != kOk) return {};
  return Snapshot(container.get());
}

std::map<std::string, std::vector<uint8_t>> FileParts(const std::string& file,
                                                      int revision_limit) {
  int code = 0;
  auto parts = SnapshotFile(file, &code, revision_limit);
  EXPECT_EQ(code, kOk) << file;
  return parts;
}

std::map<std::string, std::vector<uint8_t>> SnapshotBytes(const std::vector<uint8_t>& bytes,
                                                          int* code) {
  auto container = MakeContainer();
  *code = container->OpenMemory(bytes.data(), static_cast<int64_t>(bytes.size()), 0);
  if (*code != kOk) return {};
  return Snapshot(container.get());
}

std::vector<uint8_t> RevisedPackage(int revisions) {
  auto c = MakeContainer(/*no_temp_dir=*/true);
  int code = c->CreatePackage("", 0, 0, 4, 0);
  if (code == kOk) code = AddBytes(c.get(), "/a.txt", Bytes("alpha"));
  if (code == kOk) code = AddBytes(c.get(), "/b.txt", TextLike(3000, 1), {2});
  if (code == kOk) code = c->Save(kSaveIncremental, false);
  if (code == kOk && revisions >= 2) {
    code = AddBytes(c.get(), "/c.txt", Bytes("gamma"));
    if (code == kOk) code = c->Save(kSaveIncremental, false);
  }
  if (code == kOk && revisions >= 3) {
    code = c->AppendToPartFromMemory(u"/c.txt", "-2", 2, nullptr, 0);
    if (code == kOk) code = AddBytes(c.get(), "/d/e.txt", TextLike(1500, 3));
    if (code == kOk) code = c->Save(kSaveIncremental, false);
  }
  int64_t length = 0;
  if (code == kOk) code = c->ReadRawPackage(nullptr, &length);
  if (code != kOk || length < 0) return {};
  std::vector<uint8_t> bytes(static_cast<size_t>(length));
  if (c->ReadRawPackage(bytes.data(), &length) != kOk) return {};
  return bytes;
}

int AddBytes(Container* container, const std::string& path, const std::vector<uint8_t>& content,
             std::vector<int> codes, bool skippable) {
  std::vector<EcsCodeArg> args;
  for (int code : codes) {
    EcsCodeArg arg;
    arg.code = code;
    args.push_back(arg);
  }
  return container->AddPartFromMemory(U16(path), content.data(),
                                      static_cast<int64_t>(content.size()), args.data(),
                                      static_cast<int>(args.size()), skippable);
}

std::unique_ptr<Container> SavedPackage(
    const std::string& file, const std::vector<std::pair<std::string, std::string>>& parts) {
  auto c = MakeContainer();
  EXPECT_EQ(c->CreatePackage(file, 0, 0, 4, 0), kOk);
  for (const auto& [path, text] : parts) {
    EXPECT_EQ(AddBytes(c.get(), path, Bytes(text)), kOk) << path;
  }
  EXPECT_EQ(c->Save(kSaveIncremental, false), kOk);
  if (testing::Test::HasFailure()) return nullptr;
  return c;
}

}  // namespace zoq::test
