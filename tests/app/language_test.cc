// The interface language: a window made after switching speaks English
// (its own texts, the library's code texts and Qt's standard buttons) or
// Chinese again; the View menu's choice switches a window that is up and is
// remembered, and ZOQ_LANG decides over it.
#include <QAction>
#include <QDialogButtonBox>
#include <QMenu>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

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
      zoqe_test::ExpectInfo(*info, {{"File name", "v_history.zoq"}, {"Files", "4"}});
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

  void menuChoiceSwitchesAtOnceAndKeepsTheState() {
    CZOQEDlg window(nullptr, temp_.path() + QLatin1Char('/'));
    auto* english = window.findChild<QAction*>(QStringLiteral("actionLanguageEnglish"));
    auto* chinese = window.findChild<QAction*>(QStringLiteral("actionLanguageChinese"));
    QVERIFY(english != nullptr && chinese != nullptr);
    QVERIFY(chinese->isChecked());
    MessageRecorder messages;
    QVERIFY(window.OpenPackage(Corpus("v_history.zoq"), true));
    TreeItem* dir = Child(window.tree_model()->root(), QStringLiteral("dir"));
    window.SelectTreeItem(dir);
    const CommandTable commands = CommandsOf(window);
    const InfoPanel* info = window.info_panel();
    auto heading = [&] {
      return window.list_view()->model()->headerData(0, Qt::Horizontal).toString();
    };
    english->trigger();
    QTRY_COMPARE(commands.file_menu->title(), QStringLiteral("File"));
    QCOMPARE(CurrentLanguage(), MessageLanguage::kEnglish);
    QCOMPARE(ChosenLanguage(), MessageLanguage::kEnglish);  // remembered
    QCOMPARE(heading(), QStringLiteral("Name"));
    QCOMPARE(info->ValueOf(QStringLiteral("Type")), QStringLiteral("Folder"));
    QCOMPARE(window.CurrentTreeItem(), dir);
    // A part in the text view stays shown; its strip speaks the language.
    window.SelectTreeItem(Child(window.tree_model()->root(), QStringLiteral("a.txt")));
    QVERIFY(window.item_viewer()->WaitUntilShown());
    QVERIFY(!info->ValueOf(QStringLiteral("Original size")).isNull());
    chinese->trigger();
    QTRY_COMPARE(commands.file_menu->title(), QStringLiteral("文件"));
    QCOMPARE(ChosenLanguage(), MessageLanguage::kChinese);
    QCOMPARE(heading(), QStringLiteral("名称"));
    QCOMPARE(window.current_view(), CZOQEDlg::View::kText);
    QCOMPARE(info->ValueOf(QStringLiteral("包内大小")), QStringLiteral("1KB(895字节)"));
    QVERIFY(!info->ValueOf(QStringLiteral("原始大小")).isNull());
    QVERIFY(messages.shown.isEmpty());
    // ZOQ_LANG decides over the remembered choice, and a choice says so.
    qputenv("ZOQ_LANG", "en_GB.UTF-8");
    QVERIFY(LanguageSetByEnvironment());
    QCOMPARE(ChosenLanguage(), MessageLanguage::kEnglish);
    english->trigger();
    QCOMPARE(messages.shown.size(), 1);
    QVERIFY(messages.LastText().contains(QStringLiteral("ZOQ_LANG")));
    QCOMPARE(CurrentLanguage(), MessageLanguage::kChinese);
    QCOMPARE(ChosenLanguage(), MessageLanguage::kEnglish);
    qputenv("ZOQ_LANG", "fr");  // not a language the program has: the choice counts
    QVERIFY(!LanguageSetByEnvironment());
    QCOMPARE(ChosenLanguage(), MessageLanguage::kEnglish);
    qunsetenv("ZOQ_LANG");
    RememberLanguage(MessageLanguage::kChinese);
  }

 private:
  QTemporaryDir temp_;
};

QTEST_MAIN(LanguageTest)
#include "language_test.moc"
