// Copies folders and parts of an open package into a folder on disk, each
// part decoded or exactly as stored (".zoqf" appended). A folder's children
// are written in the container's order and the first child that fails ends
// that folder; a part counts as written only when its whole content was
// extracted.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "zoq/container.h"
#include "zoq/decode_options.h"

namespace zoqe {

class ExportFolder;

// Suffix of the files of a raw export.
inline constexpr const char kRawSuffix[] = ".zoqf";

struct ExportSettings {
  int version = 0;      // revision limit: 0 the whole package, k history version k
  bool raw = false;     // stored bytes instead of decoded content
  const zoq::KeyInfo* key = nullptr;
  unsigned folder_mode = 0755;  // mode of the folders export creates
};

// How much a selection holds: its parts and their stored sizes.
struct SelectionSize {
  int64_t parts = 0;
  int64_t bytes = 0;
};

class ExportJob {
 public:
  // Called after each part with the parts and stored bytes dealt with so
  // far; returning false stops the export after that part.
  using Progress = std::function<bool(int64_t parts, int64_t bytes)>;

  ExportJob(zoq::Container* container, ExportSettings settings);

  void set_progress(Progress progress) { progress_ = std::move(progress); }

  // Counts the parts below `nodes` that an export would write, with their
  // stored sizes (remembered for the byte progress).
  SelectionSize Measure(const std::vector<zoq::PathNode*>& nodes);

  // Exports `node` into `target`: a part as a file of its name; a folder's
  // children straight into `target`, or with `own_folder` into a folder of
  // its name made there. A null node succeeds. Returns false on failure and
  // when the export was stopped.
  bool Export(zoq::PathNode* node, const ExportFolder& target, bool own_folder);

  bool cancelled() const { return cancelled_; }
  int64_t parts_written() const { return parts_written_; }
  int64_t parts_failed() const { return parts_failed_; }
  // The package code of the last part that could not be extracted (0 when
  // the part was refused for its name, for what stands at its place or by
  // the file system).
  int last_code() const { return last_code_; }

 private:
  bool ExportFolderNode(zoq::PathNode* node, const ExportFolder& target);
  bool ExportPart(zoq::PathNode* node, const ExportFolder& target);
  // Writes the part's content at the export's version to `fd`: 0, or the
  // code of the failure (opening, decoding, or 5066 when writing fails).
  int CopyPart(const std::u16string& path, int fd);
  // Whether a child met inside a folder exists at the export's version.
  bool ExistsAtVersion(zoq::PathNode* node);
  // Whether a part with this information has content at `version`.
  static bool PresentAt(const zoq::PartInfo& info, int version);
  int64_t StoredSize(zoq::PathNode* node);
  bool Advance(zoq::PathNode* node);

  zoq::Container* container_;
  ExportSettings settings_;
  zoq::DecodeOptions options_;
  Progress progress_;
  std::unordered_map<const zoq::PathNode*, int64_t> sizes_;
  // Buffer of CopyPart, made once for the whole export.
  static constexpr int64_t kPieceSize = int64_t{1} << 20;
  std::unique_ptr<uint8_t[]> piece_;
  bool cancelled_ = false;
  int64_t parts_done_ = 0;
  int64_t bytes_done_ = 0;
  int64_t parts_written_ = 0;
  int64_t parts_failed_ = 0;
  int last_code_ = 0;
};

}  // namespace zoqe
