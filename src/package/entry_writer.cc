#include "package/entry_writer.h"

#include <openssl/evp.h>

#include <cstring>
#include <memory>

#include "package/byte_io.h"
#include "zoq/codes.h"
#include "package/header.h"
#include "package/path.h"
#include "zoq/utf.h"
#include "stream/dynamic_memory_stream.h"

namespace zoq {
namespace {

int ItemRecordSize(int width) { return 17 + width; }

Status WriteAt(Stream* out, int64_t offset, const void* bytes, int64_t count) {
  if (out->Seek(offset, kSeekSet) != kOk) return kFailed;
  return out->Write(bytes, count) == kOk ? kOk : kFailed;
}

Status WriteTable(Stream* out, const std::vector<uint8_t>& table) {
  if (table.empty()) return kOk;
  return out->Write(table.data(), static_cast<int64_t>(table.size())) == kOk ? kOk : kFailed;
}

// The stored tables and the digest over them.
struct StoredTables {
  std::vector<uint8_t> names;
  std::vector<uint8_t> items;
  uint8_t digest[16] = {};
};

Status PrepareTables(const std::vector<RecordToWrite>& records, int width, int version,
                  uint8_t flags, StoredTables* out) {
  std::vector<uint8_t> plain;
  int code = BuildNameTable(records, &plain);
  if (code != kOk) return code;
  if (flags & 1) {
    if (DeflateTable(plain, &out->names) != kOk) return kNameTableWriteFailed;
  } else {
    out->names = std::move(plain);
  }
  code = BuildItemList(records, width, version, &plain);
  if (code != kOk) return code;
  if (flags & 2) {
    if (DeflateTable(plain, &out->items) != kOk) return kItemListWriteFailed;
  } else {
    out->items = std::move(plain);
  }
  std::unique_ptr<EVP_MD_CTX, void (*)(EVP_MD_CTX*)> md(EVP_MD_CTX_new(), EVP_MD_CTX_free);
  unsigned int length = 0;
  if (!md || EVP_DigestInit_ex(md.get(), EVP_md5(), nullptr) != 1 ||
      EVP_DigestUpdate(md.get(), out->names.data(), out->names.size()) != 1 ||
      EVP_DigestUpdate(md.get(), out->items.data(), out->items.size()) != 1 ||
      EVP_DigestFinal_ex(md.get(), out->digest, &length) != 1 || length != 16) {
    return kItemListWriteFailed;
  }
  return kOk;
}

// Writes entry header, Name Table and Item List at the end of `out`; the
// BitStream offset is `bitstream` (0 as a placeholder).
Status WriteTablesAtEnd(Stream* out, int width, uint8_t flags, int64_t bitstream,
                     const StoredTables& tables, EntryFacts* facts) {
  if (out->Seek(0, kSeekEnd) != kOk) return kEntryHeaderWriteFailed;
  const int64_t entry = out->Tell();
  if (entry < 0) return kEntryHeaderWriteFailed;
  const uint64_t fixed = kEntryFixedSize + 2 * width;
  const uint64_t length = fixed + tables.names.size() + tables.items.size();
  if (length > UINT32_MAX || tables.names.size() >= length) return kEntryHeaderWriteFailed;
  if (!FitsWidth(static_cast<uint64_t>(entry), width) ||
      !FitsWidth(static_cast<uint64_t>(bitstream), width)) {
    return kOffsetWidthTooSmall;
  }
  uint8_t head[kEntryFixedSize + 16] = {};
  std::memcpy(head, "C.En", 4);
  StoreLittle(head + 4, length, 4);
  StoreLittle(head + 8, static_cast<uint64_t>(bitstream), width);
  StoreLittle(head + 8 + width, 0, width);
  head[8 + 2 * width] = flags;
  std::memcpy(head + 9 + 2 * width, tables.digest, 16);
  StoreLittle(head + 25 + 2 * width, tables.names.size(), 4);
  if (out->Write(head, static_cast<int64_t>(fixed)) != kOk) return kEntryHeaderWriteFailed;
  if (WriteTable(out, tables.names) != kOk) return kNameTableWriteFailed;
  if (WriteTable(out, tables.items) != kOk) return kItemListWriteFailed;
  facts->offset = entry;
  facts->bitstream = bitstream;
  facts->next = 0;
  facts->length = static_cast<uint32_t>(length);
  facts->name_table_length = static_cast<uint32_t>(tables.names.size());
  facts->table_flags = flags;
  return kOk;
}

}  // namespace

void StoreLittle(uint8_t* p, uint64_t value, int width) {
  for (int i = 0; i < width; ++i) {
    p[i] = static_cast<uint8_t>(value);
    value >>= 8;
  }
}

bool FitsWidth(uint64_t value, int width) {
  if (width == 8) return value <= static_cast<uint64_t>(INT64_MAX);
  if (width != 2 && width != 4) return false;
  return value < (uint64_t{1} << (8 * width));
}

Status WriteHeader(Stream* out, const HeaderFacts& header) {
  const int width = header.width;
  if ((width != 2 && width != 4 && width != 8) || header.entry_count < 0 ||
      (header.version != 0x0100 && header.version != 0x0101) ||
      !FitsWidth(static_cast<uint64_t>(header.first_entry), width)) {
    return kHeaderWriteFailed;
  }
  uint8_t bytes[kHeaderFixedSize + 8] = {};
  std::memcpy(bytes, "@ZOQ", 4);
  bytes[14] = static_cast<uint8_t>(header.version >> 8);
  bytes[15] = static_cast<uint8_t>(header.version);
  StoreLittle(bytes + 16, static_cast<uint32_t>(header.entry_count), 4);
  bytes[20] = 0;
  bytes[21] = static_cast<uint8_t>(width);
  StoreLittle(bytes + kHeaderFixedSize, static_cast<uint64_t>(header.first_entry), width);
  if (WriteAt(out, 0, bytes, kHeaderFixedSize + width) != kOk) return kHeaderWriteFailed;
  return kOk;
}

Status BuildNameTable(const std::vector<RecordToWrite>& records, std::vector<uint8_t>* out) {
  out->assign(4, 0);
  StoreLittle(out->data(), records.size(), 4);
  if (records.size() > INT32_MAX) return kNameTableWriteFailed;
  int32_t key = 0;
  for (const RecordToWrite& record : records) {
    if (!IsNormalizedPath(record.path) || record.path.size() < 2) return kNameTableWriteFailed;
    std::string utf8 = Utf16ToUtf8Lenient(record.path);
    // An unpaired surrogate would be stored as a different path.
    std::u16string back;
    if (!Utf8ToUtf16Strict(utf8, &back) || back != record.path) return kNameTableWriteFailed;
    uint8_t name_key[16] = {};
    StoreLittle(name_key, static_cast<uint32_t>(++key), 4);
    out->insert(out->end(), name_key, name_key + 16);
    out->insert(out->end(), utf8.begin(), utf8.end());
    out->push_back(0);
  }
  return kOk;
}

Status BuildItemList(const std::vector<RecordToWrite>& records, int width, int version,
                  std::vector<uint8_t>* out) {
  const size_t size = ItemRecordSize(width);
  out->assign((records.size() + 1) * size, 0);
  uint8_t* p = out->data();
  int64_t first_skippable = 0;
  int32_t key = 0;
  for (const RecordToWrite& record : records) {
    if (record.type < kRecordNone || record.type > kRecordDeleted) return kItemListWriteFailed;
    const bool data = record.type >= kRecordCreated && record.type <= kRecordReplaced;
    if (data && record.data_offset < 4) return kItemListWriteFailed;
    const bool skippable = version == 0x0101 && record.skippable;
    p[0] = static_cast<uint8_t>(record.type | (skippable ? 0x10 : 0));
    StoreLittle(p + 1, data ? static_cast<uint64_t>(record.data_offset) : 0, width);
    StoreLittle(p + 1 + width, static_cast<uint32_t>(++key), 4);
    if (data && skippable && first_skippable == 0) first_skippable = record.data_offset;
    p += size;
  }
  p[0] = kRecordListEnd;
  StoreLittle(p + 1, static_cast<uint64_t>(first_skippable), width);
  return kOk;
}

Status DeflateTable(const std::vector<uint8_t>& plain, std::vector<uint8_t>* out) {
  out->clear();
  auto* memory = new CVelDynamicMemoryStream();
  DeflateStreamArgs args;
  args.inner = memory;
  Stream* deflater = nullptr;
  if (memory->Open(kModeReadWriteNew) != kOk ||
      CreateStream(kModeWrite, &args, &deflater, kDeflateStream) != kOk) {
    delete args.inner;
    return kFailed;
  }
  std::unique_ptr<Stream> stream(deflater);
  if (!plain.empty() && stream->Write(plain.data(), static_cast<int64_t>(plain.size())) != kOk) {
    return kFailed;
  }
  if (stream->Flush() != kOk) return kFailed;
  // Closing the decorator finishes the compressed stream; the memory keeps
  // its blocks after Close and can be read back.
  if (stream->Close() != kOk) return kFailed;
  if (memory->Open(kModeRead) != kOk) return kFailed;
  const int64_t length = memory->GetLength();
  if (length <= 0) return kFailed;
  out->resize(static_cast<size_t>(length));
  if (ReadExact(memory, out->data(), length) != kOk) return kFailed;
  return kOk;
}

Status AssignDataOffsets(std::vector<RecordToWrite>* records, int width) {
  int64_t next = 4;
  for (RecordToWrite& record : *records) {
    if (record.type < kRecordCreated || record.type > kRecordReplaced) {
      record.data_offset = 0;
      continue;
    }
    if (record.stored_size < 0 || record.code_count < 0 || record.code_count > 7) {
      return kBitStreamWriteFailed;
    }
    if (!FitsWidth(static_cast<uint64_t>(next), width) ||
        !FitsWidth(static_cast<uint64_t>(record.stored_size), width)) {
      return kOffsetWidthTooSmall;
    }
    record.data_offset = next;
    const int64_t size = 2 + width + record.code_count;
    if (record.stored_size > INT64_MAX - next - size) return kBitStreamWriteFailed;
    next += size + record.stored_size;
  }
  return kOk;
}

Status WriteDataRecord(Stream* out, int width, const uint8_t* codes, int code_count, Stream* data,
                    int64_t expected_size, uint8_t* check_byte, int64_t* stored_size) {
  if (code_count < 0 || code_count > 7 || data == nullptr) return kBitStreamWriteFailed;
  const int64_t start = out->Tell();
  if (start < 0) return kBitStreamWriteFailed;
  uint8_t head[1 + 8 + 8] = {};
  for (int i = 0; i < code_count; ++i) {
    if (codes[i] == 0 || codes[i] == 0xFF) return kBitStreamWriteFailed;
    head[1 + width + i] = codes[i];
  }
  head[1 + width + code_count] = 0xFF;
  if (out->Write(head, 2 + width + code_count) != kOk) return kBitStreamWriteFailed;
  const int64_t data_start = start + 2 + width + code_count;
  uint8_t check = 0;
  // A stream opened here is closed again at once, so that writing many
  // records never holds more than one read window at a time.
  const bool opened_here = !data->IsOpen();
  if (opened_here && data->Open(kModeRead) != kOk) return kBitStreamWriteFailed;
  const int copied = CopyStream(out, data, &check, kSeekCur, 0);
  if (opened_here) data->Close().IgnoreError();  // opened for reading only
  if (copied != kOk) return kBitStreamWriteFailed;
  const int64_t end = out->Tell();
  if (end < data_start) return kBitStreamWriteFailed;
  const int64_t size = end - data_start;
  if (expected_size >= 0 && size != expected_size) return kBitStreamWriteFailed;
  if (!FitsWidth(static_cast<uint64_t>(size), width)) return kOffsetWidthTooSmall;
  head[0] = check;
  StoreLittle(head + 1, static_cast<uint64_t>(size), width);
  if (WriteAt(out, start, head, 1 + width) != kOk) return kBitStreamWriteFailed;
  if (out->Seek(end, kSeekSet) != kOk) return kBitStreamWriteFailed;
  if (check_byte) *check_byte = check;
  if (stored_size) *stored_size = size;
  return kOk;
}

Status WriteEntry(Stream* out, int width, int version, uint8_t table_flags,
               std::vector<RecordToWrite>* records, EntryFacts* facts) {
  if ((table_flags & ~3) != 0) return kEntryHeaderWriteFailed;
  int code = AssignDataOffsets(records, width);
  if (code != kOk) return code;
  StoredTables tables;
  code = PrepareTables(*records, width, version, table_flags, &tables);
  if (code != kOk) return code;
  // Every offset is known now: refuse before writing anything when the
  // BitStream would start beyond what the width can address.
  if (out->Seek(0, kSeekEnd) != kOk || out->Tell() < 0) return kEntryHeaderWriteFailed;
  const uint64_t bitstream_at = static_cast<uint64_t>(out->Tell()) + kEntryFixedSize +
                                2 * width + tables.names.size() + tables.items.size();
  if (!FitsWidth(bitstream_at, width)) return kOffsetWidthTooSmall;
  code = WriteTablesAtEnd(out, width, table_flags, 0, tables, facts);
  if (code != kOk) return code;

  // The BitStream follows the Item List.
  const int64_t bitstream = out->Tell();
  if (bitstream < 0 || !FitsWidth(static_cast<uint64_t>(bitstream), width)) {
    return kBitStreamWriteFailed;
  }
  if (out->Write("C.BS", 4) != kOk) return kBitStreamWriteFailed;
  for (RecordToWrite& record : *records) {
    if (record.type < kRecordCreated || record.type > kRecordReplaced) continue;
    if (out->Tell() != bitstream + record.data_offset) return kBitStreamWriteFailed;
    code = WriteDataRecord(out, width, record.codes.data(), record.code_count, record.data,
                           record.stored_size, &record.check_byte, nullptr);
    if (code != kOk) return code;
  }
  // Patch the BitStream offset in; everything else was final already.
  uint8_t field[8];
  StoreLittle(field, static_cast<uint64_t>(bitstream), width);
  if (WriteAt(out, facts->offset + 8, field, width) != kOk) return kEntryHeaderPatchFailed;
  if (out->Seek(0, kSeekEnd) != kOk) return kEntryHeaderPatchFailed;
  facts->bitstream = bitstream;
  return kOk;
}

Status WriteEntryAfterBitStream(Stream* out, int width, int version, uint8_t table_flags,
                             int64_t bitstream, const std::vector<RecordToWrite>& records,
                             EntryFacts* facts) {
  if ((table_flags & ~3) != 0) return kEntryHeaderWriteFailed;
  StoredTables tables;
  int code = PrepareTables(records, width, version, table_flags, &tables);
  if (code != kOk) return code;
  return WriteTablesAtEnd(out, width, table_flags, bitstream, tables, facts);
}

Status PatchNextEntry(Stream* out, int width, int64_t previous, int64_t entry_offset) {
  if (entry_offset < 0 || !FitsWidth(static_cast<uint64_t>(entry_offset), width)) {
    return previous == 0 ? kHeaderPatchFailed : kNextEntryPatchFailed;
  }
  uint8_t field[8];
  StoreLittle(field, static_cast<uint64_t>(entry_offset), width);
  if (previous == 0) {
    if (WriteAt(out, kHeaderFixedSize, field, width) != kOk) return kHeaderPatchFailed;
  } else if (WriteAt(out, previous + 8 + width, field, width) != kOk) {
    return kNextEntryPatchFailed;
  }
  return kOk;
}

Status PatchEntryCount(Stream* out, int count) {
  if (count < 0) return kHeaderPatchFailed;
  uint8_t bytes[4];
  StoreLittle(bytes, static_cast<uint32_t>(count), 4);
  if (WriteAt(out, 16, bytes, 4) != kOk) return kHeaderPatchFailed;
  return kOk;
}

Status LinkEntry(Stream* out, int width, int64_t previous, int64_t entry_offset, int new_count) {
  int code = PatchNextEntry(out, width, previous, entry_offset);
  if (code != kOk) return code;
  return PatchEntryCount(out, new_count);
}

}  // namespace zoq
