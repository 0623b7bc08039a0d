// Part content encoded ahead of filing it in a container
// (Container::EncodePartFromStream / EncodePartFromFile, AddEncodedPart).
// Encoding is the expensive half of adding a part and needs nothing of the
// package but a few settings, so it runs without the container's lock;
// filing takes the lock only to store the bytes and record the part.
//
// The encoded bytes live in memory (sources below 50 MiB) or in a storage
// file of their own in the container's temporary directory, which is
// deleted with the object unless the container took it over.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "zoq/export.h"
#include "zoq/stream.h"

namespace zoq {

class ZOQ_EXPORT EncodedPart {
 public:
  EncodedPart() = default;
  ~EncodedPart();
  EncodedPart(const EncodedPart&) = delete;
  EncodedPart& operator=(const EncodedPart&) = delete;

  // Length of the encoded bytes.
  int64_t stored_size() const { return size_; }

 private:
  friend class PackageEditor;

  // Lets go of the bytes (once filed, or when the object goes).
  void Drop();

  const void* owner_ = nullptr;  // the container that encoded it
  std::array<uint8_t, 8> codes_{};
  int code_count_ = 0;
  bool iv_header_ = false;  // ADM data carries its IV header
  bool uses_adm_ = false;
  bool uses_sxc_ = false;
  // The closed encoder stack; it owns the memory sink that holds the bytes.
  std::unique_ptr<Stream> encoder_;
  Stream* memory_ = nullptr;  // open for reading; null for a file
  std::string file_;          // own storage file; empty for memory
  int64_t size_ = 0;
  uint8_t check_ = 0;  // exclusive-or of the bytes of a file (memory: computed when stored)
};

}  // namespace zoq
