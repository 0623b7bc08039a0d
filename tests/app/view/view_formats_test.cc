// The viewers' pure parts: re-indented XML, the hex dump, text loading, key
// texts, the extension map, the image decoders and the picture control's
// placement.
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include "app/view/find_dialog.h"
#include "app/view/image_loader.h"
#include "app/view/key_dialog.h"
#include "app/view/picture_view.h"
#include "app/view/text_format.h"
#include "app/view/view_mode.h"
#include "app/message_box.h"
#include "image_files.h"
#include "message_recorder.h"

using namespace zoqe;

class ViewFormatsTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void reindentsNestedElements() {
    QCOMPARE(ReindentXml(QStringLiteral("<a><b>x</b><c/></a>")).value(),
             QStringLiteral("\n<a>\n    <b>x</b>\n    <c/>\n</a>"));
    // White space between tags goes, white space inside a tag becomes one
    // space per character; text keeps its inner spaces; text after the last
    // tag is dropped.
    QCOMPARE(ReindentXml(QStringLiteral("  <a\tk=\"1\">\n  one two  \n</a> tail")).value(),
             QStringLiteral("\n<a k=\"1\">one two</a>"));
    // The declaration closes itself; the root starts on a new line.
    QCOMPARE(ReindentXml(QStringLiteral("<?xml version=\"1.0\"?><r><s><t/></s></r>")).value(),
             QStringLiteral("<?xml version=\"1.0\"?>\n<r>\n    <s>\n        <t/>\n    </s>\n</r>"));
    // Stray brackets are dropped; depth never goes below zero.
    QCOMPARE(ReindentXml(QStringLiteral("</x>></y><z>")).value(), QStringLiteral("</x>\n</y>\n<z>"));
    QCOMPARE(ReindentXml(QString()).value(), QString());
  }

  void reindentsComments() {
    QCOMPARE(ReindentXml(QStringLiteral("<a><!-- c <b> --><b/></a>")).value(),
             QStringLiteral("\n<a>\n    <!-- c <b> -->\n    \n    <b/>\n</a>"));
    QVERIFY(!ReindentXml(QStringLiteral("<a><!-- open")).has_value());
    QVERIFY(!ReindentXml(QStringLiteral("<a><!-- x -></a>")).has_value());
  }

  void hexDumpsFullAndPartialLines() {
    QByteArray bytes;
    for (int i = 0; i < 17; ++i) bytes.append(static_cast<char>('A' + i));
    const QString dump = HexDump(bytes);
    const QStringList lines = dump.split(QStringLiteral("\r\n"));
    QCOMPARE(lines.size(), 3);
    QVERIFY(lines[2].isEmpty());
    QCOMPARE(lines[0], QStringLiteral("000000000h : 41 42 43 44 45 46 47 48 49 4a 4b 4c 4d 4e 4f 50 "
                                      "; ABCDEFGHIJKLMNOP"));
    QCOMPARE(lines[1], QStringLiteral("000000010h : 51 ") + QString(45, QLatin1Char(' ')) +
                           QStringLiteral("; Q") + QString(45, QLatin1Char(' ')));
    QCOMPARE(HexDump(QByteArray()), QString());
  }

  void hexDumpShowsControlBytesAsSpaces() {
    const QByteArray bytes("\x09\x41\x00\x1f\x7f\x80\xff", 7);
    const QString line = HexDump(bytes).split(QStringLiteral("\r\n")).first();
    QVERIFY(line.startsWith(QStringLiteral("000000000h : 09 41 00 1f 7f 80 ff ")));
    const QString chars = line.mid(line.indexOf(QStringLiteral("; ")) + 2);
    QCOMPARE(chars.left(7), QStringLiteral(" A   ") + QChar(0x80) + QChar(0xFF));
    // Sixteen lines' worth of offsets count in lines, printed as offsets.
    const QString long_dump = HexDump(QByteArray(16 * 300, 'x'));
    QVERIFY(long_dump.contains(QStringLiteral("\r\n0000012b0h : ")));
  }

  void loadsTextFiles() {
    bool utf16 = true;
    QCOMPARE(TextFromFileBytes(QByteArray("h\xc3\xa9llo\0rest", 11), &utf16),
             QStringLiteral("héllo"));
    QVERIFY(!utf16);
    const QByteArray wide("\xff\xfe<\0a\0>\0\0\0x\0", 12);
    QCOMPARE(TextFromFileBytes(wide, &utf16), QStringLiteral("<a>"));
    QVERIFY(utf16);
    // An odd trailing byte of UTF-16 text is ignored.
    QCOMPARE(TextFromFileBytes(QByteArray("\xff\xfez\0q", 5)), QStringLiteral("z"));
  }

  void parsesKeyTexts() {
    const QByteArray expected("\xff\xfe\x0d\x0a", 4);
    QCOMPARE(KeyBytesFromText(QStringLiteral("ff fe 0d 0a")), expected);
    QCOMPARE(KeyBytesFromText(QStringLiteral("FF-FE-0D-0A")), expected);
    QCOMPARE(KeyBytesFromText(QStringLiteral("abc")), QByteArray("\xbc", 1));
    QCOMPARE(KeyBytesFromText(QStringLiteral("1,2;;3")), QByteArray("\x01\x02\x03", 3));
    QCOMPARE(KeyBytesFromText(QStringLiteral("zz-yy 密钥!")), QByteArray());
    QString many;
    for (int i = 0; i < 300; ++i) many += QStringLiteral("%1 ").arg(i % 256, 2, 16, QLatin1Char('0'));
    const QByteArray key = KeyBytesFromText(many);
    QCOMPARE(key.size(), 256);
    QCOMPARE(static_cast<unsigned char>(key[255]), 255);
  }

  void keyDialogKeepsItselfOpenOnEmptyText() {
    zoqe_test::MessageRecorder messages;
    CZOQEPathDlg dialog;
    QCOMPARE(dialog.windowTitle(),
             QStringLiteral("请输入密钥(建议16进制空格分隔，形如\"FF FE 0D 0A\")"));
    dialog.show();
    dialog.accept();
    QCOMPARE(messages.LastText(), CZOQEPathDlg::Prompt());
    QCOMPARE(messages.shown.last().caption, QStringLiteral("提示"));
    QVERIFY(dialog.isVisible());
    QCOMPARE(dialog.result(), 0);
    dialog.edit()->setText(QStringLiteral("01 02"));
    dialog.accept();
    QCOMPARE(dialog.result(), static_cast<int>(QDialog::Accepted));
    QCOMPARE(dialog.key(), QByteArray("\x01\x02", 2));
  }

  void findStartsWithShortSelections() {
    QCOMPARE(InitialFindText(QString(30, QLatin1Char('x'))), QString(30, QLatin1Char('x')));
    QCOMPARE(InitialFindText(QString(31, QLatin1Char('x'))), QString());
  }

  void mapsExtensionsToViewModes() {
    QCOMPARE(ViewModeForExtension(QStringLiteral("XML")), 1);
    for (const char* e : {"BMP", "JPG", "JPEG", "JP2", "PSD", "PNG", "TIFF", "TIF", "SVG"}) {
      QCOMPARE(ViewModeForExtension(QString::fromLatin1(e)), 2);
    }
    for (const char* e : {"TXT", "BAT", "INI", "H", "HPP", "C", "CPP", "HTM", "HTML", "JAVA",
                          "JAV", "REG"}) {
      QCOMPARE(ViewModeForExtension(QString::fromLatin1(e)), 3);
    }
    QCOMPARE(ViewModeForExtension(QStringLiteral("RTF")), 4);
    QCOMPARE(ViewModeForExtension(QStringLiteral("DAT")), 0);
    QCOMPARE(ViewModeForExtension(QStringLiteral("xml")), 0);  // callers upper-case
    QCOMPARE(PathExtension(QStringLiteral("/d.x/a.tar.gz")), QStringLiteral("gz"));
    QCOMPARE(PathExtension(QStringLiteral("/dir/noext")), QString());
  }

  void decodesPsdCompositeImages() {
    // Gray raw, RGB PackBits, RGBA raw, CMYK PackBits.
    QImage gray = LoadPsd(zoqe_test::PsdBytes(3, 2, 1, 1, false, QByteArray("\x80", 1)));
    QCOMPARE(gray.size(), QSize(3, 2));
    QCOMPARE(gray.pixel(2, 1), qRgb(128, 128, 128));
    QImage rgb = LoadPsd(zoqe_test::PsdBytes(300, 2, 3, 3, true, QByteArray("\x10\x20\x30", 3)));
    QCOMPARE(rgb.size(), QSize(300, 2));
    QCOMPARE(rgb.pixel(299, 1), qRgb(0x10, 0x20, 0x30));
    QImage rgba = LoadPsd(zoqe_test::PsdBytes(2, 2, 3, 4, false, QByteArray("\x01\x02\x03\x40", 4)));
    QCOMPARE(qAlpha(rgba.pixel(0, 0)), 0x40);
    // CMYK is stored inverted: 255 means no ink.
    QImage cmyk = LoadPsd(zoqe_test::PsdBytes(2, 2, 4, 4, true, QByteArray("\xff\x00\xff\xff", 4)));
    QCOMPARE(cmyk.pixel(1, 1), qRgb(255, 0, 255));
  }

  void refusesBrokenOrHostilePsd() {
    const QByteArray good = zoqe_test::PsdBytes(4, 4, 3, 3, true, QByteArray("\x01\x02\x03", 3));
    QVERIFY(!LoadPsd(good).isNull());
    for (qsizetype cut : {qsizetype{3}, qsizetype{20}, qsizetype{40}, good.size() - 1}) {
      QVERIFY2(LoadPsd(good.left(cut)).isNull(), qPrintable(QString::number(cut)));
    }
    QByteArray deep = good;
    deep[23] = 16;  // 16-bit samples
    QVERIFY(LoadPsd(deep).isNull());
    QByteArray lab = good;
    lab[25] = 9;  // Lab colour
    QVERIFY(LoadPsd(lab).isNull());
    QByteArray huge = good;
    huge[14] = huge[18] = '\x7f';  // height and width of about two billion
    QVERIFY(LoadPsd(huge).isNull());
    QByteArray big_run = good;
    big_run[68] = '\x81';  // a run of 128 in a row of 4
    QVERIFY(LoadPsd(big_run).isNull());
  }

  void decodesJpeg2000AndPlainFormats() {
    QTemporaryDir dir;
    const QByteArray jp2 = zoqe_test::Jp2Bytes(40, 30, QColor(200, 100, 50));
    QVERIFY(!jp2.isEmpty());
    const QString jp2_path = dir.filePath(QStringLiteral("a.jp2"));
    QFile f(jp2_path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(jp2);
    f.close();
    const QImage image = LoadImageFile(jp2_path);
    QCOMPARE(image.size(), QSize(40, 30));
    QCOMPARE(image.pixel(39, 29), qRgb(200, 100, 50));
    // A cut JP2 is refused rather than shown half-decoded.
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(jp2.left(jp2.size() / 2));
    f.close();
    QVERIFY(LoadImageFile(jp2_path).isNull());
    // Not an image at all.
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("plain text");
    f.close();
    QVERIFY(LoadImageFile(jp2_path).isNull());
  }

  void placesImagesInThePictureControl() {
    QTemporaryDir dir;
    const QString small = dir.filePath(QStringLiteral("s.png"));
    const QString large = dir.filePath(QStringLiteral("l.png"));
    QFile f(small);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(zoqe_test::PngBytes(50, 20, Qt::red));
    f.close();
    QFile g(large);
    QVERIFY(g.open(QIODevice::WriteOnly));
    g.write(zoqe_test::PngBytes(800, 200, Qt::blue));
    g.close();
    CPictureCtrl control;
    control.resize(400, 300);
    QVERIFY(control.LoadFile(small));
    QCOMPARE(control.ImageRect(), QRect(175, 140, 50, 20));  // own size, centred
    QCOMPARE(control.EdgeRect(), QRect(171, 136, 58, 28));
    QVERIFY(control.LoadFile(large));
    QCOMPARE(control.ImageRect(), QRect(0, 100, 400, 100));  // shrunk to the width
    QCOMPARE(control.EdgeRect(), QRect(0, 96, 400, 108));   // no room on the sides
    const QImage shot = control.grab().toImage();
    QCOMPARE(QColor(shot.pixel(200, 150)), QColor(Qt::blue));
    QVERIFY(!control.LoadFile(dir.filePath(QStringLiteral("missing.png"))));
    QVERIFY(control.image().isNull());
    QVERIFY(control.ImageRect().isEmpty());
  }
};

QTEST_MAIN(ViewFormatsTest)
#include "view_formats_test.moc"
