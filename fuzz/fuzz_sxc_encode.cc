// Encodes arbitrary XML text against one of a fixed set of schemas (the
// first input byte picks it). A document that encodes must decode again.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static auto* codecs = zoq::fuzz::LoadCodecs(
      {"PLIV_Full_v1.1.bsg"},
      {"doc_basic.bsg", "rec_types.bsg", "fail_order.bsg", "hb_choice0.bsg", "multi_alpha.bsg",
       "plain_noopt.bsg", "hb_bytecoder.bsg"});
  if (size < 1) return 0;
  zoq::SchemaCodec* codec = zoq::fuzz::PickCodec(*codecs, data[0]);
  std::vector<uint8_t> sxc;
  zoq::EncodeReport report;
  report.print_messages = false;
  if (!codec->EncodeDocument(reinterpret_cast<const char*>(data + 1), size - 1, &sxc, &report))
    return 0;
  std::string xml, error;
  if (!codec->DecodeToString(sxc.data(), sxc.size(), &xml, &error)) __builtin_trap();
  return 0;
}
