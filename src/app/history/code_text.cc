#include "app/history/code_text.h"

#include "app/app_language.h"
#include "zoq/error_table.h"

namespace zoqe {

QString HistoryCodeText(int code) {
  const char* message = zoq::PackageErrorText(code, CurrentLanguage());
  if (message == nullptr) return QStringLiteral("(%1)").arg(code);
  QString words = QString::fromUtf8(message);
  if (words.startsWith(QLatin1String("ZOQ:"))) words = words.mid(4).trimmed();
  return words + QStringLiteral("(%1)").arg(code);
}

}  // namespace zoqe
