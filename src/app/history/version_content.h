// A part's decoded content at one version, as the comparison shows it: its
// text (SXC as XML with one element per line), whether it is binary, and
// its size and SHA-256.
#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>
#include <cstdint>

#include "zoq/container.h"
#include "zoq/decode_options.h"

namespace zoqe {

struct VersionContent {
  bool exists = false;   // the part holds content at that version
  int code = 0;          // why it could not be read; 0 when it could
  bool binary = false;   // a zero byte in its first 8,000 bytes
  bool complete = true;  // false: longer than the text kept
  QByteArray text;       // the content, at most the limit given
  int64_t size = 0;      // bytes read
  QByteArray sha256;     // lower-case hexadecimal
};

// Reads the part at `path` as it was at `version` (0: as the package is
// open now, changes not yet saved included), keeping at most `text_limit`
// bytes of text; the size and SHA-256 cover all of it. Any thread. Stops
// with kFailed once `cancel` (when given) is set; adds the bytes read to
// `*read` (when given) as it goes.
VersionContent ReadVersionContent(zoq::Container* package, const QString& path, int version,
                                  const zoq::KeyInfo* key, int64_t text_limit,
                                  const std::atomic<bool>* cancel = nullptr,
                                  std::atomic<int64_t>* read = nullptr);

}  // namespace zoqe
