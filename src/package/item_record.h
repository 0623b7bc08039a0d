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

// Members are ordered for size: a package of 100,000 parts holds 100,000
// of these.
struct ItemRecord {
  int revision = 0;
  int sequence = 0;         // position after an order anchor, else 0
  int64_t item_number = 0;  // orders the tree: first stored first
  int type = kRecordNone;
  bool present = true;
  bool skippable = false;
  // The path of its index entry (text in the container's path pool).
  std::u16string_view path;
  int64_t data_offset = 0;  // from the entry's BitStream

  // Known once the data record has been read (data != null).
  std::unique_ptr<Stream> data;  // closed read-only window over the stored bytes
  int64_t stored_size = 0;
  std::array<uint8_t, 8> codes{};
  int code_count = 0;
  uint8_t check_byte = 0;

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
