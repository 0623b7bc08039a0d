#include "package/entry_reader.h"

// The one-shot MD5 of libcrypto hashes straight away; the digest interface
// would first set up the library's provider machinery, which costs every
// opening of a package about 2 MB of memory and 6 million instructions.
// OpenSSL 3 marks the call as deprecated but keeps it.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/md5.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "package/byte_io.h"
#include "package/checked_read.h"
#include "zoq/codes.h"
#include "package/path.h"
#include "zoq/utf.h"
#include "stream/bounded_inflate.h"

namespace zoq {
namespace {

constexpr int64_t kPiece = 65536;

int ItemRecordSize(int width) { return 17 + width; }

// Inflates `data` piece by piece, handing each piece to `take`, which says
// whether to go on (0), stop because everything needed is there (1), or
// give up (-1). The end of the stream is handed over as an empty piece.
template <typename Take>
Status InflatePieces(const uint8_t* data, size_t size, int failure, Take take) {
  MemoryStreamArgs memory;
  memory.buffer = const_cast<uint8_t*>(data);
  memory.capacity = static_cast<int64_t>(size);
  memory.length = static_cast<int64_t>(size);
  Stream* raw = nullptr;
  if (CreateStream(kModeClose, &memory, &raw, kMemoryStream) != kOk) return failure;
  DeflateStreamArgs deflate;
  deflate.inner = raw;
  Stream* inflater = nullptr;
  if (CreateStream(kModeRead, &deflate, &inflater, kDeflateStream) != kOk) {
    delete deflate.inner;  // still ours when the factory did not take it
    return failure;
  }
  std::unique_ptr<Stream> stream(inflater);
  std::unique_ptr<uint8_t[]> piece(new uint8_t[kPiece]);
  for (;;) {
    int64_t done = 0;
    if (CheckedRead(stream.get(), piece.get(), kPiece, &done) != kOk) return failure;
    const int verdict = take(piece.get(), static_cast<size_t>(std::max<int64_t>(done, 0)));
    if (verdict < 0) return failure;
    if (verdict > 0 || done <= 0) return kOk;
  }
}

// Inflates `data` into `out`; after each piece `judge` says what to do, as
// for InflatePieces.
template <typename Judge>
Status InflateTable(const uint8_t* data, size_t size, std::vector<uint8_t>* out, int failure,
                 Judge judge) {
  out->clear();
  return InflatePieces(data, size, failure, [&](const uint8_t* piece, size_t n) {
    if (n == 0) return 1;
    out->insert(out->end(), piece, piece + n);
    return judge(*out);
  });
}

}  // namespace

NameMap::NameMap(std::initializer_list<std::pair<NameKey, std::u16string>> names)
    : pool_(&own_pool_) {
  for (const auto& [key, path] : names) Add(key, path);
  Seal();
}

void NameMap::Add(const NameKey& key, std::u16string_view path) {
  names_.emplace_back(key, pool_->Add(path));
}

namespace {

// The key a writer gives the k-th name record: k, then 12 zero bytes.
bool IsNumberedKey(const NameKey& key, int32_t k) {
  NameKey expected{};
  std::memcpy(expected.data(), &k, 4);
  return key == expected;
}

}  // namespace

void NameMap::Seal() {
  numbered_ = true;
  for (size_t i = 0; i < names_.size() && numbered_; ++i) {
    numbered_ = IsNumberedKey(names_[i].first, static_cast<int32_t>(i + 1));
  }
  if (numbered_) return;
  auto by_key = [](const auto& a, const auto& b) { return a.first < b.first; };
  auto same_key = [](const auto& a, const auto& b) { return a.first == b.first; };
  if (std::is_sorted(names_.begin(), names_.end(), by_key) &&
      std::adjacent_find(names_.begin(), names_.end(), same_key) == names_.end()) {
    return;
  }
  // Of records with the same key the last one counts, as it would for a
  // writer that appended a name: reversed before the stable sort, the last
  // comes first among equals and is the one unique keeps.
  std::reverse(names_.begin(), names_.end());
  std::stable_sort(names_.begin(), names_.end(), by_key);
  names_.erase(std::unique(names_.begin(), names_.end(), same_key), names_.end());
}

int NameMap::Find(const NameKey& key) const {
  if (numbered_) {
    int32_t k;
    std::memcpy(&k, key.data(), 4);
    if (k > 0 && static_cast<size_t>(k) <= names_.size() && names_[k - 1].first == key) {
      return k - 1;
    }
    return -1;
  }
  auto at = std::lower_bound(names_.begin(), names_.end(), key,
                             [](const auto& entry, const NameKey& k) { return entry.first < k; });
  if (at == names_.end() || at->first != key) return -1;
  return static_cast<int>(at - names_.begin());
}

const std::u16string_view* NameMap::Lookup(const NameKey& key) const {
  int index = Find(key);
  return index < 0 ? nullptr : &names_[index].second;
}

namespace {

// Stores a name record's UTF-8 path in the pool as UTF-16. False, with
// nothing kept, when it is not valid UTF-8 or not in normalized form.
bool StorePath(std::string_view utf8, PathPool* pool, std::u16string_view* out) {
  // A normalized path has at most kMaxPathLength code units, each of at
  // most three UTF-8 bytes (a surrogate pair takes four for two).
  if (utf8.size() > 3 * kMaxPathLength) return false;
  // UTF-16 never needs more code units than UTF-8 has bytes.
  char16_t* at = pool->Reserve(utf8.size());
  const AsciiPath ascii = WidenAsciiPath(utf8.data(), utf8.size(), at);
  if (ascii == AsciiPath::kRefused) return false;
  if (ascii == AsciiPath::kNormalized) {
    *out = pool->Commit(utf8.size());
    return true;
  }
  std::u16string wide;
  if (!Utf8ToUtf16Strict(utf8, &wide)) return false;
  std::copy(wide.begin(), wide.end(), at);
  const size_t length = wide.size();
  if (!IsNormalizedPath(std::u16string_view(at, length))) return false;
  *out = pool->Commit(length);
  return true;
}

// Reads the name records of a plain Name Table from its bytes as they
// arrive, in pieces of any size.
class NameRecordReader {
 public:
  NameRecordReader(const UsedKeys* used, NameMap* out, int64_t max_names)
      : used_(used), out_(out), max_names_(max_names) {
    out_->Clear();
  }

  // Takes the next piece: kOk, or 5023 for a table that cannot be read.
  int Take(const uint8_t* data, size_t size);
  // Whether every record the count announces has been read.
  bool done() const { return have_count_ && read_ == count_; }
  // At the end of the table: kOk when every record was there.
  Status Finish() {
    if (!done()) return kNameTableReadFailed;
    out_->Seal();
    return kOk;
  }

 private:
  // Takes the key of the next record from `key`.
  void StartRecord(const uint8_t* key) {
    std::memcpy(key_.data(), key, 16);
    keep_ = used_ == nullptr || used_->Contains(key_);
    path_.clear();
    path_length_ = 0;
  }
  // Ends a record whose path was `path` (its first bytes when too long).
  Status EndRecord(std::string_view path);

  const UsedKeys* used_;
  NameMap* out_;
  int64_t max_names_;
  uint8_t count_bytes_[4] = {};
  size_t count_have_ = 0;
  bool have_count_ = false;
  int32_t count_ = 0;
  int32_t read_ = 0;
  NameKey key_{};
  size_t key_have_ = 0;  // 16 once the current record's key is complete
  bool keep_ = false;
  std::string path_;          // the current record's path so far, when kept
  size_t path_length_ = 0;    // its length in bytes so far
};

Status NameRecordReader::EndRecord(std::string_view path) {
  if (path_length_ < 2) return kNameTableReadFailed;
  // A path that is not valid UTF-8, or not in normalized form, never
  // becomes a name: records that use its key fail instead.
  std::u16string_view stored;
  if (keep_ && path_length_ == path.size() && StorePath(path, out_->pool(), &stored)) {
    out_->AddStored(key_, stored);
  }
  ++read_;
  key_have_ = 0;
  return kOk;
}

int NameRecordReader::Take(const uint8_t* data, size_t size) {
  // The longest path a name can hold, and one byte more to know it is longer.
  constexpr size_t kMostKept = 3 * kMaxPathLength + 1;
  while (size > 0 && !done()) {
    if (!have_count_) {
      const size_t n = std::min(size, 4 - count_have_);
      std::memcpy(count_bytes_ + count_have_, data, n);
      count_have_ += n;
      data += n;
      size -= n;
      if (count_have_ < 4) continue;
      count_ = static_cast<int32_t>(LoadU32(count_bytes_));
      if (count_ < 0 || count_ > max_names_) return kNameTableReadFailed;
      have_count_ = true;
      continue;
    }
    if (key_have_ == 0 && size > 16) {
      // The whole record in this piece, as nearly always: no copies.
      const auto* zero = static_cast<const uint8_t*>(std::memchr(data + 16, 0, size - 16));
      if (zero != nullptr) {
        StartRecord(data);
        path_length_ = static_cast<size_t>(zero - (data + 16));
        const int code =
            EndRecord(std::string_view(reinterpret_cast<const char*>(data + 16), path_length_));
        if (code != kOk) return code;
        size -= static_cast<size_t>(zero + 1 - data);
        data = zero + 1;
        continue;
      }
    }
    if (key_have_ < 16) {
      const size_t n = std::min(size, 16 - key_have_);
      std::memcpy(key_.data() + key_have_, data, n);
      key_have_ += n;
      data += n;
      size -= n;
      if (key_have_ == 16) StartRecord(key_.data());
      continue;
    }
    const auto* zero = static_cast<const uint8_t*>(std::memchr(data, 0, size));
    const size_t n = zero != nullptr ? static_cast<size_t>(zero - data) : size;
    if (keep_ && path_.size() < kMostKept) {
      path_.append(reinterpret_cast<const char*>(data), std::min(n, kMostKept - path_.size()));
    }
    path_length_ += n;
    data += n;
    size -= n;
    if (zero == nullptr) continue;
    ++data;
    --size;
    const int code = EndRecord(path_);
    if (code != kOk) return code;
  }
  return kOk;
}

}  // namespace

UsedKeys::UsedKeys(const uint8_t* items, size_t size, int width) {
  const size_t record = ItemRecordSize(width);
  for (size_t pos = 0; size - pos >= record; pos += record) {
    if ((items[pos] & 0x0F) == kRecordListEnd) break;
    NameKey key;
    std::memcpy(key.data(), items + pos + 1 + width, 16);
    if (numbered_ >= 0 && IsNumberedKey(key, static_cast<int32_t>(std::min<int64_t>(numbered_ + 1, INT32_MAX)))) {
      ++numbered_;
      continue;
    }
    if (numbered_ >= 0) {
      // Not numbered after all: the keys so far were 1 to numbered_.
      for (int32_t k = 1; k <= numbered_; ++k) {
        NameKey earlier{};
        std::memcpy(earlier.data(), &k, 4);
        sorted_.push_back(earlier);
      }
      numbered_ = -1;
    }
    sorted_.push_back(key);
  }
  if (numbered_ < 0) {
    std::sort(sorted_.begin(), sorted_.end());
    sorted_.erase(std::unique(sorted_.begin(), sorted_.end()), sorted_.end());
  }
}

bool UsedKeys::Contains(const NameKey& key) const {
  if (numbered_ >= 0) {
    int32_t k;
    std::memcpy(&k, key.data(), 4);
    return k >= 1 && k <= numbered_ && IsNumberedKey(key, k);
  }
  return std::binary_search(sorted_.begin(), sorted_.end(), key);
}

Status ReadNameTable(const uint8_t* data, size_t size, bool compressed, const UsedKeys* used,
                  NameMap* out, int64_t max_names) {
  NameRecordReader reader(used, out, max_names);
  if (!compressed) {
    const Status code = reader.Take(data, size);
    return code != kOk ? code : reader.Finish();
  }
  // Inflated in pieces up to the last record: the plain table is never
  // held whole, and what follows its records is never inflated.
  const int64_t limit = TableInflateLimit(size);
  int64_t inflated = 0;
  int code = kOk;
  const Status inflate = InflatePieces(data, size, kNameTableReadFailed,
                                    [&](const uint8_t* piece, size_t n) {
                                      inflated += static_cast<int64_t>(n);
                                      code = reader.Take(piece, n);
                                      if (code != kOk) return -1;
                                      if (reader.done()) return 1;
                                      return n == 0 || inflated > limit ? -1 : 0;
                                    });
  if (code != kOk) return code;
  return inflate != kOk ? inflate : reader.Finish();
}

Status ParseNameTable(const uint8_t* data, size_t size, NameMap* out, int64_t max_names) {
  return ReadNameTable(data, size, false, nullptr, out, max_names);
}

Status ParseItemRefs(const uint8_t* data, size_t size, int width, const NameMap& names,
                  std::vector<ItemRef>* out, int64_t max_records) {
  out->clear();
  const size_t record = ItemRecordSize(width);
  out->reserve(static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(size / record),
                                                     max_records)));
  for (size_t pos = 0; size - pos >= record; pos += record) {
    int type = data[pos] & 0x0F;
    if (type == kRecordListEnd) break;
    if (type > kRecordDeleted) return kItemListReadFailed;
    if (static_cast<int64_t>(out->size()) >= max_records) return kItemListReadFailed;
    int64_t offset = LoadOffset(data + pos + 1, width);
    if (offset < 0) return kItemListReadFailed;
    NameKey key;
    std::memcpy(key.data(), data + pos + 1 + width, 16);
    int name = names.Find(key);
    if (name < 0) return kItemListReadFailed;
    ItemRef& item = out->emplace_back();
    item.type = type;
    item.skippable = (data[pos] & 0x10) != 0;
    item.data_offset = offset;
    item.path = names.names_[name].second;
  }
  return kOk;
}

Status ParseItemList(const uint8_t* data, size_t size, int width, const NameMap& names,
                  std::vector<RecordFacts>* out) {
  out->clear();
  std::vector<ItemRef> items;
  int code = ParseItemRefs(data, size, width, names, &items);
  if (code != kOk) return code;
  out->reserve(items.size());
  for (const ItemRef& item : items) {
    RecordFacts& facts = out->emplace_back();
    facts.type = item.type;
    facts.skippable = item.skippable;
    facts.data_offset = item.data_offset;
    facts.path = item.path;
  }
  return kOk;
}

int64_t TableInflateLimit(size_t stored) {
  const int64_t by_ratio =
      std::max(kMinTableAllowance, static_cast<int64_t>(std::min<size_t>(stored, kMaxTableSize)) *
                                       kMaxTableInflation);
  return std::min(by_ratio, kMaxTableSize);
}

Status InflateItemList(const uint8_t* data, size_t size, int width, std::vector<uint8_t>* out,
                    int64_t max_records) {
  const int64_t record = ItemRecordSize(width);
  int64_t limit = TableInflateLimit(size);
  // Room for the records allowed and the end record.
  if (max_records < limit / record) limit = std::min(limit, (max_records + 1) * record);
  switch (InflateToLimit(data, size, static_cast<size_t>(limit), out)) {
    case InflateResult::kOk:
      return kOk;
    case InflateResult::kCorrupt:
      return kItemListReadFailed;
    case InflateResult::kTooLarge:
      break;
  }
  // Too long whole: either too many records, or bytes after the end record
  // that are never needed. Inflate piece by piece up to the end record.
  int64_t scanned = 0;
  return InflateTable(data, size, out, kItemListReadFailed,
                      [&scanned, record, limit, max_records](const std::vector<uint8_t>& t) {
                        const auto have = static_cast<int64_t>(t.size());
                        for (; have - scanned >= record; scanned += record) {
                          if ((t[scanned] & 0x0F) == kRecordListEnd) return 1;
                          if (scanned / record >= max_records) return -1;
                        }
                        return have > limit ? -1 : 0;
                      });
}

Status ReadEntryRefs(Stream* stream, int64_t offset, int width, int version, int64_t file_length,
                  EntryFacts* out, NameMap* names, std::vector<ItemRef>* items,
                  TableBudget* budget) {
  if (stream == nullptr || (width != 2 && width != 4 && width != 8) ||
      (version != 0x0100 && version != 0x0101)) {
    return kNotInitialized;
  }
  const int head = 29 + 2 * width;
  uint8_t bytes[29 + 2 * 8];
  if (offset <= 0 || ReadExactAt(stream, offset, bytes, head) != kOk) return kEntryReadFailed;
  if (std::memcmp(bytes, "C.En", 4) != 0) return kEntryReadFailed;
  uint32_t length = LoadU32(bytes + 4);
  int64_t bitstream = LoadOffset(bytes + 8, width);
  int64_t next = LoadOffset(bytes + 8 + width, width);
  uint8_t flags = bytes[8 + 2 * width] & 0x03;
  const uint8_t* digest = bytes + 9 + 2 * width;
  uint32_t name_length = LoadU32(bytes + 25 + 2 * width);
  if (bitstream < 0 || next < 0) return kEntryReadFailed;
  if (name_length >= length || int64_t{head} + name_length > length) return kEntryReadFailed;
  // The tables must lie inside the file; this also bounds what is read.
  if (length > file_length || offset > file_length - length) return kEntryReadFailed;

  std::vector<uint8_t> stored(length - head);
  if (!stored.empty() && ReadExact(stream, stored.data(), stored.size()) != kOk) {
    return kEntryReadFailed;
  }
  uint8_t md5[MD5_DIGEST_LENGTH];
  if (MD5(stored.data(), stored.size(), md5) == nullptr || std::memcmp(md5, digest, 16) != 0) {
    return kChecksumFailed;
  }

  // At most one record of each table per stored byte, and no more than
  // the package has left.
  const auto allowance = static_cast<int64_t>(stored.size());
  const int64_t max_names = budget ? std::min(allowance, budget->names) : allowance;
  const int64_t max_records = budget ? std::min(allowance, budget->records) : allowance;

  // The Item List first: only the names its records use are kept.
  std::vector<uint8_t> plain;
  const uint8_t* table = stored.data() + name_length;
  size_t table_size = stored.size() - name_length;
  if (flags & 0x02) {
    int code = InflateItemList(table, table_size, width, &plain, max_records);
    if (code != kOk) return code;
    table = plain.data();
    table_size = plain.size();
  }
  const UsedKeys used(table, table_size, width);
  int code = ReadNameTable(stored.data(), name_length, (flags & 0x01) != 0, &used, names, max_names);
  if (code != kOk) return code;
  code = ParseItemRefs(table, table_size, width, *names, items, max_records);
  if (code != kOk) return code;
  if (budget != nullptr) {
    budget->names -= static_cast<int64_t>(names->size());
    budget->records -= static_cast<int64_t>(items->size());
  }

  out->offset = offset;
  out->bitstream = bitstream;
  out->next = next;
  out->length = length;
  out->name_table_length = name_length;
  out->table_flags = flags;
  return kOk;
}

Status ReadEntry(Stream* stream, int64_t offset, int width, int version, int64_t file_length,
              EntryFacts* out) {
  NameMap names;
  std::vector<ItemRef> items;
  int code = ReadEntryRefs(stream, offset, width, version, file_length, out, &names, &items);
  if (code != kOk) return code;
  out->records.clear();
  out->records.reserve(items.size());
  for (const ItemRef& item : items) {
    RecordFacts& facts = out->records.emplace_back();
    facts.type = item.type;
    facts.skippable = item.skippable;
    facts.data_offset = item.data_offset;
    facts.path = item.path;
  }
  return kOk;
}

}  // namespace zoq
