// A copy of the window's decryption key for work on another thread: the
// window may replace or drop its key while the work runs.
#pragma once

#include <QByteArray>

#include "zoq/decode_options.h"

namespace zoqe {

class OwnedKey {
 public:
  explicit OwnedKey(const zoq::KeyInfo* key) {
    if (key == nullptr) return;
    bytes_ = QByteArray(reinterpret_cast<const char*>(key->key), key->key_length);
    info_ = *key;
    info_.key = reinterpret_cast<const uint8_t*>(bytes_.constData());
    has_key_ = true;
  }
  OwnedKey(const OwnedKey&) = delete;
  OwnedKey& operator=(const OwnedKey&) = delete;

  // Null when there was no key.
  const zoq::KeyInfo* get() const { return has_key_ ? &info_ : nullptr; }

 private:
  QByteArray bytes_;
  zoq::KeyInfo info_;
  bool has_key_ = false;
};

}  // namespace zoqe
