#include "cli/diff_content.h"

#include <fcntl.h>
#include <openssl/evp.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "cli/failure.h"
#include "zoq/history.h"
#include "zoq/utf.h"
#include "zoq/part_text.h"

extern char** environ;

namespace zoqcli {
namespace {

class FileReader {
 public:
  explicit FileReader(const std::string& path) : fd_(open(path.c_str(), O_RDONLY | O_CLOEXEC)) {
    if (fd_ < 0) throw ToolFailure("cannot read " + path + ": " + std::strerror(errno));
  }
  ~FileReader() { close(fd_); }
  FileReader(const FileReader&) = delete;
  FileReader& operator=(const FileReader&) = delete;
  // Up to `count` bytes; 0 at the end.
  size_t Read(uint8_t* buffer, size_t count) {
    for (;;) {
      ssize_t got = read(fd_, buffer, count);
      if (got >= 0) return static_cast<size_t>(got);
      if (errno != EINTR) throw ToolFailure(std::string("cannot read: ") + std::strerror(errno));
    }
  }

 private:
  int fd_;
};

}  // namespace

ContentFiles::~ContentFiles() {
  for (const std::string& file : own_) unlink(file.c_str());
}

std::string ContentFiles::Get(const std::u16string& path, int revisions) {
  const int limit = revisions == zoq::kNewest ? 0 : revisions;
  const std::string context = "cannot read " + zoq::Utf16ToUtf8Lenient(path) +
                              " after revision " + std::to_string(revisions);
  zoq::Container* container = session_.container();
  zoq::DecodeOptions decode = session_.Decode(zoq::kEcsEnd);
  zoq::PartInfo info;
  bool sxc = false;
  if (container->GetPathInfo(&info, path, limit) == zoq::kOk) {
    for (int i = 0; i < info.code_count; ++i) sxc = sxc || info.codes[i] == zoq::kEcsSxc;
  }
  if (!sxc) {
    std::string file;
    Check(container->ExtractPart(path, &file, limit, &decode), context);
    return file;
  }
  zoq::PartTextReader reader;
  Check(reader.Open(container, path, limit, &decode), context);
  const char* base = std::getenv("TMPDIR");
  std::string file =
      std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/zoq-diff-XXXXXX";
  int fd = mkstemp(file.data());
  if (fd < 0) throw ToolFailure("cannot make a temporary file: " + std::string(std::strerror(errno)));
  own_.push_back(file);
  std::string lines;
  for (;;) {
    if (int code = reader.Read(&lines); code != zoq::kOk) {
      close(fd);
      throw CodeFailure(code, context);
    }
    if (lines.empty()) break;
    for (size_t written = 0; written < lines.size();) {
      ssize_t now = write(fd, lines.data() + written, lines.size() - written);
      if (now < 0 && errno == EINTR) continue;
      if (now <= 0) {
        close(fd);
        throw ToolFailure("cannot write " + file + ": " + std::strerror(errno));
      }
      written += static_cast<size_t>(now);
    }
  }
  close(fd);
  return file;
}

bool LooksBinary(const std::string& file) {
  FileReader reader(file);
  uint8_t head[8000];
  size_t got = 0;
  while (got < sizeof head) {
    size_t more = reader.Read(head + got, sizeof head - got);
    if (more == 0) break;
    got += more;
  }
  return std::memchr(head, 0, got) != nullptr;
}

ContentDigest DigestOfFile(const std::string& file) {
  FileReader reader(file);
  std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(),
                                                                   EVP_MD_CTX_free);
  if (!context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1) {
    throw ToolFailure("cannot compute SHA-256");
  }
  std::vector<uint8_t> piece(1 << 18);
  ContentDigest digest;
  for (;;) {
    size_t got = reader.Read(piece.data(), piece.size());
    if (got == 0) break;
    EVP_DigestUpdate(context.get(), piece.data(), got);
    digest.size += static_cast<int64_t>(got);
  }
  unsigned char hash[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  EVP_DigestFinal_ex(context.get(), hash, &length);
  static const char kHex[] = "0123456789abcdef";
  for (unsigned int i = 0; i < length; ++i) {
    digest.sha256.push_back(kHex[hash[i] >> 4]);
    digest.sha256.push_back(kHex[hash[i] & 15]);
  }
  return digest;
}

void WriteUnifiedDiff(const std::string& label_a, const std::string& file_a,
                      const std::string& label_b, const std::string& file_b, Output& out) {
  // diff writes straight to standard output, after what is buffered.
  out.Flush();
  std::vector<std::string> args = {"diff", "-u", "--label", label_a, "--label", label_b, "--",
                                   file_a, file_b};
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  // The tool ignores SIGPIPE; diff gets the default back, so that a reader
  // that went away ends it quietly.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t pipe_signal;
  sigemptyset(&pipe_signal);
  sigaddset(&pipe_signal, SIGPIPE);
  posix_spawnattr_setsigdefault(&attributes, &pipe_signal);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
  pid_t child = 0;
  int failed = posix_spawnp(&child, "diff", nullptr, &attributes, argv.data(), environ);
  posix_spawnattr_destroy(&attributes);
  if (failed != 0) {
    throw ToolFailure(std::string("cannot run diff (GNU diffutils): ") + std::strerror(failed));
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) throw ToolFailure("cannot wait for diff");
  }
  if (WIFSIGNALED(status) && WTERMSIG(status) == SIGPIPE) throw OutputClosed();
  // 0: the same, 1: different; anything else is trouble diff has reported.
  if (!WIFEXITED(status) || WEXITSTATUS(status) > 1) {
    throw ToolFailure("diff failed comparing " + label_a + " and " + label_b);
  }
}

}  // namespace zoqcli
