#include "cli/sxc_failure.h"

#include <sys/mman.h>
#include <unistd.h>

#include "cli/failure.h"
#include "zoq/encode_report.h"
#include "zoq/result.h"
#include "zoq/sxc_tools.h"

namespace zoqcli {
namespace {

// The encoder's reason for failing on the file, or empty.
std::string EncoderReason(const std::string& schema, const std::string& file) {
  std::vector<uint8_t> sxc;
  zoq::EncodeReport report;
  report.print_messages = false;  // the first run printed its message already
  if (zoq::EncodeSxcFile(schema, file, &sxc, &report)) return {};
  return report.reason;
}

// The same for bytes held in memory, handed to the encoder through an
// anonymous file that disappears with the process.
std::string EncoderReasonForBytes(const std::string& schema, const std::string& bytes) {
  int fd = ::memfd_create("zoq-sxc-source", MFD_CLOEXEC);
  if (fd < 0) return {};
  std::string reason;
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t written = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (written <= 0) break;
    done += static_cast<size_t>(written);
  }
  if (done == bytes.size()) reason = EncoderReason(schema, "/proc/self/fd/" + std::to_string(fd));
  ::close(fd);
  return reason;
}

}  // namespace

void CheckStored(int code, const std::string& context, const PackageSession& session,
                 const std::vector<zoq::EcsCodeArg>& codes, const std::string& file,
                 const std::string* bytes) {
  if (code == 0) return;
  if (code != zoq::kEncodeFailed || codes.empty() || codes[0].code != zoq::kEcsSxc) {
    throw CodeFailure(code, context);
  }
  std::string schema;
  if (session.container()->GetSchemaPath(&schema)) throw CodeFailure(code, context);
  std::string reason;
  if (!file.empty()) {
    reason = EncoderReason(schema, file);
  } else if (bytes != nullptr) {
    reason = EncoderReasonForBytes(schema, *bytes);
  }
  if (reason.empty()) throw CodeFailure(code, context);
  throw CodeFailure(code, context + ": " + (file.empty() ? "standard input" : file) + ": " + reason);
}

}  // namespace zoqcli
