// Encoding part content through its ECS codes into private storage, apart
// from the container: what runs here needs only the settings taken from the
// container beforehand, so several threads may encode at once.
#include <unistd.h>

#include <new>

#include "stream/check_byte.h"
#include "package/code_stack.h"
#include "package/data_record.h"
#include "package/package_editor.h"
#include "package/temp_files.h"
#include "stream/dynamic_memory_stream.h"

namespace zoq {

EncodedPart::~EncodedPart() { Drop(); }

void EncodedPart::Drop() {
  memory_ = nullptr;
  encoder_.reset();
  if (!file_.empty()) unlink(file_.c_str());
  file_.clear();
}

// Builds the decorator stack that applies `codes` in list order over `sink`
// (taking it over) and opens it for writing.
Status PackageEditor::StackEncoders(const EncodeSettings& settings, const uint8_t* codes,
                                 const EcsCodeArg* args, int count, Stream* sink, Stream** out) {
  *out = nullptr;
  Stream* stream = sink;
  CodeStackSettings stack;
  stack.iv_header = settings.iv_header;
  stack.temp_dir = settings.temp_dir;
  stack.schema = [&settings] { return settings.schema; };
  for (int i = count - 1; i >= 0; --i) {
    const KeyInfo* key = args != nullptr ? args[i].key : nullptr;
    if (codes[i] == kEcsAdm && key != nullptr && key->key_length <= 0) key = nullptr;
    Stream* next = nullptr;
    int result = WrapForCode(codes[i], stream, key, stack, kSiteUnknownAddCode, kEncodeFailed,
                             &next);
    if (result != kOk) return result;
    stream = next;
  }
  int result = stream->Open(kModeWrite);
  if (result != kOk) {
    delete stream;
    return AtSite(result, kEncodeFailed);
  }
  *out = stream;
  return kOk;
}

Status PackageEditor::ExclusiveOrOf(Stream* stream, uint8_t* out) {
  constexpr int64_t kPiece = 0x40000;
  std::unique_ptr<uint8_t[]> piece(new (std::nothrow) uint8_t[kPiece]);
  if (!piece) return kOutOfMemory;
  uint8_t check = 0;
  for (;;) {
    int64_t done = 0;
    if (stream->Read(piece.get(), kPiece, &done) != kOk) return kTempFileProblem;
    if (done <= 0) break;
    check = FoldCheckByte(piece.get(), static_cast<size_t>(done), check);
  }
  *out = check;
  return kOk;
}

// A closed read-only window of `length` bytes at `offset` in the file.
Status PackageEditor::FileWindow(const std::string& path, int64_t offset, int64_t length,
                              std::unique_ptr<Stream>* out) {
  FileStreamArgs file;
  file.path = path;
  file.shared = true;
  Stream* inner = nullptr;
  if (CreateStream(kModeClose, &file, &inner, kFileStream) != kOk) return kTempFileProblem;
  if (ReadOnlyWindow(inner, offset, length, out) != kOk) return kTempFileProblem;
  return kOk;
}

// Sources of 50 MiB or more (or of unknown length) are encoded into a
// storage file of their own, so that memory does not grow with the part;
// shorter ones into memory, from where filing stores them once.
Status PackageEditor::Encode(const EncodeSettings& settings, Stream* source,
                          const std::vector<uint8_t>& codes, const EcsCodeArg* args,
                          std::unique_ptr<EncodedPart>* out) {
  std::unique_ptr<EncodedPart> part(new (std::nothrow) EncodedPart());
  if (!part) return kOutOfMemory;
  part->owner_ = settings.owner;
  part->code_count_ = static_cast<int>(codes.size());
  for (size_t i = 0; i < codes.size(); ++i) {
    part->codes_[i] = codes[i];
    if (codes[i] == kEcsAdm) part->uses_adm_ = true;
    if (codes[i] == kEcsSxc) part->uses_sxc_ = true;
  }
  part->iv_header_ = settings.iv_header;

  const int64_t source_length = source->GetLength();
  const bool large = source_length < 0 || source_length >= kLargeSource;
  Stream* sink = nullptr;
  CVelDynamicMemoryStream* memory = nullptr;
  if (large && !settings.temp_dir.empty()) {
    int code = MakeTempFile(settings.temp_dir, &part->file_);
    if (code != kOk) return code;
    FileStreamArgs file;
    file.path = part->file_;
    if (CreateStream(kModeClose, &file, &sink, kFileStream) != kOk) return kTempFileProblem;
  } else {
    memory = new (std::nothrow) CVelDynamicMemoryStream();
    if (memory == nullptr) return kOutOfMemory;
    sink = memory;
  }
  // The stack owns its sink; it is kept (closed, its coding state freed)
  // for as long as the memory sink's bytes are needed.
  Stream* top = nullptr;
  int code = StackEncoders(settings, part->codes_.data(), args, part->code_count_, sink, &top);
  if (code != kOk) return code;
  part->encoder_.reset(top);
  code = CopyStream(top, source, nullptr, kSeekSet, 0);
  if (code == kOk) code = top->Flush();
  if (code == kOk) code = top->Close();
  if (code != kOk) return AtSite(code, kEncodeFailed);

  if (memory != nullptr) {
    if (memory->Open(kModeRead) != kOk) return kEncodeFailed;
    part->memory_ = memory;
    part->size_ = memory->GetLength();
    if (part->size_ < 0) return kEncodeFailed;
  } else {
    part->encoder_.reset();
    FileIdentity id = IdentityOfPath(part->file_);
    if (!id.known) return kTempFileProblem;
    part->size_ = id.size;
    std::unique_ptr<Stream> window;
    code = FileWindow(part->file_, 0, part->size_, &window);
    if (code == kOk && window->Open(kModeRead) != kOk) code = kTempFileProblem;
    if (code == kOk) code = ExclusiveOrOf(window.get(), &part->check_);
    if (code != kOk) return code;
  }
  *out = std::move(part);
  return kOk;
}

}  // namespace zoq
