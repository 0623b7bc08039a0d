#include "app/export/export_job.h"

#include <memory>

#include "app/export/export_folder.h"
#include "zoq/utf.h"
#include "zoq/stream.h"

namespace zoqe {

ExportJob::ExportJob(zoq::Container* container, ExportSettings settings)
    : container_(container), settings_(settings) {
  options_.code = settings.raw ? 0 : zoq::kEcsEnd;
  options_.key = settings.key;
}

bool ExportJob::ExistsAtVersion(zoq::PathNode* node) {
  // The tree is the newest revision's: inside a history version, parts made
  // later (or deleted by then) have no content and are passed over rather
  // than failing the folder.
  if (settings_.version == 0 || node->IsFolder()) return true;
  zoq::PartInfo info;
  if (container_->GetPartInfo(&info, node, settings_.version) != 0) return true;
  return PresentAt(info, settings_.version);
}

bool ExportJob::PresentAt(const zoq::PartInfo& info, int version) {
  if (version == 0) return true;
  if (info.deleted) return false;
  for (int revision : info.revisions) {
    if (revision < version) return true;
  }
  return false;
}

SelectionSize ExportJob::Measure(const std::vector<zoq::PathNode*>& nodes) {
  SelectionSize size;
  std::vector<zoq::PathNode*> pending(nodes.rbegin(), nodes.rend());
  while (!pending.empty()) {
    zoq::PathNode* node = pending.back();
    pending.pop_back();
    if (node == nullptr) continue;
    if (node->IsFolder()) {
      const std::vector<zoq::PathNode*> children = node->Children();
      pending.insert(pending.end(), children.rbegin(), children.rend());
      continue;
    }
    zoq::PartInfo info;
    if (container_->GetPartInfo(&info, node, settings_.version) != 0) {
      ++size.parts;
      continue;
    }
    if (!PresentAt(info, settings_.version)) continue;
    ++size.parts;
    size.bytes += info.size;
    sizes_[node] = info.size;
  }
  return size;
}

int64_t ExportJob::StoredSize(zoq::PathNode* node) {
  auto found = sizes_.find(node);
  return found == sizes_.end() ? 0 : found->second;
}

bool ExportJob::Advance(zoq::PathNode* node) {
  ++parts_done_;
  bytes_done_ += StoredSize(node);
  if (progress_ && !progress_(parts_done_, bytes_done_)) cancelled_ = true;
  return !cancelled_;
}

bool ExportJob::Export(zoq::PathNode* node, const ExportFolder& target, bool own_folder) {
  if (cancelled_) return false;
  if (node == nullptr) return true;
  if (!node->IsFolder()) return ExportPart(node, target);
  if (!own_folder) return ExportFolderNode(node, target);
  ExportFolder folder;
  const std::string name = zoq::Utf16ToUtf8Lenient(node->GetName());
  if (target.Subfolder(name, settings_.folder_mode, &folder) != ExportFolder::Result::kOk) {
    last_code_ = 0;
    ++parts_failed_;
    return false;
  }
  return ExportFolderNode(node, folder);
}

bool ExportJob::ExportFolderNode(zoq::PathNode* node, const ExportFolder& target) {
  // Children() leaves the node's iteration cursor alone, so a viewer walking
  // the same tree is not disturbed.
  for (zoq::PathNode* child : node->Children()) {
    if (!ExistsAtVersion(child)) continue;
    if (!Export(child, target, true)) return false;
  }
  return true;
}

bool ExportJob::ExportPart(zoq::PathNode* node, const ExportFolder& target) {
  std::string name = zoq::Utf16ToUtf8Lenient(node->GetName());
  if (settings_.raw && IsSafeExportName(name)) name += kRawSuffix;
  int code = 0;
  const ExportFolder::Result result = target.WriteFile(name, [&](int fd) {
    code = CopyPart(node->GetPath(), fd);
    return code == 0;
  });
  const bool written = result == ExportFolder::Result::kOk;
  if (written) {
    ++parts_written_;
  } else {
    ++parts_failed_;
    last_code_ = code;
  }
  // A stop asked for during this part takes effect once it is written.
  const bool go_on = Advance(node);
  return written && go_on;
}

int ExportJob::CopyPart(const std::u16string& path, int fd) {
  zoq::Stream* opened = nullptr;
  const int code = container_->OpenPart(path, &opened, settings_.version, &options_, false);
  std::unique_ptr<zoq::Stream> content(opened);
  if (code != 0) return code;
  if (content == nullptr) return zoq::kFailed;
  if (piece_ == nullptr) piece_ = std::make_unique<uint8_t[]>(kPieceSize);
  for (bool end = false; !end;) {
    // Fill the whole piece before writing: a decoder may hand out less than
    // asked for, and few large writes cost less than many small ones.
    int64_t filled = 0;
    while (filled < kPieceSize) {
      int64_t done = 0;
      const int read = content->Read(piece_.get() + filled, kPieceSize - filled, &done);
      if (read != 0) return read;  // a decoding failure: the part is not whole
      if (done <= 0) {
        end = true;
        break;
      }
      filled += done;
    }
    if (!WriteAllBytes(fd, piece_.get(), static_cast<size_t>(filled))) {
      return zoq::kTargetFileFailed;
    }
  }
  return 0;
}

}  // namespace zoqe
