// One Item List record in memory, and one entry (revision) of an open
// package.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "zoq/package_layout.h"
#include "zoq/stream.h"

namespace zoq {

// What a record's data record says: read when the part is first read, or
// set when the record is written.
struct StoredData {
  std::unique_ptr<Stream> data;  // closed read-only window over the stored bytes
  int64_t stored_size = 0;
  std::array<uint8_t, 8> codes{};
  int code_count = 0;
  uint8_t check_byte = 0;
};

// Members are ordered and sized for space: a package of 100,000 parts
// holds 100,000 of these, most of which are never read.
struct ItemRecord {
  // Orders the tree (first stored first): records are numbered as they are
  // loaded or added, and a package holds fewer than 2^31 records (the
  // reader allows one per byte of the file, and no more than that).
  int32_t item_number = 0;
  int revision = 0;
  int sequence = 0;  // position after an order anchor, else 0
 private:
  uint16_t path_length_ = 0;

 public:
  int type : 5 = kRecordNone;
  bool present : 1 = true;
  bool skippable : 1 = false;
  int64_t data_offset = 0;  // from the entry's BitStream

 private:
  const char16_t* path_text_ = nullptr;

 public:
  std::unique_ptr<StoredData> stored;  // null until read or written

  // The path of its index entry (text in the container's path pool); a
  // normalized package path, so never longer than a few hundred code units.
  std::u16string_view path() const { return {path_text_, path_length_}; }
  void SetPath(std::u16string_view path) {
    path_text_ = path.data();
    path_length_ = static_cast<uint16_t>(path.size());
  }

  // The stored facts, made (empty) when there are none yet.
  StoredData& Stored() {
    if (!stored) stored = std::make_unique<StoredData>();
    return *stored;
  }
  // Drops the window over the stored bytes (read again when needed).
  void DropWindow() {
    if (stored) stored->data.reset();
  }

  bool HasData() const {
    return type == kRecordCreated || type == kRecordAppended || type == kRecordReplaced;
  }
  bool IsFull() const { return type == kRecordCreated || type == kRecordReplaced; }
};

struct Entry {
  EntryFacts facts;  // facts.records stays empty: the records live below
  std::deque<ItemRecord> records;  // Item List order; elements never move
};

// Reads the data record of `record` (check byte, stored length, ECS codes)
// and makes its window over the package stream. Failures: a data offset of
// 0, a negative BitStream offset, a record that cannot be read or whose data
// runs past the end of the file 5025; more than 7 codes kSiteTooManyCodes; a code 0
// kSiteZeroCode.
Status LoadDataRecord(Stream* package, int64_t bitstream, int width, ItemRecord* record);

}  // namespace zoq
