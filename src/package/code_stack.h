// The decorator streams of the ECS codes: stacked over stored bytes to
// decode them, or over a sink to encode into it.
#pragma once

#include <functional>
#include <string>

#include "zoq/decode_options.h"
#include "zoq/stream.h"

namespace zoq {

struct CodeStackSettings {
  bool iv_header = false;  // ADM data carries its IV header
  std::string temp_dir;    // SXC works in it; empty: SXC is refused
  // The schema file in effect, asked for only when an SXC code is met.
  std::function<std::string()> schema;
  // SXC decoding limits: the stored size of the record the document came
  // from, the caller's text limit (0: the budget's), and where a failed
  // decode says why.
  int64_t stored_size = 0;
  int64_t max_output = 0;
  DecodeReport* report = nullptr;
};

// Wraps `inner` (taken over; destroyed on failure) in the closed decorator
// of `code`. ADM without a key answers kSiteNoKey; SXC without a temporary
// directory kSiteSxcWithoutTempDir, without a schema 5068; an unknown code `unknown`; a
// decorator that cannot be made its code at the site `site`.
Status WrapForCode(int code, Stream* inner, const KeyInfo* key, const CodeStackSettings& settings,
                int unknown, int site, Stream** out);

}  // namespace zoq
