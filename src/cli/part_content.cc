#include "cli/part_content.h"

#include <strings.h>

#include <memory>

#include "cli/arguments.h"
#include "cli/failure.h"
#include "zoq/utf.h"
#include "zoq/stream.h"

namespace zoqcli {

int64_t ReadPartContent(const PackageSession& session, const std::u16string& path, int code,
                        const std::function<void(const uint8_t*, size_t)>& sink) {
  const std::string context = "cannot read " + zoq::Utf16ToUtf8Lenient(path);
  zoq::DecodeOptions decode = session.Decode(code);
  zoq::Stream* raw = nullptr;
  Check(session.container()->OpenPart(path, &raw, session.revision_limit(), &decode, false),
        context);
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
    Check(content->Read(piece.get(), kPieceSize, &done), context);
    if (done <= 0) break;
    sink(piece.get(), static_cast<size_t>(done));
    total += done;
  }
  return total;
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
