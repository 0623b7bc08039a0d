#include "app/history/recovery_offer.h"

#include <QCoreApplication>
#include <QFile>

#include "app/history/code_text.h"
#include "app/message_box.h"
#include "zoq/codes.h"
#include "zoq/recovery.h"

namespace zoqe {

namespace {
// The context of this file's texts in the translations.
struct Text {
  Q_DECLARE_TR_FUNCTIONS(RecoveryOffer)
};
}  // namespace

bool IsRevisionDamage(int code) {
  return code >= zoq::kEntryReadFailed && code <= zoq::kBadNextEntry;
}

int OfferReadableRevisions(QWidget* parent, const QString& path, int code) {
  if (!IsRevisionDamage(code)) return 0;
  zoq::RecoveryReport report;
  // The tables are checked; the parts' data is read when it is shown.
  if (zoq::ExaminePackage(QFile::encodeName(path).toStdString(), false, &report) != zoq::kOk ||
      report.header_problem != 0 || report.readable <= 0) {
    return 0;
  }
  const QString question =
      Text::tr("文件已损坏，无法打开: %1。\n\n该文件记录了 %2 个版本，其中前 %3 个版本可以读取。"
           "是否以只读方式打开最后一个可读的版本（版本%3）？")
          .arg(HistoryCodeText(code))
          .arg(report.entry_count)
          .arg(report.readable);
  const auto answer = ShowMessage(parent, question, Text::tr("文件已损坏"), QMessageBox::Question,
                                  QMessageBox::Yes | QMessageBox::No);
  return answer == QMessageBox::Yes ? report.readable : 0;
}

}  // namespace zoqe
