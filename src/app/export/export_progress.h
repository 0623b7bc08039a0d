// The progress dialog of long exports: shown when a selection holds more
// than 100 parts or 50 MiB, updated a few times a second while the parts are
// written off the window's thread (which keeps the window responsive), with
// a cancel button that stops the export once the part being written is.
#pragma once

#include <QElapsedTimer>
#include <QString>

#include <cstdint>
#include <memory>

#include "zoq/extract_job.h"

class QProgressDialog;
class QWidget;

namespace zoqe {

inline constexpr int64_t kProgressPartLimit = 100;
inline constexpr int64_t kProgressByteLimit = int64_t{50} << 20;

bool NeedsProgress(const zoq::ExtractTotals& size);

class ExportProgress {
 public:
  // Does nothing unless `size` needs a progress dialog; otherwise shows one
  // over `parent` and hands `job` a progress callback.
  ExportProgress(QWidget* parent, const zoq::ExtractTotals& size, zoq::ExtractJob* job);
  ~ExportProgress();

  bool shown() const { return dialog_ != nullptr; }

 private:
  bool Update(int64_t parts, int64_t bytes);

  zoq::ExtractJob* job_ = nullptr;
  zoq::ExtractTotals total_;
  std::unique_ptr<QProgressDialog> dialog_;
  QElapsedTimer since_update_;
};

// "12.5MB" style text for the progress label.
QString ProgressBytesText(int64_t bytes);

}  // namespace zoqe
