// Decodes an SXC document against one of a fixed set of schemas: the bundled
// ones and the small test schemas. The first input byte picks the schema.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_common.h"
#include "sxc/decode_budget.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static auto* codecs = zoq::fuzz::LoadCodecs(
      {"PLIV_Full_v1.0.bsg", "PLIV_Full_v1.1.bsg", "PLIV_Full_v1.2.bsg"},
      {"doc_basic.bsg", "rec_types.bsg", "hb_choice0.bsg", "multi_alpha.bsg", "blob_16383.bsg"});
  if (size < 1) return 0;
  std::string xml, error;
  // The codec holds each document to the budget of its size, as every
  // reader does: what decodes stays within it.
  if (zoq::fuzz::PickCodec(*codecs, data[0])->DecodeToString(data + 1, size - 1, &xml, &error) &&
      xml.size() > zoq::SxcDecodeBudget(size - 1).text) {
    __builtin_trap();
  }
  return 0;
}
