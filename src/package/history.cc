#include "zoq/history.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "package/path.h"

namespace zoq {
namespace {

// The container's revision limit for the state after `revisions`.
int LimitOf(int revisions) { return revisions == kNewest ? 0 : revisions; }

Status OpenDecoded(Container* container, const std::u16string& path, int revisions,
                const DecodeOptions* options, std::unique_ptr<Stream>* out) {
  Stream* raw = nullptr;
  int code = container->OpenPart(path, &raw, LimitOf(revisions), options, false);
  out->reset(raw);
  if (code == kOk && raw == nullptr) code = kFailed;
  return code;
}

// Reads up to `size` bytes, fewer only at the end of the content.
Status ReadFull(Stream* stream, uint8_t* buffer, int64_t size, int64_t* got) {
  *got = 0;
  while (*got < size) {
    int64_t done = 0;
    int code = stream->Read(buffer + *got, size - *got, &done);
    if (code != kOk) return code;
    if (done <= 0) break;
    *got += done;
  }
  return kOk;
}

Status SameStreams(Stream* a, Stream* b, bool* same) {
  constexpr int64_t kPiece = 1 << 18;
  std::unique_ptr<uint8_t[]> left(new uint8_t[kPiece]);
  std::unique_ptr<uint8_t[]> right(new uint8_t[kPiece]);
  for (;;) {
    int64_t got_a = 0;
    int64_t got_b = 0;
    int code = ReadFull(a, left.get(), kPiece, &got_a);
    if (code == kOk) code = ReadFull(b, right.get(), kPiece, &got_b);
    if (code != kOk) return code;
    if (got_a != got_b || std::memcmp(left.get(), right.get(), static_cast<size_t>(got_a)) != 0) {
      *same = false;
      return kOk;
    }
    if (got_a < kPiece) {
      *same = true;
      return kOk;
    }
  }
}

bool StartsWith(std::u16string_view text, std::u16string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

}  // namespace

Status SameContent(Container* container, const PathHistory& history, int from, int to,
                const DecodeOptions* options, bool* same) {
  if (container == nullptr || same == nullptr) return kInvalidArgument;
  const PartState before = StateAfter(history, from);
  const PartState after = StateAfter(history, to);
  if (!before.exists || !after.exists) return kInvalidArgument;
  if (before.SameRecords(after)) {
    *same = true;
    return kOk;
  }
  if (!before.readable() || !after.readable()) return kStoredDataProblem;
  std::unique_ptr<Stream> a;
  std::unique_ptr<Stream> b;
  int code = OpenDecoded(container, history.path, from, options, &a);
  if (code == kOk) code = OpenDecoded(container, history.path, to, options, &b);
  if (code == kOk) code = SameStreams(a.get(), b.get(), same);
  return code;
}

Status CompareRevisions(Container* container, const PathHistory* histories, size_t count, int from,
                     int to, const DecodeOptions* options, std::vector<PartChange>* changes,
                     std::vector<PartProblem>* problems) {
  if (container == nullptr || (histories == nullptr && count > 0) || changes == nullptr ||
      problems == nullptr || from < 0 || to < 0) {
    return kInvalidArgument;
  }
  for (size_t i = 0; i < count; ++i) {
    PartChange change;
    change.history = i;
    change.before = StateAfter(histories[i], from);
    change.after = StateAfter(histories[i], to);
    if (!change.before.exists && !change.after.exists) continue;
    if (change.before.exists != change.after.exists) {
      change.status = change.after.exists ? 'A' : 'D';
      changes->push_back(change);
      continue;
    }
    if (change.before.SameRecords(change.after)) continue;
    bool same = false;
    int code = SameContent(container, histories[i], from, to, options, &same);
    if (code != kOk) {
      problems->push_back({histories[i].path, code});
    } else if (!same) {
      changes->push_back(change);
    }
  }
  return kOk;
}

Status RestoreParts(Container* container, int revisions, const std::vector<std::u16string>& paths,
                 const KeyInfo* key, std::vector<RestoredPart>* out, std::u16string* failed) {
  if (container == nullptr || out == nullptr || revisions < 1) return kInvalidArgument;
  out->clear();
  std::vector<PathHistory> histories;
  int code = container->ListPathHistories(u"/", &histories);
  if (code != kOk) return code;
  auto by_path = [](const PathHistory& h, std::u16string_view p) { return PathLess()(h.path, p); };

  // Everything named is looked up before anything is filed.
  std::vector<const PathHistory*> targets;
  for (const std::u16string& given : paths) {
    std::u16string path;
    code = NormalizePath(given, &path);
    if (code != kOk) {
      if (failed != nullptr) *failed = given;
      return code;
    }
    auto it = std::lower_bound(histories.begin(), histories.end(), path, by_path);
    const size_t before = targets.size();
    if (path.back() != u'/' && it != histories.end() && it->path == path &&
        StateAfter(*it, revisions).exists) {
      targets.push_back(&*it);
    } else {
      if (path.back() != u'/') path.push_back(u'/');
      for (it = std::lower_bound(histories.begin(), histories.end(), path, by_path);
           it != histories.end() && StartsWith(it->path, path); ++it) {
        if (StateAfter(*it, revisions).exists) targets.push_back(&*it);
      }
    }
    if (targets.size() == before) {
      if (failed != nullptr) *failed = given;
      return kNoSuchNode;
    }
  }
  std::sort(targets.begin(), targets.end());
  targets.erase(std::unique(targets.begin(), targets.end()), targets.end());

  DecodeOptions decode;
  decode.key = key;
  for (const PathHistory* history : targets) {
    RestoredPart& done = out->emplace_back();
    done.path = history->path;
    bool same = false;
    // A comparison that cannot be made (say, content that needs a key) is
    // no reason to keep the old version out: restoring finds out for sure.
    if (StateAfter(*history, kNewest).exists &&
        SameContent(container, *history, revisions, kNewest, &decode, &same) == kOk && same) {
      continue;
    }
    code = container->RestorePart(history->path, revisions, key);
    if (code != kOk) {
      if (failed != nullptr) *failed = history->path;
      out->pop_back();
      return code;
    }
    done.restored = true;
  }
  return kOk;
}

}  // namespace zoq
