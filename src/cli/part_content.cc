#include "cli/part_content.h"

#include <strings.h>

#include <atomic>
#include <memory>

#include "cli/arguments.h"
#include "cli/failure.h"
#include "zoq/codes.h"
#include "zoq/container.h"
#include "zoq/utf.h"
#include "zoq/stream.h"

namespace zoqcli {

namespace {

// Whether reading the part with the decode code undoes ADM encryption: the
// code 0 undoes nothing, 255 everything, any other all but the first code.
bool DecryptsWith(const zoq::PartInfo& info, int code) {
  if (code == 0) return false;
  for (int i = code == zoq::kEcsEnd ? 0 : 1; i < info.code_count; ++i) {
    if (info.codes[static_cast<size_t>(i)] == zoq::kEcsAdm) return true;
  }
  return false;
}

void WarnIfCounterBlockUndecided(const PackageSession& session, const std::u16string& path,
                                 int code, int revision_limit) {
  static std::atomic<bool> warned{false};
  // Without a key the part cannot be decrypted at all, which says enough.
  if (warned.load() || session.key() == nullptr || !session.CounterBlockUndecided()) return;
  zoq::PartInfo info;
  if (session.container()->GetPartInfoByPath(&info, path, revision_limit) != 0) return;
  if (!DecryptsWith(info, code) || warned.exchange(true)) return;
  ReportWarning(zoq::Utf16ToUtf8Lenient(path) +
                " is encrypted, and this format 1.1 package names no document version, so "
                "whether its data begins with a 16-byte initial counter block cannot be "
                "decided; it is read without one (--docver 258 reads it with one, --docver 0 "
                "without this warning)");
}

}  // namespace

int64_t ReadPartContent(const PackageSession& session, const std::u16string& path, int code,
                        const std::function<void(const uint8_t*, size_t)>& sink, bool* damaged) {
  return ReadPartContentAt(session, path, code, session.revision_limit(), sink, damaged);
}

int64_t ReadPartContentAt(const PackageSession& session, const std::u16string& path, int code,
                          int revision_limit,
                          const std::function<void(const uint8_t*, size_t)>& sink,
                          bool* damaged) {
  std::string context = "cannot read " + zoq::Utf16ToUtf8Lenient(path);
  WarnIfCounterBlockUndecided(session, path, code, revision_limit);
  zoq::DecodeOptions decode = session.Decode(code);
  zoq::DecodeReport report;
  decode.report = &report;
  decode.check_stored = damaged != nullptr;
  if (damaged != nullptr) *damaged = false;
  auto check = [&](int result) {
    if (result == zoq::kOk) return;
    if (!report.limit_reached) throw CodeFailure(result, context);
    throw CodeFailure(result, context + ": " + report.reason + kLimitHint, report.reason);
  };
  zoq::Stream* raw = nullptr;
  check(session.container()->OpenPart(path, &raw, revision_limit, &decode, false));
  std::unique_ptr<zoq::Stream> content(raw);
  if (content == nullptr) throw CodeFailure(zoq::kFailed, context);
  // One piece buffer per thread for the whole run: a fresh 256 KiB buffer
  // per part costs a heap grow and trim for each of thousands of parts.
  constexpr int64_t kPieceSize = 1 << 18;
  thread_local std::unique_ptr<uint8_t[]> piece;
  if (piece == nullptr) piece.reset(new uint8_t[kPieceSize]);
  int64_t total = 0;
  for (;;) {
    int64_t done = 0;
    const int result = content->Read(piece.get(), kPieceSize, &done);
    if (result == zoq::kChecksumFailed && damaged != nullptr && done <= 0) {
      *damaged = true;  // the end of the content, every byte delivered
      break;
    }
    check(result);
    if (done <= 0) break;
    sink(piece.get(), static_cast<size_t>(done));
    total += done;
  }
  return total;
}

void WarnDamaged(const std::u16string& path) {
  ReportWarning(zoq::Utf16ToUtf8Lenient(path) +
                ": the stored data does not match its check byte (damaged); the content was "
                "written as read");
}

int KeepCode(const std::string& text) {
  static const struct {
    const char* name;
    int code;
  } kNames[] = {{"sxc", 1}, {"zip", 2}, {"adm", 128}, {"1", 1}, {"2", 2}, {"128", 128}};
  for (const auto& entry : kNames) {
    if (strcasecmp(text.c_str(), entry.name) == 0) return entry.code;
  }
  throw UsageError("--keep expects 1, 2, 128, sxc, zip or adm, not \"" + text + "\"");
}

}  // namespace zoqcli
