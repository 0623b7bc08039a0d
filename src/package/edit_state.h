// What a Container keeps while it has unsaved changes: the working
// revision's mode, the temporary storage files that hold encoded data of
// pending records, and the identity of the package file as last read or
// written, which tells a save whether someone else changed the file.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "package/package_lock.h"
#include "zoq/stream.h"

namespace zoq {

// Sources this long or longer are encoded straight into a storage file of
// their own; shorter ones are encoded in memory first.
constexpr int64_t kLargeSource = 0x3200000;  // 50 MiB
// A storage file that grew beyond this gets no further records.
constexpr int64_t kStorageFileLimit = 0x40000000;  // 1 GiB

struct EditState {
  ~EditState();

  // entries_.back() is the working revision (not yet in the file).
  bool working = false;
  // The working revision's BitStream lies in the package file (a package
  // made by CreatePackage, before its first save).
  bool direct_write = false;
  int64_t bitstream = 0;   // B of the direct-write BitStream
  int64_t direct_end = 0;  // where its next data record goes

  // The storage file that small records are appended to.
  std::unique_ptr<Stream> current;
  std::string current_path;
  // Every storage file made so far; deleted when the state goes.
  std::vector<std::string> files;

  // A package made by CreatePackage without a target path lives here.
  std::string created_temp;

  // The package file as this container last read or wrote it.
  FileIdentity identity;
};

}  // namespace zoq
