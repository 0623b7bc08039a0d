// The progress dialog of long exports: shown when a selection holds more
// than 100 parts or 50 MiB, updated between parts (which keeps the window
// responsive), with a cancel button that stops the export once the current
// part is written.
#pragma once

#include <QElapsedTimer>
#include <QString>

#include <cstdint>
#include <memory>

#include "app/export/export_job.h"

class QProgressDialog;
class QWidget;

namespace zoqe {

inline constexpr int64_t kProgressPartLimit = 100;
inline constexpr int64_t kProgressByteLimit = int64_t{50} << 20;

bool NeedsProgress(const SelectionSize& size);

class ExportProgress {
 public:
  // Does nothing unless `size` needs a progress dialog; otherwise shows one
  // over `parent` and hands `job` a progress callback.
  ExportProgress(QWidget* parent, const SelectionSize& size, ExportJob* job);
  ~ExportProgress();

  bool shown() const { return dialog_ != nullptr; }

 private:
  bool Update(int64_t parts, int64_t bytes);

  ExportJob* job_ = nullptr;
  SelectionSize total_;
  std::unique_ptr<QProgressDialog> dialog_;
  QElapsedTimer since_update_;
};

// "12.5MB" style text for the progress label.
QString ProgressBytesText(int64_t bytes);

}  // namespace zoqe
