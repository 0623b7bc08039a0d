// Decodes an SXC document against one of a fixed set of schemas: the bundled
// ones and the small test schemas. The first input byte picks the schema.
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
      bundled + "PLIV_Full_v1.0.bsg", bundled + "PLIV_Full_v1.1.bsg",
      bundled + "PLIV_Full_v1.2.bsg", data + "doc_basic.bsg",
      data + "rec_types.bsg",         data + "hb_choice0.bsg",
      data + "multi_alpha.bsg",       data + "blob_16383.bsg",
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
  std::string xml, error;
  codec->DecodeToString(data + 1, size - 1, &xml, &error);
  return 0;
}
