#include "app/export/export_progress.h"

#include <QCoreApplication>
#include <QProgressDialog>

#include <algorithm>

namespace zoqe {
namespace {

// The context of this file's texts in the translations.
struct Text {
  Q_DECLARE_TR_FUNCTIONS(ExportProgress)
};

constexpr int kSteps = 1000;
// A few redraws a second: redrawing (and handling events) after every
// small part would cost more than writing the parts.
constexpr qint64 kUpdateMs = 200;

}  // namespace

bool NeedsProgress(const zoq::ExtractTotals& size) {
  return size.parts > kProgressPartLimit || size.stored_bytes > kProgressByteLimit;
}

QString ProgressBytesText(int64_t bytes) {
  if (bytes < 1024) return QString::number(bytes) + QStringLiteral("B");
  static const char* const kUnits[] = {"KB", "MB", "GB", "TB"};
  double value = static_cast<double>(bytes) / 1024.0;
  int unit = 0;
  while (value >= 1024.0 && unit < 3) {
    value /= 1024.0;
    ++unit;
  }
  return QString::number(value, 'f', 1) + QLatin1String(kUnits[unit]);
}

ExportProgress::ExportProgress(QWidget* parent, const zoq::ExtractTotals& size,
                               zoq::ExtractJob* job)
    : total_(size) {
  if (!NeedsProgress(size)) return;
  dialog_ = std::make_unique<QProgressDialog>(Text::tr("正在导出..."),
                                              Text::tr("取消"), 0, kSteps, parent);
  dialog_->setObjectName(QStringLiteral("exportProgress"));
  dialog_->setWindowTitle(Text::tr("导出"));
  dialog_->setWindowModality(Qt::WindowModal);
  dialog_->setMinimumDuration(0);
  dialog_->setAutoClose(false);
  dialog_->setAutoReset(false);
  dialog_->setValue(0);
  dialog_->show();
  QCoreApplication::processEvents();
  job_ = job;
  job->SetProgress(
      [this](const zoq::ExtractProgress& now) { return Update(now.parts_done, now.stored_done); });
}

ExportProgress::~ExportProgress() {
  if (job_ != nullptr) job_->SetProgress(nullptr);
}

bool ExportProgress::Update(int64_t parts, int64_t bytes) {
  const bool last = parts >= total_.parts;
  if (since_update_.isValid() && since_update_.elapsed() < kUpdateMs && !last) {
    return !dialog_->wasCanceled();
  }
  since_update_.start();
  // Parts and bytes weigh equally, so that neither many small parts nor one
  // large part leaves the bar standing still.
  double share = total_.parts > 0 ? static_cast<double>(parts) / total_.parts : 1.0;
  share += total_.stored_bytes > 0 ? static_cast<double>(bytes) / total_.stored_bytes : share;
  const int value = static_cast<int>(std::min(1.0, share / 2.0) * kSteps);
  dialog_->setLabelText(Text::tr("正在导出: 第%1/%2个文件, %3/%4")
                            .arg(parts)
                            .arg(total_.parts)
                            .arg(ProgressBytesText(bytes), ProgressBytesText(total_.stored_bytes)));
  dialog_->setValue(value);
  QCoreApplication::processEvents();
  return !dialog_->wasCanceled();
}

}  // namespace zoqe
