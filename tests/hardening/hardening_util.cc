#include "hardening_util.h"

#include <dirent.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "stream/dynamic_memory_stream.h"
#include "zoq/sxc_tools.h"
#include "test_util.h"

namespace zoq::hardening {

const KeyInfo& TestKey() {
  static const uint8_t kKey[16] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77,
                                   0x88, 0x99, 0xaa, 0xbb, 0xcc, 0xdd, 0xee, 0xff};
  static const KeyInfo key{kKey, 16};
  return key;
}

std::string SxcData(const std::string& name) {
  return std::string(ZOQ_TEST_DATA_DIR) + "/sxc/" + name;
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr) << path;
  EXPECT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), f), bytes.size()) << path;
  EXPECT_EQ(std::fclose(f), 0) << path;
}

std::vector<std::string> FolderNames(const std::string& dir, const std::string& prefix) {
  std::vector<std::string> out;
  DIR* d = opendir(dir.c_str());
  if (d == nullptr) return out;
  while (dirent* e = readdir(d)) {
    const std::string name = e->d_name;
    if (name != "." && name != ".." && name.rfind(prefix, 0) == 0) out.push_back(name);
  }
  closedir(d);
  std::sort(out.begin(), out.end());
  return out;
}

int DecodeThrough(const std::vector<uint8_t>& sxc, std::shared_ptr<FaultPlan> plan,
                  const std::string& schema, std::vector<uint8_t>* xml) {
  xml->clear();
  SxcStreamArgs args;
  args.inner = FaultyMemory(sxc, plan).release();
  args.schema_path = schema;
  Stream* stream = nullptr;
  RegisterSxcStream();
  int code = CreateStream(kModeRead, &args, &stream, kSxcStream);
  if (code != kOk) return code;
  std::unique_ptr<Stream> owner(stream);
  return test::ReadAll(stream, xml);
}

int EncodeThrough(const std::vector<uint8_t>& xml, std::shared_ptr<FaultPlan> plan,
                  const std::string& schema, std::vector<uint8_t>* sxc) {
  // The decorator owns its inner stream; keep a way to read what it wrote.
  SxcStreamArgs args;
  auto* memory = new CVelDynamicMemoryStream();
  args.inner = new FaultStream(memory, plan);
  args.schema_path = schema;
  Stream* stream = nullptr;
  RegisterSxcStream();
  int code = CreateStream(kModeWrite, &args, &stream, kSxcStream);
  if (code != kOk) return code;
  std::unique_ptr<Stream> owner(stream);
  code = stream->Write(xml.data(), static_cast<int64_t>(xml.size()));
  const int close_code = stream->Close();
  if (code == kOk) code = close_code;
  // The inner stream is closed but keeps its blocks: read them back.
  *sxc = ContentOf(memory);
  return code;
}

std::vector<int64_t> Targets(int64_t count) {
  std::vector<int64_t> out;
  const int64_t dense = 300;
  for (int64_t k = 1; k <= count && k <= dense; ++k) out.push_back(k);
  if (count > dense) {
    const int64_t step = (count - dense) / 100 + 1;
    for (int64_t k = dense + step; k <= count; k += step) out.push_back(k);
    if (out.back() != count) out.push_back(count);
  }
  return out;
}

int SweepFaults(const std::vector<Op>& kinds, const std::function<int64_t(Op)>& count,
                const std::function<void(Op, int64_t, const std::string&)>& attempt) {
  int cases = 0;
  for (Op op : kinds) {
    for (int64_t k : Targets(count(op))) {
      ++cases;
      attempt(op, k, std::string(OpName(op)) + " #" + std::to_string(k));
      if (::testing::Test::HasFailure()) return cases;
    }
  }
  return cases;
}

}  // namespace zoq::hardening
