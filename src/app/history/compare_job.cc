#include "app/history/compare_job.h"

#include <QCoreApplication>
#include <QTemporaryFile>
#include <QThread>

#include <new>

namespace zoqe {

namespace {

// The context of this file's texts in the translations.
struct Text {
  Q_DECLARE_TR_FUNCTIONS(CompareJob)
};

bool WriteTemporary(QTemporaryFile* file, const QString& folder, const QByteArray& text) {
  file->setFileTemplate(folder + QStringLiteral("/compare-XXXXXX"));
  return file->open() && file->write(text) == text.size() && file->flush();
}

}  // namespace

CompareJob::CompareJob(zoq::Container* package, const zoq::KeyInfo* key, const QString& path,
                       int before, int after, const QString& work_folder, int64_t text_limit)
    : package_(package),
      key_(key),
      path_(path),
      before_(before),
      after_(after),
      work_folder_(work_folder),
      text_limit_(text_limit) {
  // A QThread (not a bare thread), so that diff's QProcess has the event
  // dispatcher it needs.
  thread_.reset(QThread::create([this] { Run(); }));
  thread_->start();
}

CompareJob::~CompareJob() {
  cancel_ = true;
  thread_->wait();
}

void CompareJob::Run() {
  CompareOutcome& out = outcome_;
  try {
    out.before = ReadVersionContent(package_, path_, before_, key_.get(), text_limit_, &cancel_,
                                    &read_);
    if (!cancel_) {
      out.after = ReadVersionContent(package_, path_, after_, key_.get(), text_limit_, &cancel_,
                                     &read_);
    }
    const VersionContent& a = out.before;
    const VersionContent& b = out.after;
    const bool texts = (a.exists || b.exists) && a.code == 0 && b.code == 0 && !a.binary &&
                       !b.binary && a.complete && b.complete;
    if (!cancel_ && texts) {
      if (a.text != b.text) {
        QTemporaryFile file_a, file_b;
        if (!WriteTemporary(&file_a, work_folder_, a.text) ||
            !WriteTemporary(&file_b, work_folder_, b.text)) {
          out.error = Text::tr("无法写入临时文件: %1").arg(work_folder_);
        } else {
          RunLineDiff(file_a.fileName(), file_b.fileName(), &out.hunks, &out.error, &cancel_);
        }
      }
      if (!cancel_ && out.error.isEmpty()) {
        AlignSides(a.text, b.text, out.hunks, &out.left, &out.right);
        out.laid_out = true;
      }
    }
  } catch (const std::bad_alloc&) {
    out = CompareOutcome();
    out.error = Text::tr("内存不足，无法比较");
  }
  finished_ = true;
}

}  // namespace zoqe
