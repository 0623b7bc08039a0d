#include "app/language_menu.h"

#include <QAction>
#include <QActionGroup>
#include <QCoreApplication>
#include <QMenu>

#include "app/app_language.h"
#include "app/message_box.h"

namespace zoqe {

namespace {

// The context of this file's texts in the translations.
struct Text {
  Q_DECLARE_TR_FUNCTIONS(LanguageMenu)
};

void Choose(QWidget* window, zoq::MessageLanguage language) {
  RememberLanguage(language);
  if (LanguageSetByEnvironment()) {
    ShowMessage(window,
                Text::tr("环境变量ZOQ_LANG指定了界面语言。"
                         "所选语言在不设置ZOQ_LANG启动本程序时使用。"),
                Text::tr("提示"), QMessageBox::Information);
  } else if (language != CurrentLanguage()) {
    // Installing the translations tells every window to show its texts
    // again.
    if (!ApplyLanguage(language)) {
      ShowError(window, Text::tr("无法加载所选语言的翻译, 界面仍为中文。"));
    }
  }
}

}  // namespace

QMenu* AddLanguageMenu(QMenu* menu, QWidget* window) {
  QMenu* languages = menu->addMenu(QString());
  languages->setObjectName(QStringLiteral("menuLanguage"));
  RetranslateLanguageMenu(languages);
  auto* group = new QActionGroup(languages);
  // Each language is named in itself, so that it can be found in either.
  struct Choice {
    const char* name;
    const char* object_name;
    zoq::MessageLanguage language;
  };
  static const Choice kChoices[] = {
      {"中文", "actionLanguageChinese", zoq::MessageLanguage::kChinese},
      {"English", "actionLanguageEnglish", zoq::MessageLanguage::kEnglish},
  };
  for (const Choice& choice : kChoices) {
    QAction* action = languages->addAction(QString::fromUtf8(choice.name));
    action->setObjectName(QLatin1String(choice.object_name));
    action->setCheckable(true);
    action->setChecked(choice.language == CurrentLanguage());
    group->addAction(action);
    const zoq::MessageLanguage language = choice.language;
    QObject::connect(action, &QAction::triggered, window,
                     [window, language] { Choose(window, language); });
  }
  return languages;
}

void RetranslateLanguageMenu(QMenu* languages) {
  languages->setTitle(Text::tr("语言(&L)"));
  // The language in use is checked, also when a choice could not be made.
  for (QAction* action : languages->actions()) {
    action->setChecked(action->objectName() ==
                       QLatin1String(CurrentLanguage() == zoq::MessageLanguage::kEnglish
                                         ? "actionLanguageEnglish"
                                         : "actionLanguageChinese"));
  }
}

}  // namespace zoqe
