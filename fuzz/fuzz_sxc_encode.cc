// Encodes arbitrary XML text against one of a fixed set of schemas (the
// first input byte picks it). A document that encodes must decode again.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "fuzz_common.h"
#include "sxc/schema_codec.h"

namespace {

std::vector<std::unique_ptr<zoq::SchemaCodec>>* LoadCodecs() {
  auto* codecs = new std::vector<std::unique_ptr<zoq::SchemaCodec>>;
  const std::string bundled = zoq::fuzz::ResourceDir() + "/Resource/BinarySchema/";
  const std::string data = zoq::fuzz::SchemaDataDir() + "/";
  const std::string paths[] = {
      bundled + "PLIV_Full_v1.1.bsg", data + "doc_basic.bsg",   data + "rec_types.bsg",
      data + "fail_order.bsg",        data + "hb_choice0.bsg",  data + "multi_alpha.bsg",
      data + "plain_noopt.bsg",       data + "hb_bytecoder.bsg",
  };
  for (const std::string& path : paths) {
    try {
      std::string error;
      auto codec = zoq::SchemaCodec::Create(path, &error);
      if (codec) codecs->push_back(std::move(codec));
    } catch (...) {
    }
  }
  if (codecs->empty()) __builtin_trap();  // the build lost its schemas
  return codecs;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static auto* codecs = LoadCodecs();
  if (size < 1) return 0;
  zoq::SchemaCodec* codec = (*codecs)[data[0] % codecs->size()].get();
  std::vector<uint8_t> sxc;
  zoq::EncodeReport report;
  report.print_messages = false;
  if (!codec->EncodeDocument(reinterpret_cast<const char*>(data + 1), size - 1, &sxc, &report))
    return 0;
  std::string xml, error;
  if (!codec->DecodeToString(sxc.data(), sxc.size(), &xml, &error)) __builtin_trap();
  return 0;
}
