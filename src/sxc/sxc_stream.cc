#include "sxc/sxc_stream.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <random>
#include <stdexcept>

#include "stream/clone_over.h"
#include "stream/file_stream.h"
#include "stream/stream_factory.h"
#include "sxc/schema_codec.h"
#include "sxc/sxc_sites.h"
#include "zoq/decode_options.h"

namespace zoq {
namespace {

constexpr char kEmptyPath[] = "CVelSXCStream -- Cannot Decorate Stream - Argument path is empty!";
constexpr char kInitError[] = "CVelSXCStream -- Cannot Decorate Stream - Init filter error!";

std::string SystemTempDir() {
  const char* dir = getenv("TMPDIR");
  return dir != nullptr && *dir != 0 ? dir : "/tmp";
}

// Creates a new empty file "<dir>~~SXC<number><suffix>" that did not exist
// before (O_EXCL), so that no two conversions, in this process or another,
// share a file. Answers its path, or "" when none could be made.
std::string ReserveTempFile(const std::string& dir, const char* suffix) {
  thread_local std::mt19937_64 random(std::random_device{}());
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string path = dir + "~~SXC" + std::to_string(random() % 1000000000000ULL) + suffix;
    const int fd = open(path.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0600);
    if (fd >= 0) {
      close(fd);
      return path;
    }
    if (errno != EEXIST) return "";
  }
  return "";
}

// The two temporary files of one conversion; both are gone when it ends.
class TempPair {
 public:
  explicit TempPair(const std::string& dir)
      : source_path(ReserveTempFile(dir, "src")), target_path(ReserveTempFile(dir, "des")) {}
  ~TempPair() {
    Drop(source, source_path);
    Drop(target, target_path);
  }
  bool ok() const { return !source_path.empty() && !target_path.empty(); }

  std::string source_path;
  std::string target_path;
  CVelFileStream* source = nullptr;
  CVelFileStream* target = nullptr;

 private:
  static void Drop(CVelFileStream* stream, const std::string& path) {
    // The file is a temporary that goes now: nothing in it is kept.
    if (stream != nullptr) stream->Release().IgnoreError();
    if (!path.empty()) unlink(path.c_str());
  }
};

// Makes a file stream over `path` and opens it; `created` and `opened` are
// the site codes of the two steps.
Status OpenFile(const std::string& path, int mode, CVelFileStream** out, int created, int opened) {
  try {
    *out = new CVelFileStream(path, false);
  } catch (...) {
    return created;
  }
  return AtSite((*out)->Open(mode), opened);
}

}  // namespace

CVelSXCStream::CVelSXCStream(Stream*& inner, const std::string& schema_path,
                             const std::string& temp_dir, const SxcReadLimits& limits)
    : CVelStreamDecorator(inner), schema_path_(schema_path), temp_dir_(temp_dir), limits_(limits) {
  if (temp_dir_.empty()) temp_dir_ = SystemTempDir();
  if (temp_dir_.empty() || schema_path_.empty()) throw std::runtime_error(kEmptyPath);
  if (temp_dir_.back() != '/') temp_dir_ += '/';
  codec_ = SchemaCodec::Create(schema_path_);  // may throw when the file cannot be opened
  if (!codec_) throw std::runtime_error(kInitError);
  codec_->SetDecodeLimits(static_cast<uint64_t>(std::max<int64_t>(limits_.stored_size, 0)),
                          limits_.max_output);
  Reset();
}

CVelSXCStream::~CVelSXCStream() {
  // A destructor cannot report; callers that need the result close first.
  Close().IgnoreError();
}

Stream* CVelSXCStream::Clone() {
  return CloneOver(inner_, [this](Stream*& inner) {
    return new CVelSXCStream(inner, schema_path_, temp_dir_, limits_);
  });
}

void CVelSXCStream::Reset() {
  content_.reset();
  content_size_ = 0;
  CVelStreamDecorator::Reset();
}

void CVelSXCStream::ShowContent() {
  if (content_) {
    SetWindow(content_.get(), content_size_, content_size_);
  } else {
    ClearWindow();
  }
  position_ = 0;
  length_ = content_size_;
}

Status CVelSXCStream::Decode() {
  if (end_of_input_ || content_) {
    if (window_start_ == nullptr) ShowContent();
    return kOk;
  }
  ClearWindow();
  position_ = 0;
  length_ = 0;
  int code = kOk;
  {
    TempPair files(temp_dir_);
    whole_in_first_window_ = true;
    end_of_input_ = true;
    if (!files.ok()) return kSiteSxcDecodeSourceCreate;
    code = OpenFile(files.source_path, kModeReadWriteNew, &files.source, kSiteSxcDecodeSourceCreate,
                    kSiteSxcDecodeSourceOpen);
    if (code != kOk) return code;
    code = AtSite(CopyStream(files.source, inner_, nullptr, kSeekSet, 0), kSiteSxcDecodeCopyIn);
    if (code != kOk) return code;
    if (files.source->GetLength() == 0) {
      ShowContent();  // nothing stored: empty content
      return kOk;
    }
    code = AtSite(files.source->Close(), kSiteSxcDecodeSourceClose);
    if (code != kOk) return code;
    std::string why;
    if (!codec_->DecodeFile(files.source_path, files.target_path, &why)) {
      if (limits_.report != nullptr) {
        limits_.report->limit_reached = codec_->limit_reached();
        limits_.report->reason = why;
      }
      return kDecodeFailed;
    }
    code = OpenFile(files.target_path, kModeRead, &files.target, kSiteSxcDecodeTargetCreate,
                    kSiteSxcDecodeTargetOpen);
    if (code != kOk) return code;
    uint8_t* data = nullptr;
    int64_t size = 0;
    code = AtSite(ReadWholeStream(files.target, &data, &size), kSiteSxcDecodeReadResult);
    std::unique_ptr<uint8_t[]> owned(data);
    if (code != kOk) return code;
    if (size <= 0) return kDecodeFailed;
    files.target->Close().IgnoreError();  // read whole already; the file goes
    content_ = std::move(owned);
    content_size_ = size;
  }
  ShowContent();
  return kOk;
}

Status CVelSXCStream::Encode(bool /*final*/) {
  if (!dirty_) return kOk;
  int code = kOk;
  if (length_ == 0 || blocks_.empty()) {
    code = AtSite(inner_->Clear(), kSiteSxcEncodeClearEmpty);
    if (code == kOk) code = AtSite(inner_->Flush(), kSiteSxcEncodeFlushEmpty);
    Reset();
    return code;
  }
  {
    TempPair files(temp_dir_);
    code = files.ok() ? OpenFile(files.source_path, kModeReadWriteNew, &files.source,
                                 kSiteSxcEncodeSourceCreate, kSiteSxcEncodeSourceOpen)
                      : Status(kSiteSxcEncodeSourceCreate);
    const int64_t block_count = (length_ - 1) / kWindowSize + 1;
    if (code == kOk && block_count != static_cast<int64_t>(blocks_.size())) {
      code = kSiteSxcEncodeBlockCount;
    }
    for (int64_t i = 0; code == kOk && i < block_count; ++i) {
      const bool last = i == block_count - 1;
      const int64_t size = last ? length_ - (block_count - 1) * kWindowSize : kWindowSize;
      code = AtSite(files.source->Write(blocks_[static_cast<size_t>(i)].get(), size),
                    last ? kSiteSxcEncodeWriteLastBlock : kSiteSxcEncodeWriteBlock);
    }
    if (code == kOk) code = AtSite(files.source->Close(), kSiteSxcEncodeSourceClose);
    if (code == kOk && !codec_->EncodeFile(files.source_path, files.target_path)) code = kEncodeFailed;
    if (code == kOk) {
      code = OpenFile(files.target_path, kModeRead, &files.target, kSiteSxcEncodeTargetCreate,
                      kSiteSxcEncodeTargetOpen);
    }
    if (code == kOk) code = AtSite(inner_->Clear(), kSiteSxcEncodeClearInner);
    if (code == kOk) {
      code = AtSite(CopyStream(inner_, files.target, nullptr, kSeekSet, 0), kSiteSxcEncodeCopyOut);
    }
    if (code == kOk) {
      files.target->Close().IgnoreError();  // copied already; the file goes
      dirty_ = false;
    }
  }
  Reset();
  return code;
}

void RegisterSxcStream() {
  RegisterStreamMaker(kSxcStream, [](void* args) -> Stream* {
    auto* a = static_cast<SxcStreamArgs*>(args);
    return new CVelSXCStream(a->inner, a->schema_path, a->temp_dir,
                             SxcReadLimits{a->stored_size, a->max_output, a->report});
  });
}

}  // namespace zoq
