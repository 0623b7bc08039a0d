// The interface language: a window made after switching speaks English
// (its own texts, the library's code texts and Qt's standard buttons) or
// Chinese again; ZOQ_LANG and the View menu choice decide the language of
// the next start.
#include <QAction>
#include <QDialogButtonBox>
#include <QMenu>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "app/app_language.h"
#include "app/application.h"
#include "app/command_table.h"
#include "app/info_panel.h"
#include "app/item_list_model.h"
#include "app/main_window.h"
#include "message_recorder.h"
#include "window_test_util.h"

using namespace zoqe;
using zoq::MessageLanguage;
using zoqe_test::Child;
using zoqe_test::CommandsOf;
using zoqe_test::Corpus;
using zoqe_test::MessageRecorder;

namespace {

QString OkButtonText() {
  QDialogButtonBox box(QDialogButtonBox::Ok);
  return box.button(QDialogButtonBox::Ok)->text();
}

}  // namespace

class LanguageTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void initTestCase() {
    QStandardPaths::setTestModeEnabled(true);  // settings in a test folder
    qunsetenv("ZOQ_LANG");
    CZOQEApp::ConfigureEnvironment();
    QVERIFY(temp_.isValid());
  }

  void cleanupTestCase() { ApplyLanguage(MessageLanguage::kChinese); }

  void windowsSpeakTheAppliedLanguage() {
    QVERIFY(ApplyLanguage(MessageLanguage::kEnglish));
    QCOMPARE(CurrentLanguage(), MessageLanguage::kEnglish);
    {
      CZOQEDlg window(nullptr, temp_.path() + QLatin1Char('/'));
      const CommandTable commands = CommandsOf(window);
      QCOMPARE(commands.file_menu->title(), QStringLiteral("File"));
      QCOMPARE(commands.view_menu->title(), QStringLiteral("&View"));
      QCOMPARE(commands.open->text(), QStringLiteral("&Open...\tCtrl+O"));
      QCOMPARE(window.list_model()->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("Name"));
      QVERIFY(!OkButtonText().contains(QStringLiteral("确定")));
      // The information strip, type names and messages of an open package.
      MessageRecorder messages;
      QVERIFY(!window.OpenPackage(Corpus("b_bad_magic.zoq"), true));
      QCOMPARE(messages.LastText(), QStringLiteral("Unrecognised file format!(5000)"));
      QVERIFY(window.OpenPackage(Corpus("v_history.zoq"), true));
      const InfoPanel* info = window.info_panel();
      QCOMPARE(info->ValueOf(QStringLiteral("File name")), QStringLiteral("v_history.zoq"));
      QCOMPARE(info->ValueOf(QStringLiteral("Files")), QStringLiteral("4"));
      window.SelectTreeItem(Child(window.tree_model()->root(), QStringLiteral("dir")));
      QCOMPARE(info->ValueOf(QStringLiteral("Type")), QStringLiteral("Folder"));
      window.SelectTreeItem(Child(window.tree_model()->root(), QStringLiteral("a.txt")));
      QCOMPARE(info->ValueOf(QStringLiteral("Stored size")), QStringLiteral("1KB (895 bytes)"));
    }
    QVERIFY(ApplyLanguage(MessageLanguage::kChinese));
    QCOMPARE(CurrentLanguage(), MessageLanguage::kChinese);
    CZOQEDlg window(nullptr, temp_.path() + QLatin1Char('/'));
    QCOMPARE(CommandsOf(window).file_menu->title(), QStringLiteral("文件"));
    QCOMPARE(CommandsOf(window).open->text(), QStringLiteral("打开(&O)...\tCtrl+O"));
    QCOMPARE(OkButtonText(), QStringLiteral("确定"));
  }

  void environmentOverridesTheMenuChoice() {
    CZOQEDlg window(nullptr, temp_.path() + QLatin1Char('/'));
    auto* english = window.findChild<QAction*>(QStringLiteral("actionLanguageEnglish"));
    auto* chinese = window.findChild<QAction*>(QStringLiteral("actionLanguageChinese"));
    QVERIFY(english != nullptr && chinese != nullptr);
    QVERIFY(chinese->isChecked());
    MessageRecorder messages;
    // A change is remembered and takes effect at the next start.
    english->trigger();
    QCOMPARE(ChosenLanguage(), MessageLanguage::kEnglish);
    QCOMPARE(messages.shown.size(), 1);
    QCOMPARE(messages.LastText(), QStringLiteral("界面语言将在下次启动本程序时更改。"));
    chinese->trigger();
    QCOMPARE(ChosenLanguage(), MessageLanguage::kChinese);
    QCOMPARE(messages.shown.size(), 1);  // the language shown: nothing to say
    // ZOQ_LANG decides over the remembered choice, and a choice says so.
    qputenv("ZOQ_LANG", "en_GB.UTF-8");
    QVERIFY(LanguageSetByEnvironment());
    QCOMPARE(ChosenLanguage(), MessageLanguage::kEnglish);
    chinese->trigger();
    QCOMPARE(messages.shown.size(), 2);
    QVERIFY(messages.LastText().contains(QStringLiteral("ZOQ_LANG")));
    QCOMPARE(ChosenLanguage(), MessageLanguage::kEnglish);
    qputenv("ZOQ_LANG", "fr");  // not a language the program has
    QVERIFY(!LanguageSetByEnvironment());
    QCOMPARE(ChosenLanguage(), MessageLanguage::kChinese);
    qunsetenv("ZOQ_LANG");
  }

 private:
  QTemporaryDir temp_;
};

QTEST_MAIN(LanguageTest)
#include "language_test.moc"
