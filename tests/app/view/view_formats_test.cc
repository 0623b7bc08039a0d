// The viewers' pure parts: the XML layout and writing edits back through
// it, cut long lines, the hex dump, text loading, key texts and the key
// dialog, the extension map, the image decoders and the picture control's
// placement.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include "app/view/edit_tracker.h"
#include "app/view/find_dialog.h"
#include "app/view/image_loader.h"
#include "app/view/key_dialog.h"
#include "app/view/picture_view.h"
#include "app/view/text_format.h"
#include "app/view/view_mode.h"
#include "app/view/xml_check.h"
#include "app/view/xml_layout.h"
#include "app/view/xml_write_back.h"
#include "app/message_box.h"
#include "image_files.h"
#include "message_recorder.h"
#include "test_packages.h"
#include "window_test_util.h"

using namespace zoqe;

namespace {

const QByteArray kRichXml = zoqe_test::RichXml();

QByteArray Shown(const QByteArray& xml) { return LayoutXml(xml, false).value().text; }

QByteArray WithoutSpace(QByteArray text) {
  text.replace(' ', "").replace('\n', "").replace('\t', "").replace('\r', "");
  return text;
}

// The shown text as the view holds it while the user edits it: every
// change is reported to the tracker as the view reports it.
struct EditedView {
  explicit EditedView(const ShownText& shown) : text(shown.text) { tracker.Reset(text.size()); }
  void Replace(qsizetype at, qsizetype length, const QByteArray& with) {
    text.remove(at, length);
    tracker.Deleted(at, length);
    text.insert(at, with);
    tracker.Inserted(at, with.size());
  }
  void Replace(const QByteArray& needle, const QByteArray& with) {
    const qsizetype at = text.indexOf(needle);
    QVERIFY2(at >= 0 && text.indexOf(needle, at + 1) < 0, needle.constData());
    Replace(at, needle.size(), with);
  }
  QByteArray text;
  EditTracker tracker;
};

QByteArray WriteBack(const QByteArray& source, const ShownText& shown, const EditedView& view) {
  return ApplyShownEdits(source, shown, view.text, view.tracker.spans());
}

}  // namespace

class ViewFormatsTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void laysOutXmlOneTagPerLine() {
    const struct {
      QByteArray in, out;
    } cases[] = {
        {"<a><b>x</b><c/></a>", "\n<a>\n    <b>x</b>\n    <c/>\n</a>"},
        // Space inside a tag becomes one space per character; text keeps its
        // inner spaces and stays beside its tags, also after the root.
        {"  <a\tk=\"1\">\n  one two  \n</a> tail", "\n<a k=\"1\">one two</a>tail"},
        {"<?xml version=\"1.0\"?><r><s><t/></s></r>",
         "<?xml version=\"1.0\"?>\n<r>\n    <s>\n        <t/>\n    </s>\n</r>"},
        // A ">" in text is text; depth never goes below zero.
        {"</x>></y><z>", "</x>>\n</y>\n<z>"},
        {"", ""},
        {"<a><!-- c <b> --><b/></a>", "\n<a>\n    <!-- c <b> -->\n    \n    <b/>\n</a>"},
        // CDATA is text; quoted values keep ">" and the other quote; a
        // DOCTYPE and an instruction inside an element change no depth.
        {"<a><![CDATA[<x>]]]]></a>", "\n<a><![CDATA[<x>]]]]></a>"},
        {"<a v=\"1>2\" w='\"'><b/></a>", "\n<a v=\"1>2\" w='\"'>\n    <b/>\n</a>"},
        {"<!DOCTYPE a [<!ELEMENT a (#PCDATA)>]><a><b/></a>",
         "<!DOCTYPE a [<!ELEMENT a (#PCDATA)>]>\n<a>\n    <b/>\n</a>"},
        {"<a><?p x?><b/></a>", "\n<a><?p x?>\n    <b/>\n</a>"},
    };
    for (const auto& c : cases) QCOMPARE(Shown(c.in), c.out);
    int64_t comment = -1;
    QVERIFY(!LayoutXml("<a>\n<!-- open", false, &comment));
    QCOMPARE(comment, 4);
    QVERIFY(!LayoutXml("<a><!-- x -></a>", false));
  }

  void showsEveryCharacterAndWritesBackUntouchedBytes() {
    const QByteArray wide_mixed = "<p>a<b> b </b>\n c<i/>d</p>";
    for (const QByteArray& xml : {kRichXml, wide_mixed, QByteArray("x<a>y</a>z"),
                                  QByteArray("<a\r\n b='1'\r\n/>\r\n")}) {
      const ShownText shown = LayoutXml(xml, true).value();
      QCOMPARE(WithoutSpace(shown.text), WithoutSpace(xml));
      EditedView view(shown);
      QCOMPARE(WriteBack(xml, shown, view), xml);
    }
    const QByteArray shown = Shown(kRichXml);
    for (const char* kept : {"<!DOCTYPE r [\n  <!ENTITY e \"x>y\">\n  <!-- ] > -->\n]>",
                             "\n<r a=\"1>2\" b='say \"hi\"' c=\"&lt;\">",
                             "<![CDATA[ a < b > c ]] ]]>", "\n    <?pi data > more?>",
                             "\n</r>\n<!-- after -->"}) {
      QVERIFY2(shown.contains(kept), kept);
    }
  }

  void writesOneEditBackExactly_data() {
    QTest::addColumn<QByteArray>("from");
    QTest::addColumn<QByteArray>("to");
    // Each edit replaces text the source holds as it is shown: the source
    // changes by the same replacement.
    const std::pair<const char*, const char*> edits[] = {
        {"world", "World"}, {"\xe6\x96\x87", "\xe5\x9c\x8b"}, {"c ]]", "d ]]"}, {"1>2", "1>3"},
        {"again", "again!"}, {"&e;", ""}, {"data > more", "data"}};
    for (const auto& [from, to] : edits) QTest::newRow(from) << QByteArray(from) << QByteArray(to);
  }

  void writesOneEditBackExactly() {
    QFETCH(QByteArray, from);
    QFETCH(QByteArray, to);
    const ShownText shown = LayoutXml(kRichXml, true).value();
    EditedView view(shown);
    view.Replace(from, to);
    QCOMPARE(WriteBack(kRichXml, shown, view), QByteArray(kRichXml).replace(from, to));
  }

  void writesLayoutEditsBackSensibly() {
    const QByteArray xml = "<r>\n  <p>Hello <b>world</b> again</p>\n</r>";
    const ShownText shown = LayoutXml(xml, true).value();
    QCOMPARE(shown.text,
             QByteArray("\n<r>\n    <p>Hello\n        <b>world</b>again\n    </p>\n</r>"));
    // Typed into the indentation: the source's own white space stays and
    // the text follows it.
    EditedView typed(shown);
    typed.Replace(typed.text.indexOf("<b>") - 2, 0, "X");
    QCOMPARE(WriteBack(xml, shown, typed), QByteArray("<r>\n  <p>Hello X<b>world</b> again</p>\n</r>"));
    // Joining two lines drops the white space between them.
    EditedView joined(shown);
    joined.Replace("Hello\n        <b>", "Hello<b>");
    QCOMPARE(WriteBack(xml, shown, joined), QByteArray("<r>\n  <p>Hello<b>world</b> again</p>\n</r>"));
    // A new line typed with its own indentation is stored as typed.
    EditedView added(shown);
    added.Replace("</p>", "</p>\n    <q/>");
    QCOMPARE(WriteBack(xml, shown, added),
             QByteArray("<r>\n  <p>Hello <b>world</b> again</p>\n    <q/>\n</r>"));
    // Two edits far apart, and the whole text replaced.
    EditedView both(shown);
    both.Replace("<r>", "<R>");
    both.Replace("</r>", "</R>");
    QCOMPARE(WriteBack(xml, shown, both), QByteArray("<R>\n  <p>Hello <b>world</b> again</p>\n</R>"));
    EditedView all(shown);
    all.Replace(0, all.text.size(), "<x/>");
    QCOMPARE(WriteBack(xml, shown, all), QByteArray("<x/>"));
  }

  void undoneEditsChangeNothing() {
    const ShownText shown = LayoutXml(kRichXml, true).value();
    QRandomGenerator random(16);
    const QByteArray alphabet = " \n<>\"x\xc3\xa9";
    for (int round = 0; round < 20; ++round) {
      // The same edits on the laid-out view and on a view that shows the
      // text as it is.
      EditedView view(shown);
      const ShownText same = ShowAsIs(shown.text, true);
      EditedView direct(same);
      struct Undo {
        qsizetype at;
        qsizetype length;
        QByteArray removed;
      };
      QList<Undo> undo;
      for (int step = 0; step < 30; ++step) {
        const qsizetype at = random.bounded(static_cast<int>(view.text.size()) + 1);
        const qsizetype length = std::min<qsizetype>(random.bounded(6), view.text.size() - at);
        QByteArray with;
        for (int k = random.bounded(4); k > 0; --k) {
          with += alphabet[random.bounded(static_cast<int>(alphabet.size()))];
        }
        undo.append({at, with.size(), view.text.mid(at, length)});
        view.Replace(at, length, with);
        direct.Replace(at, length, with);
      }
      QCOMPARE(WriteBack(shown.text, same, direct), direct.text);
      while (!undo.isEmpty()) {
        const Undo u = undo.takeLast();
        view.Replace(u.at, u.length, u.removed);
      }
      QCOMPARE(view.text, shown.text);
      QCOMPARE(WriteBack(kRichXml, shown, view), kRichXml);
    }
  }

  void cutsLongLinesWithoutLosingBytes() {
    QByteArray line;
    while (line.size() < 3'000'000) line += "abc\xe4\xb8\xad";
    const QByteArray text = "short\r\n" + line + "\nend";
    const ShownText shown = ShowAsIs(text, true);
    qsizetype longest = 0;
    for (const QByteArray& l : shown.text.split('\n')) longest = std::max(longest, l.size());
    QVERIFY(longest <= kMaxShownLine + 1);  // "\r" of the first line
    QVERIFY(shown.piece_starts.size() >= 750);
    for (const int64_t start : shown.piece_starts) {
      QVERIFY((static_cast<unsigned char>(shown.text.at(static_cast<qsizetype>(start))) & 0xC0) != 0x80);
    }
    EditedView view(shown);
    QCOMPARE(WriteBack(text, shown, view), text);
    view.Replace("end", "END");
    QCOMPARE(WriteBack(text, shown, view), QByteArray(text).replace("end", "END"));
    // Deep nesting is indented no deeper than the cap, and the layout of a
    // hostile document stays within a few times its size.
    QByteArray deep;
    for (int i = 0; i < 200000; ++i) deep += "<a>";
    const QByteArray laid = Shown(deep);
    QVERIFY(laid.contains("\n" + QByteArray(kMaxIndentLevels * kIndentWidth, ' ') + "<a>"));
    QVERIFY(!laid.contains(QByteArray(kMaxIndentLevels * kIndentWidth + 1, ' ')));
    QVERIFY(laid.size() < 6 * deep.size() + (2 << 20));
  }

  void checksXml() {
    QVERIFY(!CheckXml(kRichXml));
    const std::optional<XmlProblem> problem = CheckXml("<a>\n<b></a>");
    QVERIFY(problem);
    QVERIFY(problem->offset >= 7 && problem->offset <= 9);  // in "</a>"
    QVERIFY(!problem->message.isEmpty());
    QVERIFY(CheckXml("<a/>tail"));
    QVERIFY(!CheckXml(EditedTextBytes("<a>\xe4\xb8\xad</a>", true)));
  }

  void hexDumpsFullAndPartialLines() {
    QByteArray bytes;
    for (int i = 0; i < 17; ++i) bytes.append(static_cast<char>('A' + i));
    const QList<QByteArray> lines = HexDump(bytes).split('\n');
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines[0], QByteArray("000000000h : 41 42 43 44 45 46 47 48 49 4a 4b 4c 4d 4e 4f 50 "
                                  "; ABCDEFGHIJKLMNOP\r"));
    QCOMPARE(lines[1], "000000010h : 51 " + QByteArray(45, ' ') + "; Q" + QByteArray(45, ' ') + "\r");
    QCOMPARE(HexDump(QByteArray()), QByteArray());
    QVERIFY(HexDump(QByteArray(16 * 300, 'x')).contains("\r\n0000012b0h : "));
  }

  void hexDumpShowsOnlyPrintableCharacters() {
    // Control bytes and the C1 range are spaces; Latin-1 letters are shown
    // as themselves, in UTF-8.
    const QByteArray bytes("\x09\x41\x00\x1f\x7f\x80\x9f\xa0\xad\xe9\xff", 11);
    const QString line = QString::fromUtf8(HexDump(bytes)).split(QStringLiteral("\r\n")).first();
    QVERIFY(line.startsWith(QStringLiteral("000000000h : 09 41 00 1f 7f 80 9f a0 ad e9 ff ")));
    const QString chars = line.mid(line.indexOf(QStringLiteral("; ")) + 2);
    QCOMPARE(chars.left(11), QStringLiteral(" A     ") + QChar(0xA0) + QChar(u' ') + QChar(0xE9) + QChar(0xFF));
    QCOMPARE(chars.size(), 16 + 5 * 2);  // each missing byte takes three places
  }

  void loadsTextFiles() {
    LoadedText text = TextFromFileBytes(QByteArray("h\xc3\xa9llo\0rest", 11));
    QCOMPARE(text.utf8, QByteArray("h\xc3\xa9llo"));
    QVERIFY(!text.was_utf16);
    QVERIFY(!text.exact);  // cut at the NUL
    text = TextFromFileBytes(QByteArray("\xff bytes", 7));  // not UTF-8: kept as they are
    QCOMPARE(text.utf8, QByteArray("\xff bytes"));
    QVERIFY(text.exact);
    const QByteArray wide("\xff\xfe<\0\x2d\x4e>\0", 8);
    text = TextFromFileBytes(wide);
    QCOMPARE(text.utf8, QByteArray("<\xe4\xb8\xad>"));
    QVERIFY(text.was_utf16 && text.exact);
    QCOMPARE(EditedTextBytes(text.utf8, true), wide);
    QVERIFY(!TextFromFileBytes(QByteArray("\xff\xfez\0q", 5)).exact);       // odd last byte
    QVERIFY(!TextFromFileBytes(QByteArray("\xff\xfe\x00\xd8z\0", 6)).exact);  // lone surrogate
  }

  void parsesKeyTexts() {
    const QByteArray expected("\xff\xfe\x0d\x0a", 4);
    QCOMPARE(KeyBytesFromText(QStringLiteral("ff fe 0d 0a")), expected);
    QCOMPARE(KeyBytesFromText(QStringLiteral("FF-FE-0D-0A")), expected);
    QCOMPARE(KeyBytesFromText(QStringLiteral("abc")), QByteArray("\xbc", 1));
    QCOMPARE(KeyBytesFromText(QStringLiteral("zz-yy 密钥!")), QByteArray());
  }

  void keyDialogShowsWhatTheTextGives() {
    zoqe_test::MessageRecorder messages;
    CZOQEPathDlg dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("输入密钥"));
    QVERIFY(dialog.findChild<QLabel*>(QStringLiteral("keyPrompt"))->text() == CZOQEPathDlg::Prompt());
    QCOMPARE(dialog.edit()->echoMode(), QLineEdit::Password);
    QVERIFY(!dialog.version_box());
    dialog.show();
    // A run of many digits is cut to its last two, and said so.
    dialog.edit()->setText(QStringLiteral("7a6f712d73616d706c65"));
    QCOMPARE(dialog.bytes_label()->text(), QStringLiteral("将使用1个字节(勾选“显示密钥”可查看)"));
    QVERIFY(dialog.warning_label()->isVisible());
    dialog.show_key()->setChecked(true);
    QCOMPARE(dialog.edit()->echoMode(), QLineEdit::Normal);
    QCOMPARE(dialog.bytes_label()->text(), QStringLiteral("将使用1个字节：65"));
    dialog.edit()->setText(QStringLiteral("2b 7e"));
    QCOMPARE(dialog.bytes_label()->text(), QStringLiteral("将使用2个字节：2b 7e"));
    QVERIFY(!dialog.warning_label()->isVisible());
    // OK with an empty text repeats the prompt and keeps the dialog open.
    dialog.edit()->clear();
    dialog.accept();
    QCOMPARE(messages.LastText(), CZOQEPathDlg::Prompt());
    QCOMPARE(messages.shown.last().caption, QStringLiteral("提示"));
    QVERIFY(dialog.isVisible());
    dialog.edit()->setText(QStringLiteral("01 02"));
    dialog.accept();
    QCOMPARE(dialog.result(), static_cast<int>(QDialog::Accepted));
    QCOMPARE(dialog.key(), QByteArray("\x01\x02", 2));
    QCOMPARE(dialog.document_version(), CZOQEPathDlg::kVersionWithoutIv);
    CZOQEPathDlg asking(nullptr, true);
    QVERIFY(asking.version_box());
    asking.version_box()->setCurrentIndex(1);
    QCOMPARE(asking.document_version(), CZOQEPathDlg::kVersionWithIv);
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

  void refusesBrokenOrHostilePsdAndSaysWhy() {
    const QByteArray good = zoqe_test::PsdBytes(4, 4, 3, 3, true, QByteArray("\x01\x02\x03", 3));
    QString problem;
    QVERIFY(!LoadPsd(good, &problem).isNull());
    QVERIFY(problem.isEmpty());
    for (qsizetype cut : {qsizetype{3}, qsizetype{20}, qsizetype{40}, good.size() - 1}) {
      QVERIFY2(LoadPsd(good.left(cut), &problem).isNull(), qPrintable(QString::number(cut)));
      QVERIFY(problem.contains(QStringLiteral("损坏")));
    }
    QByteArray deep = good;
    deep[23] = 16;  // 16-bit samples
    QVERIFY(LoadPsd(deep, &problem).isNull());
    QVERIFY(problem.contains(QStringLiteral("16位")));
    QByteArray lab = good;
    lab[25] = 9;  // Lab colour
    QVERIFY(LoadPsd(lab, &problem).isNull());
    QVERIFY(problem.contains(QStringLiteral("颜色模式")));
    QByteArray huge = good;
    huge[14] = huge[18] = '\x7f';  // height and width of about two billion
    QVERIFY(LoadPsd(huge, &problem).isNull());
    QVERIFY(problem.contains(QStringLiteral("过大")));
    QByteArray big_run = good;
    big_run[68] = '\x81';  // a run of 128 in a row of 4
    QVERIFY(LoadPsd(big_run).isNull());
  }

  void decodesJpeg2000AndPlainFormats() {
    QTemporaryDir dir;
    const QByteArray jp2 = zoqe_test::Jp2Bytes(40, 30, QColor(200, 100, 50));
    QVERIFY(!jp2.isEmpty());
    const QString jp2_path = dir.filePath(QStringLiteral("a.jp2"));
    zoqe_test::WriteFile(jp2_path, jp2);
    const QImage image = LoadImageFile(jp2_path);
    QCOMPARE(image.size(), QSize(40, 30));
    QCOMPARE(image.pixel(39, 29), qRgb(200, 100, 50));
    // A cut JP2 is refused rather than shown half-decoded.
    zoqe_test::WriteFile(jp2_path, jp2.left(jp2.size() / 2));
    QVERIFY(LoadImageFile(jp2_path).isNull());
    // Not an image at all.
    zoqe_test::WriteFile(jp2_path, "plain text");
    QString problem;
    QVERIFY(LoadImageFile(jp2_path, &problem).isNull());
    QVERIFY(!problem.isEmpty());
  }

  void placesImagesInThePictureControl() {
    QTemporaryDir dir;
    const QString small = dir.filePath(QStringLiteral("s.png"));
    const QString large = dir.filePath(QStringLiteral("l.png"));
    zoqe_test::WriteFile(small, zoqe_test::PngBytes(50, 20, Qt::red));
    zoqe_test::WriteFile(large, zoqe_test::PngBytes(800, 200, Qt::blue));
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
