#include "test_util.h"

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace zoq::test {

std::string DataDir() { return std::string(ZOQ_TEST_DATA_DIR) + "/sxc"; }

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
  const std::string text = ReadFile(path);
  return std::vector<uint8_t>(text.begin(), text.end());
}

bool FileExists(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0;
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

std::string TempPath(const std::string& suffix) {
  static std::atomic<int> counter{0};
  const char* dir = getenv("TMPDIR");
  return std::string(dir != nullptr && *dir ? dir : "/tmp") + "/zoq_sxc_test_" + std::to_string(getpid()) +
         "_" + std::to_string(counter++) + suffix;
}

std::unique_ptr<SchemaCodec> CorpusCodec(const std::string& name) {
  return SchemaCodec::Create(DataDir() + "/" + name + ".bsg");
}

bool Encode(SchemaCodec& codec, const std::string& xml, std::vector<uint8_t>* sxc, EncodeReport* report) {
  report->print_messages = false;
  return codec.EncodeDocument(xml.data(), xml.size(), sxc, report);
}

std::string RoundTrip(SchemaCodec& codec, const std::string& xml) {
  std::vector<uint8_t> sxc;
  EncodeReport report;
  if (!Encode(codec, xml, &sxc, &report)) return "FAILED: " + report.reason;
  std::string out, error;
  if (!codec.DecodeToString(sxc.data(), sxc.size(), &out, &error)) return "DECODE FAILED: " + error;
  return out;
}

}  // namespace zoq::test
