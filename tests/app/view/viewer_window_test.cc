// The viewers driven through the real main window on packages built by the
// test: choosing the view by extension, the open commands, images, the
// editing rules, notices for what cannot be shown, key entry and document
// versions, find, and storing edited XML back exactly.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QPushButton>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <Qsci/qsciscintilla.h>

#include <memory>

#include "app/info_panel.h"
#include "app/package_tree_model.h"
#include "app/view/find_dialog.h"
#include "app/view/item_viewer.h"
#include "app/view/key_dialog.h"
#include "app/view/picture_view.h"
#include "app/view/text_view.h"
#include "app/application.h"
#include "app/main_window.h"
#include "message_recorder.h"
#include "test_packages.h"
#include "window_test_util.h"

using namespace zoqe;
using zoqe_test::Child;
using zoqe_test::CommandsOf;
using zoqe_test::NoticeOf;
using zoqe_test::ViewerOf;
using zoqe_test::ItemAt;
using zoqe_test::MessageRecorder;
using zoqe_test::PartBytes;
using Sci = QsciScintillaBase;

namespace {

QString ViewText(const CZOQEDlg& window) {
  return QString::fromUtf8(TextViewBytes(window.text_view()));
}

QStringList TempFilesIn(const QString& folder) {
  return QDir(folder).entryList({QStringLiteral("~~ZOQ*")}, QDir::Files);
}

// Fills the key dialog once it is open: `text`, and the document version
// when the dialog asks for it.
void AnswerKeyDialog(QObject* context, const QString& text, bool with_iv = false,
                     bool* version_offered = nullptr) {
  QTimer::singleShot(0, context, [=] {
    auto* dialog = qobject_cast<CZOQEPathDlg*>(QApplication::activeModalWidget());
    if (!dialog) return;
    if (version_offered) *version_offered = dialog->version_box() != nullptr;
    if (dialog->version_box()) dialog->version_box()->setCurrentIndex(with_iv ? 1 : 0);
    dialog->edit()->setText(text);
    dialog->accept();
  });
}

}  // namespace

class ViewWindowTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void initTestCase() {
    CZOQEApp::ConfigureEnvironment();
    QVERIFY(temp_.isValid());
    package_path_ = zoqe_test::BuildViewPackage(temp_.path());
    QVERIFY(!package_path_.isEmpty());
  }

  void init() {
    messages_.Reset();
    work_ = std::make_unique<QTemporaryDir>();
    window_ = std::make_unique<CZOQEDlg>(nullptr, work_->path() + QLatin1Char('/'));
    launched_.clear();
    ViewerOf(*window_)->SetLauncher([this](const QString& file) {
      launched_ << file;
      return qint64{0};
    });
  }

  void cleanup() {
    zoqe_test::MessageRecorder quiet;  // answer any close question with No
    quiet.default_answer = QMessageBox::No;
    window_.reset();
  }

  void showsPartsChosenByExtension() {
    QVERIFY(window_->OpenPackage(package_path_, true));
    TreeItem* root = window_->tree_model()->root();
    QsciScintilla* view = window_->text_view();

    // No view for .dat: the pane says why and offers other ways, no box.
    Select(Child(root, "b.dat"));
    QCOMPARE(window_->current_view(), CZOQEDlg::View::kNotice);
    QVERIFY(NoticeText().contains(QStringLiteral(".dat")));
    QVERIFY(messages_.shown.isEmpty());
    Press(ItemViewer::kShowAsHex);
    QVERIFY(ViewText(*window_).startsWith(QStringLiteral("000000000h : 62 69 6e")));
    // Open as text shows it, plain (no XML colours, no fold margin), and
    // the decoded size is given once.
    Open(kViewText);
    QCOMPARE(window_->current_view(), CZOQEDlg::View::kText);
    QCOMPARE(ViewText(*window_), QStringLiteral("binary\x01\x02 data"));
    QVERIFY(view->isReadOnly());
    QCOMPARE(view->SendScintilla(Sci::SCI_GETLEXER), 1L);
    QCOMPARE(view->SendScintilla(Sci::SCI_GETMARGINWIDTHN, kFoldMargin), 0L);
    Open(kViewHex);
    QVERIFY(ViewText(*window_).startsWith(
        QStringLiteral("000000000h : 62 69 6e 61 72 79 01 02 20 64 61 74 61 ")));
    int sizes = 0;
    for (int i = 0; i < window_->info_panel()->count(); ++i) {
      sizes += window_->info_panel()->LabelText(i).startsWith(QStringLiteral("原始大小"));
    }
    QCOMPARE(sizes, 1);
    QCOMPARE(window_->info_panel()->ValueOf(QStringLiteral("原始大小")), QStringLiteral("1KB(14字节)"));

    // XML, ZIP-coded, re-indented with its colours, read-only on a plain
    // selection.
    Select(Child(root, "plain.xml"));
    QCOMPARE(ViewText(*window_), QStringLiteral("\n<a>\n    <b>y</b>\n</a>"));
    QVERIFY(window_->text_view()->isReadOnly());
    QCOMPARE(view->SendScintilla(Sci::SCI_GETLEXER), 5L);
    QCOMPARE(view->SendScintilla(Sci::SCI_GETMARGINWIDTHN, kFoldMargin), 16L);
    // SXC-coded XML is decoded through the package's schema; UTF-16 XML
    // is shown as text.
    Select(Child(root, "doc.xml"));
    QVERIFY(ViewText(*window_).contains(QStringLiteral("<title>年度报告 Annual report</title>")));
    QVERIFY(ViewText(*window_).startsWith(QStringLiteral("<?xml")));
    Select(Child(root, "wide.xml"));
    QCOMPARE(ViewText(*window_), QStringLiteral("\n<a>中</a>"));
    // XML with an open comment is noticed with the line it starts on.
    Select(Child(root, "bad.xml"));
    QCOMPARE(window_->current_view(), CZOQEDlg::View::kNotice);
    QVERIFY(NoticeText().contains(QStringLiteral("-->")));
    QVERIFY(NoticeText().contains(QStringLiteral("第1行")));
    Press(ItemViewer::kShowAsText);
    QCOMPARE(ViewText(*window_), QStringLiteral("<a><!-- never closed </a>"));

    // A line of 3 MB is shown in marked pieces the view draws quickly.
    Select(Child(root, "long.txt"));
    QCOMPARE(TextViewBytes(view).count('x'), 3 << 20);
    QVERIFY(view->SendScintilla(Sci::SCI_GETLINECOUNT) > (3 << 20) / kMaxShownLine);
    QVERIFY(view->SendScintilla(Sci::SCI_MARKERGET, 1L) & (1 << kPieceMarker));
    QVERIFY(view->SendScintilla(Sci::SCI_GETMARGINWIDTHN, kPieceMargin) > 0);

    // Text files are deleted once loaded; failed loads and images stay
    // until the package is closed.
    Select(Child(root, "notes.txt"));
    QCOMPARE(ViewText(*window_), QStringLiteral("find me\nfind Find\nwhere FINDS\n"));
    Select(ItemAt(root, "img/small.png"));
    QCOMPARE(window_->current_view(), CZOQEDlg::View::kPicture);
    QCOMPARE(window_->info_panel()->ValueOf(QStringLiteral("图片尺寸")), QStringLiteral("50 × 20"));
    const QStringList kept = TempFilesIn(window_->document()->work_folder());
    QCOMPARE(kept.filter(QStringLiteral(".tmp.xml")).size(), 1);   // bad.xml
    QCOMPARE(kept.filter(QStringLiteral(".tmp.png")).size(), 1);
    QCOMPARE(kept.filter(QStringLiteral(".tmp.txt")).size(), 0);
    QCOMPARE(kept.size(), 2);  // and no placeholder per view
    QVERIFY(window_->ClosePackage());
    QVERIFY(TempFilesIn(window_->document()->work_folder()).isEmpty());
    QVERIFY(messages_.shown.isEmpty());
  }

  void showsImagesOfEveryDecoder() {
    QVERIFY(window_->OpenPackage(package_path_, true));
    TreeItem* root = window_->tree_model()->root();
    auto* picture = ViewerOf(*window_)->picture();
    const struct {
      const char* path;
      QSize size;
      QRgb pixel;
    } cases[] = {{"img/big.png", QSize(2000, 1500), qRgb(0, 255, 0)},
                 {"img/pic.psd", QSize(30, 10), qRgb(0x10, 0x20, 0x30)},
                 {"img/pic.jp2", QSize(40, 30), qRgb(1, 2, 3)}};
    window_->resize(900, 600);
    for (const auto& c : cases) {
      Select(ItemAt(root, QString::fromLatin1(c.path)));
      QCOMPARE(window_->current_view(), CZOQEDlg::View::kPicture);
      QCOMPARE(picture->image().size(), c.size);
      QCOMPARE(picture->image().pixel(0, 0), c.pixel);
      QCOMPARE(window_->info_panel()->ValueOf(QStringLiteral("图片尺寸")),
               QStringLiteral("%1 × %2").arg(c.size.width()).arg(c.size.height()));
      const QRect shown = picture->ImageRect();
      QVERIFY(picture->rect().contains(shown));
    }
    // A 16-bit PSD says why it is not shown and offers the hex dump.
    Select(ItemAt(root, "img/deep.psd"));
    QCOMPARE(window_->current_view(), CZOQEDlg::View::kNotice);
    QVERIFY(NoticeText().contains(QStringLiteral("16位")));
    QVERIFY(picture->image().isNull());
    Press(ItemViewer::kShowAsHex);
    QVERIFY(ViewText(*window_).startsWith(QStringLiteral("000000000h : 38 42 50 53")));
    // Moving on releases the image.
    Select(ItemAt(root, "img/pic.psd"));
    Select(Child(root, "notes.txt"));
    QVERIFY(picture->image().isNull());
    QVERIFY(messages_.shown.isEmpty());
  }

  void startsTheDefaultProgram() {
    QVERIFY(window_->OpenPackage(package_path_, true));
    Select(Child(window_->tree_model()->root(), "b.dat"));
    Open(kViewDefaultProgram);
    QCOMPARE(launched_.size(), 1);
    QVERIFY(launched_[0].startsWith(window_->document()->work_folder() + QStringLiteral("~~ZOQ")));
    QVERIFY(launched_[0].endsWith(QStringLiteral(".tmp.dat")));
    QFile file(launched_[0]);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("binary\x01\x02 data", 14));
    file.close();
    QVERIFY(window_->ClosePackage());
    QVERIFY(!QFile::exists(launched_[0]));
    QVERIFY(messages_.shown.isEmpty());
  }

  void refusesEditingOtherThanCurrentXml() {
    QVERIFY(window_->OpenPackage(package_path_, false));
    TreeItem* root = window_->tree_model()->root();
    // Double-click opens current XML for editing.
    Edit(Child(root, "plain.xml"));
    QVERIFY(messages_.shown.isEmpty());
    QVERIFY(!window_->text_view()->isReadOnly());
    QCOMPARE(window_->info_panel()->ValueOf(QStringLiteral("名称")), QStringLiteral("plain.xml"));
    // A text part cannot be edited: said, then shown read-only; a part of
    // unknown type is said and then noticed.
    Edit(Child(root, "notes.txt"));
    QCOMPARE(messages_.LastText(), QStringLiteral("不支持编辑该文件。"));
    QCOMPARE(messages_.shown.last().caption, QStringLiteral("错误"));
    QCOMPARE(window_->current_view(), CZOQEDlg::View::kText);
    QVERIFY(window_->text_view()->isReadOnly());
    messages_.shown.clear();
    Edit(Child(root, "b.dat"));
    QCOMPARE(messages_.shown.size(), 1);
    QCOMPARE(window_->current_view(), CZOQEDlg::View::kNotice);
    // An older version of an XML part neither.
    messages_.shown.clear();
    window_->OnToggleHistory();
    Edit(zoqe_test::VersionItem(window_->tree_model()->history(), "1", "plain.xml"));
    QCOMPARE(messages_.LastText(), QStringLiteral("不支持编辑该文件。"));
    QVERIFY(window_->text_view()->isReadOnly());
    QCOMPARE(ViewText(*window_), QStringLiteral("\n<a>\n    <b>x</b>\n    <c/>\n</a>"));
  }

  void noticesDecodingFailures() {
    QVERIFY(window_->OpenPackage(zoqe_test::Corpus("v_damaged_deflate.zoq"), true));
    TreeItem* root = window_->tree_model()->root();
    // A plain selection notices it; the commands also report the code. The
    // cut-short content is never shown, nor left behind.
    Select(Child(root, "broken.xml"));
    QCOMPARE(window_->current_view(), CZOQEDlg::View::kNotice);
    QVERIFY(NoticeText().contains(QStringLiteral("损坏")));
    QVERIFY(messages_.shown.isEmpty());
    Open(kViewText);
    QCOMPARE(messages_.shown.size(), 1);
    QVERIFY(messages_.LastText().startsWith(QStringLiteral("打开包内文件失败(")));
    QVERIFY(messages_.LastText() != QStringLiteral("打开包内文件失败(0)"));
    QCOMPARE(window_->current_view(), CZOQEDlg::View::kNotice);
    QVERIFY(TempFilesIn(window_->document()->work_folder()).isEmpty());
    // The stored bytes can still be looked at.
    Press(ItemViewer::kShowStoredHex);
    QCOMPARE(window_->current_view(), CZOQEDlg::View::kText);
    QVERIFY(ViewText(*window_).startsWith(QStringLiteral("000000000h : ")));
    Select(Child(root, "fine.xml"));
    QCOMPARE(window_->current_view(), CZOQEDlg::View::kText);
    // Clicking a folder brings the list back.
    Select(root);
    QCOMPARE(window_->current_view(), CZOQEDlg::View::kList);

    // Stored data failing its check byte is shown as read, with a warning
    // in the information strip.
    QVERIFY(window_->OpenPackage(zoqe_test::Corpus("v_bad_check_byte.zoq"), true));
    Select(Child(window_->tree_model()->root(), "bad.txt"));
    QCOMPARE(window_->current_view(), CZOQEDlg::View::kText);
    QCOMPARE(window_->info_panel()->ValueOf(QStringLiteral("警告")),
             QStringLiteral("存储数据与校验字节不符(已损坏)"));
    Select(Child(window_->tree_model()->root(), "ok.txt"));
    QVERIFY(window_->info_panel()->ValueOf(QStringLiteral("警告")).isEmpty());
  }

  void asksForTheRightKey() {
    QVERIFY(window_->OpenPackage(package_path_, true));
    TreeItem* root = window_->tree_model()->root();
    Select(Child(root, "secret.xml"));
    QCOMPARE(window_->current_view(), CZOQEDlg::View::kNotice);
    QVERIFY(NoticeText().contains(QStringLiteral("密钥")));
    QVERIFY(messages_.shown.isEmpty());
    // Without a key the command reports 10052392 and offers key entry.
    messages_.answers = {QMessageBox::Ok, QMessageBox::No};
    Open(kViewText);
    QCOMPARE(messages_.shown.size(), 2);
    QCOMPARE(messages_.shown[0].text, QStringLiteral("打开包内文件失败(10052392)"));
    QCOMPARE(messages_.shown[1].caption, QStringLiteral("提示"));
    // A wrong key fails in the SXC decoding: reported, noticed, not shown.
    messages_.shown.clear();
    window_->document()->SetKey(QByteArray(16, '\x11'));
    Open(kViewText);
    QCOMPARE(messages_.shown.size(), 1);
    QVERIFY(messages_.LastText().startsWith(QStringLiteral("打开包内文件失败(")));
    QVERIFY(NoticeText().contains(QStringLiteral("密钥可能不正确")));
    QVERIFY(TempFilesIn(window_->document()->work_folder()).isEmpty());

    // The notice's key button takes the key and shows the part. The
    // package does not say its document version, so the dialog asks; the
    // answer "without IV header" leaves it as it was.
    bool offered = false;
    AnswerKeyDialog(this, QStringLiteral("2b 7e 15 16 28 ae d2 a6 ab f7 15 88 09 cf 4f 3c"), false,
                    &offered);
    Press(ItemViewer::kEnterKey);
    QVERIFY(offered);
    QCOMPARE(window_->document()->version_code(), 0);
    QCOMPARE(window_->document()->key_info()->key_length, 16);
    QCOMPARE(window_->current_view(), CZOQEDlg::View::kText);
    QVERIFY(ViewText(*window_).contains(QStringLiteral("<title>年度报告 Annual report</title>")));
    // Key entry through its command (Ctrl+K in the file menu).
    QCOMPARE(CommandsOf(*window_).enter_key->shortcut(), QKeySequence(QStringLiteral("Ctrl+K")));
    AnswerKeyDialog(this, QStringLiteral("01"));
    CommandsOf(*window_).enter_key->trigger();
    QCOMPARE(window_->document()->key_info()->key_length, 1);
  }

  void readsEncryptedDataWithItsIvHeader() {
    const QByteArray key_text = "2b 7e 15 16 28 ae d2 a6 ab f7 15 88 09 cf 4f 3c";
    // The main part says document version 1.2: read whatever the file is
    // called.
    const QString named = zoqe_test::BuildIvPackage(temp_.path(), QStringLiteral("iv_main.zoq"), true);
    QVERIFY(!named.isEmpty());
    QVERIFY(window_->OpenPackage(named, true));
    QCOMPARE(window_->document()->version_code(), 258);
    window_->document()->SetKey(zoqe_test::ViewKey());
    Select(Child(window_->tree_model()->root(), "secret.txt"));
    QCOMPARE(ViewText(*window_), QStringLiteral("the secret text, long enough to tell"));
    // Without a main part the key dialog asks for the version.
    const QString bare = zoqe_test::BuildIvPackage(temp_.path(), QStringLiteral("iv_bare.zoq"), false);
    QVERIFY(window_->OpenPackage(bare, true));
    QCOMPARE(window_->document()->version_code(), 0);
    Select(Child(window_->tree_model()->root(), "secret.txt"));
    QCOMPARE(window_->current_view(), CZOQEDlg::View::kNotice);
    QVERIFY(NoticeText().contains(QStringLiteral("密钥可能不正确")));
    bool offered = false;
    AnswerKeyDialog(this, QString::fromLatin1(key_text), true, &offered);
    Press(ItemViewer::kEnterKey);
    QVERIFY(offered);
    QCOMPARE(window_->document()->version_code(), 258);
    QCOMPARE(ViewText(*window_), QStringLiteral("the secret text, long enough to tell"));
    QVERIFY(messages_.shown.isEmpty());
  }

  void findsForwardAndBackward() {
    QVERIFY(window_->OpenPackage(package_path_, true));
    Select(Child(window_->tree_model()->root(), "notes.txt"));
    QsciScintilla* view = window_->text_view();
    view->SendScintilla(Sci::SCI_SETSEL, 0L, 4L);  // "find"
    CommandsOf(*window_).find->trigger();
    CFindDialog* dialog = ViewerOf(*window_)->find_dialog();
    QVERIFY(dialog);
    QVERIFY(dialog->isVisible());
    QVERIFY(!dialog->isModal());
    QCOMPARE(dialog->text_edit()->text(), QStringLiteral("find"));
    CommandsOf(*window_).find->trigger();  // one at a time
    QCOMPARE(ViewerOf(*window_)->find_dialog(), dialog);

    auto selection = [view] {
      return qMakePair(view->SendScintilla(Sci::SCI_GETSELECTIONSTART),
                       view->SendScintilla(Sci::SCI_GETSELECTIONEND));
    };
    // Down, any case: "find" at 8, "Find" at 13, "FIND" in FINDS at 24.
    QVERIFY(dialog->FindNext());
    QCOMPARE(selection(), qMakePair(8L, 12L));
    QVERIFY(dialog->FindNext());
    QCOMPARE(selection(), qMakePair(13L, 17L));
    // Whole word skips FINDS: a miss keeps the selection and says so.
    dialog->whole_word()->setChecked(true);
    QVERIFY(!dialog->FindNext());
    QCOMPARE(messages_.LastText(), QStringLiteral("找不到\"find\""));
    QCOMPARE(messages_.shown.last().caption, QStringLiteral("提示"));
    QCOMPARE(selection(), qMakePair(13L, 17L));
    // Up with matching case: back to "find" at 8, then 0.
    dialog->match_case()->setChecked(true);
    dialog->up()->setChecked(true);
    QVERIFY(dialog->FindNext());
    QCOMPARE(selection(), qMakePair(8L, 12L));
    QVERIFY(dialog->FindNext());
    QCOMPARE(selection(), qMakePair(0L, 4L));
    QVERIFY(!dialog->FindNext());
    // Closing lets the command make a new one, which starts with the
    // selection (30 characters are still taken).
    dialog->close();
    QTRY_VERIFY(!ViewerOf(*window_)->find_dialog());
    view->SendScintilla(Sci::SCI_SETSEL, 0L, 30L);
    CommandsOf(*window_).find->trigger();
    QVERIFY(ViewerOf(*window_)->find_dialog());
    QCOMPARE(ViewerOf(*window_)->find_dialog()->text_edit()->text().size(), 30);

    // Select all and copy.
    window_->OnSelectAll();
    window_->OnCopy();
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("find me\nfind Find\nwhere FINDS\n"));
  }

  void foldsOnMarginClicks() {
    QVERIFY(window_->OpenPackage(package_path_, true));
    // Shown after a plain text, which has no lexer: the XML lexer folds
    // again.
    Select(Child(window_->tree_model()->root(), "notes.txt"));
    Select(Child(window_->tree_model()->root(), "doc.xml"));
    QsciScintilla* view = window_->text_view();
    view->SendScintilla(Sci::SCI_COLOURISE, 0L, -1L);
    // The document element opens on line 2 (after the declaration and the
    // comment).
    long line = -1;
    const long lines = view->SendScintilla(Sci::SCI_GETLINECOUNT);
    for (long l = 0; l < lines && line < 0; ++l) {
      if (view->SendScintilla(Sci::SCI_GETFOLDLEVEL, l) & Sci::SC_FOLDLEVELHEADERFLAG) line = l;
    }
    QVERIFY(line >= 0);
    QVERIFY(view->SendScintilla(Sci::SCI_GETFOLDEXPANDED, line));
    const int position = static_cast<int>(view->SendScintilla(Sci::SCI_POSITIONFROMLINE, line));
    Q_EMIT view->SCN_MARGINCLICK(position, 0, kFoldMargin);
    QVERIFY(!view->SendScintilla(Sci::SCI_GETFOLDEXPANDED, line));
    Q_EMIT view->SCN_MARGINCLICK(position, 0, 0);  // another margin: nothing
    QVERIFY(!view->SendScintilla(Sci::SCI_GETFOLDEXPANDED, line));
    Q_EMIT view->SCN_MARGINCLICK(position, 0, kFoldMargin);
    QVERIFY(view->SendScintilla(Sci::SCI_GETFOLDEXPANDED, line));
  }

  void storesEditedXmlBackExactly() {
    const QString copy = temp_.path() + QStringLiteral("/edit.zoq");
    QFile::remove(copy);
    QVERIFY(QFile::copy(package_path_, copy));
    QVERIFY(window_->OpenPackage(copy, false));
    TreeItem* root = window_->tree_model()->root();
    QsciScintilla* view = window_->text_view();
    // Replaces `from` in the view by `to`, as typing would.
    auto type = [view](const QByteArray& from, const QByteArray& to) {
      const long at = static_cast<long>(TextViewBytes(view).indexOf(from));
      QVERIFY(at >= 0);
      view->SendScintilla(Sci::SCI_SETSEL, at, at + static_cast<long>(from.size()));
      view->SendScintilla(Sci::SCI_REPLACESEL, to.constData());
    };

    // One character of a part with CDATA, a DOCTYPE, quoted ">", mixed
    // content and white space after the root: everything else stays.
    Edit(Child(root, "rich.xml"));
    QVERIFY(!window_->text_view()->isReadOnly());
    type("world", "World");
    messages_.answers = {QMessageBox::Yes};
    Select(Child(root, "notes.txt"));
    QCOMPARE(messages_.shown.size(), 1);
    QCOMPARE(messages_.shown[0].text, QStringLiteral("是否保存XML编辑结果?"));
    QByteArray rich = zoqe_test::RichXml();
    rich.replace("world", "World");
    QCOMPARE(PartBytes(window_->document()->package(), u"/rich.xml"), rich);

    // An edit that breaks the XML: said with its place, text kept, nothing
    // stored; No then drops the edit.
    Edit(Child(root, "rich.xml"));
    type("</b>", "</b");
    const QByteArray broken = TextViewBytes(view);
    messages_.shown.clear();
    messages_.answers = {QMessageBox::Yes, QMessageBox::Ok};
    window_->SelectTreeItem(Child(root, "notes.txt"));
    QCOMPARE(messages_.shown.size(), 2);
    QVERIFY(messages_.shown[1].text.startsWith(QStringLiteral("XML编辑结果不是格式正确的XML，未保存。")));
    const long error_line = view->SendScintilla(
        Sci::SCI_LINEFROMPOSITION, static_cast<long>(broken.indexOf("</b") + 3)) + 1;
    QVERIFY2(messages_.shown[1].text.contains(QStringLiteral("第%1行").arg(error_line)),
             qPrintable(messages_.shown[1].text));
    QCOMPARE(window_->CurrentTreeItem(), Child(root, "rich.xml"));
    QCOMPARE(TextViewBytes(view), broken);
    QCOMPARE(PartBytes(window_->document()->package(), u"/rich.xml"), rich);
    messages_.answers = {QMessageBox::No};
    Select(Child(root, "notes.txt"));

    // UTF-16 text goes back as UTF-16.
    Edit(Child(root, "wide.xml"));
    type("\xe4\xb8\xad", "\xe6\x96\x87");
    messages_.answers = {QMessageBox::Yes};
    QVERIFY(window_->SettleXmlEdit());
    QCOMPARE(PartBytes(window_->document()->package(), u"/wide.xml"),
             QByteArray("\xff\xfe<\0a\0>\0\x87\x65<\0/\0a\0>\0", 18));
    QVERIFY(window_->document()->IsPending(QStringLiteral("/wide.xml")));

    // An SXC part edited into XML its schema refuses: said with the place
    // and reason, text kept, the selection stays on it, the close is
    // cancelled.
    Edit(Child(root, "doc.xml"));
    QVERIFY(!window_->text_view()->isReadOnly());
    const QByteArray invalid("<document><nonsense/></document>");
    view->SendScintilla(Sci::SCI_SETTEXT, invalid.constData());
    messages_.shown.clear();
    messages_.answers = {QMessageBox::Yes, QMessageBox::Ok};
    window_->SelectTreeItem(Child(root, "b.dat"));
    QCOMPARE(messages_.shown.size(), 2);
    QCOMPARE(messages_.shown[1].caption, QStringLiteral("错误"));
    QVERIFY(messages_.shown[1].text.contains(QStringLiteral("无法保存")));
    QVERIFY2(messages_.shown[1].text.contains(QStringLiteral("第1行")), qPrintable(messages_.shown[1].text));
    QCOMPARE(window_->CurrentTreeItem(), Child(root, "doc.xml"));
    QCOMPARE(window_->current_view(), CZOQEDlg::View::kText);
    QCOMPARE(TextViewBytes(view), invalid);
    QVERIFY(!window_->text_view()->isReadOnly());
    messages_.answers = {QMessageBox::Yes, QMessageBox::Ok};
    QVERIFY(!window_->ClosePackage());
    QVERIFY(window_->document()->package());
    QCOMPARE(TextViewBytes(view), invalid);

    // A valid edit of the SXC part is stored; the close then saves.
    QByteArray edited = zoqe_test::DocumentXml();
    edited.replace("Annual report", "Edited report");
    view->SendScintilla(Sci::SCI_SETTEXT, edited.constData());
    messages_.shown.clear();
    messages_.answers = {QMessageBox::Yes, QMessageBox::Yes};
    QVERIFY(window_->ClosePackage());
    QCOMPARE(messages_.shown.size(), 2);
    QCOMPARE(messages_.shown[1].text, QStringLiteral("是否保存当前PLIV文件?"));

    // Reopened: the edits are there, coded as before.
    QVERIFY(window_->OpenPackage(copy, true));
    zoq::PartInfo info;
    QCOMPARE(window_->document()->package()->GetPartInfoByPath(&info, u"/rich.xml", 0), 0);
    QCOMPARE(info.code_count, 1);
    QCOMPARE(int{info.codes[0]}, int{zoq::kEcsZip});
    QCOMPARE(info.revisions.front(), 2);
    QCOMPARE(PartBytes(window_->document()->package(), u"/rich.xml"), rich);
    QCOMPARE(window_->document()->package()->GetPartInfoByPath(&info, u"/doc.xml", 0), 0);
    QCOMPARE(int{info.codes[0]}, int{zoq::kEcsSxc});
    QVERIFY(PartBytes(window_->document()->package(), u"/doc.xml").contains("Edited report"));
  }

  void refusesStoringIntoReadOnlyOrWithoutKey() {
    QVERIFY(window_->OpenPackage(package_path_, true));
    TreeItem* root = window_->tree_model()->root();
    Edit(Child(root, "plain.xml"));
    window_->text_view()->SendScintilla(Sci::SCI_SETTEXT, "<z/>");
    messages_.answers = {QMessageBox::Yes, QMessageBox::Ok};
    QVERIFY(!window_->ClosePackage());
    QVERIFY(messages_.LastText().contains(QStringLiteral("只读")));
    QVERIFY(!window_->document()->package()->IsModified());
    // Switching to history mode reopens the package: refused the same way.
    messages_.answers = {QMessageBox::Yes, QMessageBox::Ok};
    window_->OnToggleHistory();
    QVERIFY(!CommandsOf(*window_).history->isChecked());
    QVERIFY(!window_->text_view()->isReadOnly());
    // No: the edit is dropped and the package closes unchanged.
    messages_.answers = {QMessageBox::No};
    QVERIFY(window_->ClosePackage());

    // An encrypted part needs the key to be stored again.
    const QString copy = temp_.path() + QStringLiteral("/secret.zoq");
    QFile::remove(copy);
    QVERIFY(QFile::copy(package_path_, copy));
    QVERIFY(window_->OpenPackage(copy, false));
    window_->document()->SetKey(zoqe_test::ViewKey());
    Edit(Child(window_->tree_model()->root(), "secret.xml"));
    QVERIFY(!window_->text_view()->isReadOnly());
    QByteArray edited = zoqe_test::DocumentXml();
    edited.replace("Li Wei", "Someone");
    window_->text_view()->SendScintilla(Sci::SCI_SETTEXT, edited.constData());
    messages_.shown.clear();
    messages_.answers = {QMessageBox::Yes};
    QVERIFY(window_->SettleXmlEdit());
    QCOMPARE(messages_.shown.size(), 1);
    QVERIFY(window_->document()->package()->IsModified());
    const QByteArray key = zoqe_test::ViewKey();
    const zoq::KeyInfo info = zoqe_test::KeyOf(key);
    QVERIFY(PartBytes(window_->document()->package(), u"/secret.xml", &info).contains("Someone"));
    QCOMPARE(PartBytes(window_->document()->package(), u"/secret.xml"), QByteArray("<fail>"));
  }

 private:
  // Selects a tree item (or runs a command) and waits until its part is
  // shown or noticed.
  void Select(TreeItem* item) {
    QVERIFY(item);
    window_->SelectTreeItem(item);
    QVERIFY(ViewerOf(*window_)->WaitUntilShown());
  }
  void Open(ViewMode mode) {
    window_->OnOpenPartAs(mode);
    QVERIFY(ViewerOf(*window_)->WaitUntilShown());
  }
  void Edit(TreeItem* item) {
    window_->SelectTreeItem(item);
    window_->ShowSelection(false);
    QVERIFY(ViewerOf(*window_)->WaitUntilShown());
  }
  QString NoticeText() const { return NoticeOf(*window_); }
  // Clicks the notice's button for `action`.
  void Press(ItemViewer::NoticeAction action) {
    const QString label = ItemViewer::NoticeLabel(action);
    QPushButton* pressed = nullptr;
    for (QPushButton* button : window_->right_pane()->findChildren<QPushButton*>()) {
      if (button->isVisibleTo(window_.get()) && button->text() == label) pressed = button;
    }
    QVERIFY2(pressed, qPrintable(label));
    pressed->click();
    QVERIFY(ViewerOf(*window_)->WaitUntilShown());
  }

  QTemporaryDir temp_;
  QString package_path_;
  std::unique_ptr<QTemporaryDir> work_;
  MessageRecorder messages_;  // answers in place of message boxes; reset for each test
  std::unique_ptr<CZOQEDlg> window_;
  QStringList launched_;
};

QTEST_MAIN(ViewWindowTest)
#include "viewer_window_test.moc"
