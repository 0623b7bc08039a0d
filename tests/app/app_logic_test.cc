// The browser's texts, orderings, type and statistics tables, the item
// command rule and the work folder.
#include <QDir>
#include <QMessageBox>
#include <QMimeDatabase>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <sys/stat.h>

#include "app/app_text.h"
#include "app/row_compare.h"
#include "app/shell_types.h"
#include "app/stats_dialog.h"
#include "app/stats_table.h"
#include "app/type_table.h"
#include "app/work_folder.h"
#include "app/application.h"
#include "app/main_window.h"

using namespace zoqe;

class AppLogicTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void initTestCase() { CZOQEApp::ConfigureEnvironment(); }

  void sizeTexts() {
    QCOMPARE(SizeText(5000, 1, true), QStringLiteral("4K"));
    QCOMPARE(SizeText(500, 1, true), QStringLiteral("1K"));
    QCOMPARE(SizeText(3000000, 1, true), QStringLiteral("2M"));
    QCOMPARE(SizeText(0, 1, true), QStringLiteral("0K"));
    QCOMPARE(SizeText(1023, 1, true), QStringLiteral("1K"));
    QCOMPARE(SizeText(5000, 9, true), QStringLiteral("4K"));  // start unit above 4 counts as 0
    QCOMPARE(SizeText(5000, 0, false), QStringLiteral("5,000"));
    QCOMPARE(SizeText(1234567, 0, false), QStringLiteral("1,234,567"));
    QCOMPARE(SizeText(1000000, 0, false), QStringLiteral("1,000,000"));
    QCOMPARE(SizeText(0, 0, false), QStringLiteral("0"));
    QCOMPARE(LongSizeText(5000), QStringLiteral("4KB(5,000字节)"));
    QCOMPARE(LongSizeText(1023), QStringLiteral("1KB(1,023字节)"));
    QCOMPARE(LongSizeText(0), QStringLiteral("0KB(0字节)"));
    // Sizes past 4 GiB keep their 64 bits.
    QCOMPARE(SizeText(int64_t{5} << 40, 1, true), QStringLiteral("5T"));
    QCOMPARE(SizeText(int64_t{5} << 32, 0, false), QStringLiteral("21,474,836,480"));
  }

  void filterTexts() {
    QCOMPARE(FilterText({1, 128}), QStringLiteral("SXC压缩;ADM加密"));
    QCOMPARE(FilterText({2}), QStringLiteral("ZIP压缩"));
    QCOMPARE(FilterText({0}), QString());
    QCOMPARE(FilterText({255}), QString());
    QCOMPARE(FilterText({7}), QStringLiteral("未知"));
    QCOMPARE(FilterText({2, 0, 128}), QStringLiteral("ZIP压缩;ADM加密"));
  }

  void infoTruncationAndTitle() {
    const QString label30(30, QLatin1Char('L')), label31(31, QLatin1Char('L'));
    QCOMPARE(InfoLabelText(label30), label30 + QStringLiteral(" : "));
    QCOMPARE(InfoLabelText(label31), QString(27, QLatin1Char('L')) + QStringLiteral("... : "));
    const QString value40(40, QLatin1Char('v')), value41(41, QLatin1Char('v'));
    QCOMPARE(InfoValueText(value40), value40);
    QCOMPARE(InfoValueText(value41), QString(37, QLatin1Char('v')) + QStringLiteral("..."));
    // Control characters in names are shown, never obeyed; the rest stays.
    const QString hostile = QStringLiteral("a\x1b[2Jb\r\x07\x7f") + QChar(0x85) +
                            QStringLiteral("名.txt");
    const QString visible = QStringLiteral("a\u241b[2Jb\u240d\u2407\u2421\\x85名.txt");
    QCOMPARE(VisibleText(hostile), visible);
    QCOMPARE(InfoValueText(hostile), visible);
    QCOMPARE(ShownPartName(hostile, false), visible);
    QCOMPARE(ShownPartName(QStringLiteral("a"), true), QStringLiteral("a (与同名文件夹并存的文件)"));
    QCOMPARE(WindowTitle(QStringLiteral("a.zoq"), QStringLiteral("ZOQ Explorer")),
             QStringLiteral("a.zoq - ZOQ Explorer"));
    QCOMPARE(WindowTitle(QString(), QStringLiteral("ZOQ Explorer")),
             QStringLiteral("ZOQ Explorer"));
  }

  void naturalComparison() {
    QVERIFY(CompareNatural(QStringLiteral("a9.txt"), QStringLiteral("a10.txt")) < 0);
    QVERIFY(CompareNatural(QStringLiteral("a10.txt"), QStringLiteral("a9.txt")) > 0);
    QVERIFY(CompareNatural(QStringLiteral("b1"), QStringLiteral("a2")) > 0);
    QCOMPARE(CompareNatural(QStringLiteral("a01"), QStringLiteral("a1")), 0);
    // One text ending first leaves the two equal.
    QCOMPARE(CompareNatural(QStringLiteral("abc"), QStringLiteral("abcd")), 0);
    // Digit runs longer than any integer still compare by value.
    QVERIFY(CompareNatural(QStringLiteral("x99999999999999999999999"),
                           QStringLiteral("x100000000000000000000000")) < 0);
  }

  void listRowOrder() {
    const QString up = QStringLiteral(".."), z = QStringLiteral("z"),
                  a9 = QStringLiteral("a9.txt"), a10 = QStringLiteral("a10.txt");
    const ListRowKey kup{&up, &up, 0, true}, kz{&z, &z, 0, true}, k9{&a9, &a9, 0, false},
        k10{&a10, &a10, 0, false};
    for (bool descending : {false, true}) {
      QVERIFY(CompareListRows(kup, kz, 0, descending) < 0);
      QVERIFY(CompareListRows(kup, k9, 0, descending) < 0);
      QVERIFY(CompareListRows(kz, k9, 0, descending) < 0);  // folders first both ways
    }
    QVERIFY(CompareListRows(k9, k10, 0, false) < 0);
    QVERIFY(CompareListRows(k9, k10, 0, true) > 0);
    // Sizes compare by bytes, not by the shown texts' leading integers.
    const QString mb = QStringLiteral("2MB"), kb = QStringLiteral("4KB");
    const ListRowKey big{&a9, &mb, 3000000, false}, small{&a10, &kb, 5000, false};
    QVERIFY(CompareListRows(big, small, 1, false) > 0);
    QVERIFY(CompareListRows(big, small, 1, true) < 0);
    QVERIFY(CompareListRows(k9, k10, 42, false) < 0);  // unknown column counts as 0
  }

  void itemCommandRule() {
    for (TreeKind kind : {kKindVersionTree, kKindMainTree}) {
      QVERIFY(ItemCommandRule(kind, Selection::kPart).open_enabled);
      QVERIFY(ItemCommandRule(kind, Selection::kPart).export_enabled);
      QVERIFY(!ItemCommandRule(kind, Selection::kFolder).open_enabled);
      QVERIFY(ItemCommandRule(kind, Selection::kFolder).export_enabled);
      QVERIFY(!ItemCommandRule(kind, Selection::kParentRow).export_enabled);
      QVERIFY(!ItemCommandRule(kind, Selection::kNothing).export_enabled);
    }
    for (TreeKind kind : {kKindHistory, kKindNone}) {
      QVERIFY(!ItemCommandRule(kind, Selection::kPart).open_enabled);
      QVERIFY(!ItemCommandRule(kind, Selection::kPart).export_enabled);
    }
  }

  void workFolderIsPrivateAndExclusive() {
    QTemporaryDir temp;
    QVERIFY(temp.isValid());
    // A name taken by someone else's file or folder is skipped.
    QVERIFY(QDir(temp.path()).mkdir(QStringLiteral("~ZOQEXPLORER0")));
    const QString first = CreateWorkFolder(temp.path());
    QCOMPARE(first, temp.path() + QStringLiteral("/~ZOQEXPLORER1/"));
    struct stat info {};
    QCOMPARE(::stat(QFile::encodeName(first).constData(), &info), 0);
    QCOMPARE(info.st_mode & 0777, 0700u);
    const QString second = CreateWorkFolder(temp.path());
    QCOMPARE(second, temp.path() + QStringLiteral("/~ZOQEXPLORER2/"));
    QCOMPARE(CreateWorkFolder(temp.path() + QStringLiteral("/missing/deeper")), QString());

    // Tidying: the folders made above are this run's (locked) and stay as
    // they are; the folder of an ended run loses its empty placeholders and
    // package temporaries, and keeps itself, extracted files and the rest.
    auto make_file = [](const QString& path, const QByteArray& bytes) {
      QFile file(path);
      return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
    };
    const QString ended = temp.path() + QStringLiteral("/~ZOQEXPLORER0/");
    for (const QString& folder : {ended, first}) {
      QVERIFY(make_file(folder + QStringLiteral("~~ZOQ1A2B.tmp"), {}));
      QVERIFY(make_file(folder + QStringLiteral("~~ZOQ1A2B.tmp.png"), "png"));
      QVERIFY(QDir(folder).mkpath(QStringLiteral("~ZOQPAC-x1/inner")));
    }
    QVERIFY(make_file(ended + QStringLiteral("~~ZOQ0000.tmp"), "not empty"));
    QVERIFY(QDir(temp.path()).mkdir(QStringLiteral("~ZOQEXPLORERx")));  // not ours
    QVERIFY(make_file(temp.path() + QStringLiteral("/~ZOQEXPLORERx/~~ZOQ0001.tmp"), {}));
    QCOMPARE(TidyEarlierWorkFolders(temp.path()), 2);
    const auto entries = [](const QString& folder) {
      return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name);
    };
    QCOMPARE(entries(ended), (QStringList{"~~ZOQ0000.tmp", "~~ZOQ1A2B.tmp.png"}));
    QCOMPARE(entries(first), (QStringList{"~ZOQPAC-x1", "~~ZOQ1A2B.tmp", "~~ZOQ1A2B.tmp.png"}));
    QCOMPARE(entries(temp.path() + QStringLiteral("/~ZOQEXPLORERx")), QStringList{"~~ZOQ0001.tmp"});
  }

  void standardDialogsSpeakChinese() {
    QMessageBox box(QMessageBox::Question, QStringLiteral("提示"), QStringLiteral("?"),
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    QVERIFY2(box.button(QMessageBox::Cancel)->text().contains(QStringLiteral("取消")),
             qPrintable(box.button(QMessageBox::Cancel)->text()));
  }

  void typeTableLooksUpEachKeyOnce() {
    ShellTypes shell;
    TypeTable types(&shell);
    const TypeInfo folder = types.Lookup(QStringLiteral("dir"), true, false);
    QCOMPARE(folder.image, int(TypeTable::kFolderImage));
    QCOMPARE(folder.type_name, QStringLiteral("文件夹"));
    const TypeInfo deleted = types.Lookup(QStringLiteral("x.png"), false, true);
    QCOMPARE(deleted.image, int(TypeTable::kDeletedImage));
    QCOMPARE(deleted.type_name, QStringLiteral("已删除"));
    const TypeInfo xml = types.Lookup(QStringLiteral("page.xml"), false, false);
    QCOMPARE(xml.image, int(TypeTable::kXmlImage));
    QCOMPARE(xml.type_name, QStringLiteral("XML文件"));
    QCOMPARE(xml.extension, QStringLiteral("XML"));
    const TypeInfo unknown = types.Lookup(QStringLiteral("blob.zqzq"), false, false);
    QCOMPARE(unknown.image, int(TypeTable::kFileImage));
    QCOMPARE(unknown.type_name, QStringLiteral("ZQZQ文件"));
    const TypeInfo png = types.Lookup(QStringLiteral("a.png"), false, false);
    const int lookups = shell.lookups();
    const TypeInfo png2 = types.Lookup(QStringLiteral("b.PNG"), false, false);
    QCOMPARE(shell.lookups(), lookups);  // reused from the first use
    QCOMPARE(png2.image, png.image);
    QCOMPARE(png2.type_name, png.type_name);
    QVERIFY(png.type_name != QStringLiteral("PNG文件"));  // the desktop knows PNG
    // ".c" is C source although the upper-case key would read as C++.
    const QMimeDatabase mime;
    QCOMPARE(types.Lookup(QStringLiteral("main.c"), false, false).type_name,
             mime.mimeTypeForName(QStringLiteral("text/x-csrc")).comment());
  }

  void statisticsOfTheExample() {
    ShellTypes shell;
    StatsTable stats(&shell);
    for (int i = 0; i < 3; ++i) stats.CountFolder();  // root and two folders
    stats.CountPart(QStringLiteral("a.xml"), 100);
    stats.CountPart(QStringLiteral("b.XML"), 300);
    stats.CountPart(QStringLiteral("c.png"), 600);
    stats.CountPart(QStringLiteral("README"), 0);
    QCOMPARE(stats.total_count(), int64_t{7});
    QCOMPARE(stats.folder_count(), int64_t{3});
    QCOMPARE(stats.part_count(), int64_t{4});
    const auto& entries = stats.entries();
    QCOMPARE(entries.at(QStringLiteral(".XML")).count, int64_t{2});
    QCOMPARE(entries.at(QStringLiteral(".XML")).size, int64_t{400});
    QCOMPARE(entries.at(QStringLiteral(".PNG")).count, int64_t{1});
    QCOMPARE(entries.at(QStringLiteral("\\")).type_name, QStringLiteral("文件夹"));
    QVERIFY(entries.count(QStringLiteral("README")) == 1);

    CZOQEInfoDlg dialog(stats);
    QTreeWidget* list = dialog.list();
    QCOMPARE(list->topLevelItemCount(), 4);
    QTreeWidgetItem* xml = list->findItems(entries.at(QStringLiteral(".XML")).type_name,
                                           Qt::MatchExactly)
                               .value(0);
    QVERIFY(xml);
    QCOMPARE(xml->text(1), QStringLiteral("2"));
    QCOMPARE(xml->text(2), QStringLiteral("400"));
    QCOMPARE(xml->text(3), QStringLiteral("40.00 %"));
    QTreeWidgetItem* folders = list->findItems(QStringLiteral("文件夹"), Qt::MatchExactly).value(0);
    QVERIFY(folders);
    QCOMPARE(folders->text(1), QStringLiteral("3"));
    QCOMPARE(folders->text(3), QStringLiteral(" 0.00 %"));
    stats.Clear();
    QCOMPARE(stats.total_count(), int64_t{0});
    QVERIFY(stats.entries().empty());
  }

  void statisticsWithoutBytesAndSorting() {
    ShellTypes shell;
    StatsTable empty(&shell);
    empty.CountFolder();
    empty.CountPart(QStringLiteral("a.txt"), 0);
    CZOQEInfoDlg no_share(empty);
    for (int i = 0; i < no_share.list()->topLevelItemCount(); ++i) {
      QCOMPARE(no_share.list()->topLevelItem(i)->text(3), QString());
    }

    StatsTable stats(&shell);
    stats.CountPart(QStringLiteral("a.bin"), 1024);
    stats.CountPart(QStringLiteral("b.txt"), 999);
    for (int i = 0; i < 10; ++i) stats.CountPart(QStringLiteral("c.dat"), 1);
    CZOQEInfoDlg dialog(stats);
    // The number columns sort by their numbers: 1,024 above 999, 10 above 9.
    auto column = [&dialog](int c) {
      QStringList texts;
      for (int i = 0; i < dialog.list()->topLevelItemCount(); ++i) {
        texts << dialog.list()->topLevelItem(i)->text(c);
      }
      return texts;
    };
    dialog.ClickColumn(2);  // a new column sorts descending
    QVERIFY(dialog.descending());
    QCOMPARE(column(2), (QStringList{"1,024", "999", "10"}));
    dialog.ClickColumn(2);
    QVERIFY(!dialog.descending());
    QCOMPARE(column(2), (QStringList{"10", "999", "1,024"}));
    dialog.ClickColumn(1);
    QCOMPARE(column(1), (QStringList{"10", "1", "1"}));
    dialog.ClickColumn(3);
    QCOMPARE(column(2), (QStringList{"1,024", "999", "10"}));
  }
};

QTEST_MAIN(AppLogicTest)
#include "app_logic_test.moc"
