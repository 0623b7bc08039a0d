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
    ShowMessage(window, Text::tr("界面语言将在下次启动本程序时更改。"), Text::tr("提示"),
                QMessageBox::Information);
  }
}

}  // namespace

void AddLanguageMenu(QMenu* menu, QWidget* window) {
  QMenu* languages = menu->addMenu(Text::tr("语言(&L)"));
  languages->setObjectName(QStringLiteral("menuLanguage"));
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
}

}  // namespace zoqe
