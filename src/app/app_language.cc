#include "app/app_language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QSettings>
#include <QTranslator>

#include "app/shell_types.h"

namespace zoqe {

namespace {

constexpr char kSettingsKey[] = "language";

zoq::MessageLanguage current = zoq::MessageLanguage::kChinese;
// The translator ApplyLanguage installed, removed by its next call.
QTranslator* installed = nullptr;

// The program's settings: ~/.config/zoq/zoq-explorer.conf.
#define ZOQE_SETTINGS(name) QSettings name(QStringLiteral("zoq"), QStringLiteral("zoq-explorer"))

// Installs the translation in `file` (a .qm) in a new translator owned by the
// application; null when it cannot be loaded.
QTranslator* Install(const QString& file) {
  auto* translator = new QTranslator(QCoreApplication::instance());
  if (!translator->load(file) || !QCoreApplication::installTranslator(translator)) {
    delete translator;
    return nullptr;
  }
  return translator;
}

}  // namespace

bool LanguageSetByEnvironment() {
  zoq::MessageLanguage language;
  return zoq::ParseMessageLanguage(qgetenv("ZOQ_LANG").constData(), &language);
}

zoq::MessageLanguage ChosenLanguage() {
  zoq::MessageLanguage language = zoq::MessageLanguage::kChinese;
  if (zoq::ParseMessageLanguage(qgetenv("ZOQ_LANG").constData(), &language)) return language;
  ZOQE_SETTINGS(settings);
  const QByteArray saved = settings.value(QLatin1String(kSettingsKey)).toString().toLatin1();
  zoq::ParseMessageLanguage(saved.constData(), &language);
  return language;
}

void RememberLanguage(zoq::MessageLanguage language) {
  ZOQE_SETTINGS(settings);
  settings.setValue(QLatin1String(kSettingsKey),
                      language == zoq::MessageLanguage::kEnglish ? QStringLiteral("en")
                                                                 : QStringLiteral("zh"));
}

bool ApplyLanguage(zoq::MessageLanguage language) {
  // Type names the desktop gave are in the language of the locale.
  ShellTypes::Instance().Clear();
  if (installed != nullptr) {
    QCoreApplication::removeTranslator(installed);
    delete installed;
    installed = nullptr;
  }
  if (language == zoq::MessageLanguage::kEnglish) {
    // Qt's own texts are English without a translation.
    installed = Install(QStringLiteral(":/zoqe/i18n/zoq_explorer_en.qm"));
    if (installed != nullptr) {
      QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
      current = language;
      return true;
    }
  }
  // The program's texts are Chinese as written; the standard buttons and
  // dialogs speak Chinese too, whatever the system's locale.
  QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
  installed = Install(QLibraryInfo::path(QLibraryInfo::TranslationsPath) +
                      QStringLiteral("/qtbase_zh_CN.qm"));
  current = zoq::MessageLanguage::kChinese;
  return language == zoq::MessageLanguage::kChinese;
}

zoq::MessageLanguage CurrentLanguage() { return current; }

}  // namespace zoqe
