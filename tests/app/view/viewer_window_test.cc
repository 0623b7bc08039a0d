// The viewers driven through the real main window on packages built by the
// test: choosing the view by extension, the open commands, images, the
// editing rules, failures, key entry, find and storing edited XML.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QRadioButton>
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
using zoqe_test::ItemAt;
using zoqe_test::MessageRecorder;
using Sci = QsciScintillaBase;

namespace {

QString ShownText(const CZOQEDlg& window) {
  return QString::fromUtf8(TextViewBytes(window.text_view()));
}

QString ReadPart(zoq::Container* package, const char16_t* path, const zoq::KeyInfo* key = nullptr) {
  zoq::DecodeOptions options;
  options.key = key;
  QByteArray bytes;
  if (!zoqe_test::ReadWholePart(package, path, 0, &options, &bytes)) return QStringLiteral("<fail>");
  return QString::fromUtf8(bytes);
}

QStringList TempFilesIn(const QString& folder) {
  return QDir(folder).entryList({QStringLiteral("~~ZOQ*")}, QDir::Files);
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
    work_ = std::make_unique<QTemporaryDir>();
    window_ = std::make_unique<CZOQEDlg>(nullptr, work_->path() + QLatin1Char('/'));
    launched_.clear();
    window_->item_viewer()->SetLauncher([this](const QString& file) {
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
    MessageRecorder messages;
    QVERIFY(window_->OpenPackage(package_path_, true));
    TreeItem* root = window_->tree_model()->root();

    // No view for .dat: nothing shown, nothing said.
    window_->SelectTreeItem(Child(root, "b.dat"));
    QCOMPARE(window_->current_view(), CZOQEDlg::View::kList);
    QVERIFY(messages.shown.isEmpty());
    // Open as text shows it anyway.
    window_->OnOpenPartAs(CZOQEDlg::kViewText);
    QCOMPARE(window_->current_view(), CZOQEDlg::View::kText);
    QCOMPARE(ShownText(*window_), QStringLiteral("binary\x01\x02 data"));
    QCOMPARE(window_->info_panel()->ValueOf(QStringLiteral("原始大小")),
             QStringLiteral("1KB(14字节)"));
    QVERIFY(window_->text_view()->isReadOnly());
    // As hex dump.
    window_->OnOpenPartAs(CZOQEDlg::kViewHex);
    QVERIFY(ShownText(*window_).startsWith(
        QStringLiteral("000000000h : 62 69 6e 61 72 79 01 02 20 64 61 74 61 ")));

    // XML, ZIP-coded, re-indented, read-only on a plain selection.
    window_->SelectTreeItem(Child(root, "plain.xml"));
    QCOMPARE(ShownText(*window_), QStringLiteral("\n<a>\n    <b>y</b>\n</a>"));
    QVERIFY(!window_->xml_editable());
    // SXC-coded XML is decoded through the package's schema.
    window_->SelectTreeItem(Child(root, "doc.xml"));
    QVERIFY(ShownText(*window_).contains(QStringLiteral("<title>年度报告 Annual report</title>")));
    QVERIFY(ShownText(*window_).startsWith(QStringLiteral("<?xml")));
    // XML with an open comment is not shown, and not reported.
    window_->SelectTreeItem(Child(root, "bad.xml"));
    QCOMPARE(window_->current_view(), CZOQEDlg::View::kList);
    QVERIFY(messages.shown.isEmpty());

    // Text files are deleted once loaded; failed loads and images stay
    // until the package is closed.
    window_->SelectTreeItem(Child(root, "notes.txt"));
    QCOMPARE(ShownText(*window_), QStringLiteral("find me\nfind Find\nwhere FINDS\n"));
    window_->SelectTreeItem(ItemAt(root, "img/small.png"));
    QCOMPARE(window_->current_view(), CZOQEDlg::View::kPicture);
    QCOMPARE(window_->info_panel()->ValueOf(QStringLiteral("图片尺寸")), QStringLiteral("50 × 20"));
    const QStringList kept = TempFilesIn(window_->work_folder());
    QCOMPARE(kept.filter(QStringLiteral(".tmp.xml")).size(), 1);   // bad.xml
    QCOMPARE(kept.filter(QStringLiteral(".tmp.png")).size(), 1);
    QCOMPARE(kept.filter(QStringLiteral(".tmp.txt")).size(), 0);
    QCOMPARE(kept.size(), 2);  // and no placeholder per view
    QVERIFY(window_->ClosePackage());
    QVERIFY(TempFilesIn(window_->work_folder()).isEmpty());
    QVERIFY(messages.shown.isEmpty());
  }

  void showsImagesOfEveryDecoder() {
    MessageRecorder messages;
    QVERIFY(window_->OpenPackage(package_path_, true));
    TreeItem* root = window_->tree_model()->root();
    auto* picture = window_->item_viewer()->picture();
    const struct {
      const char* path;
      QSize size;
      QRgb pixel;
    } cases[] = {{"img/big.png", QSize(2000, 1500), qRgb(0, 255, 0)},
                 {"img/pic.psd", QSize(30, 10), qRgb(0x10, 0x20, 0x30)},
                 {"img/pic.jp2", QSize(40, 30), qRgb(1, 2, 3)}};
    window_->resize(900, 600);
    for (const auto& c : cases) {
      window_->SelectTreeItem(ItemAt(root, QString::fromLatin1(c.path)));
      QCOMPARE(window_->current_view(), CZOQEDlg::View::kPicture);
      QCOMPARE(picture->image().size(), c.size);
      QCOMPARE(picture->image().pixel(0, 0), c.pixel);
      QCOMPARE(window_->info_panel()->ValueOf(QStringLiteral("图片尺寸")),
               QStringLiteral("%1 × %2").arg(c.size.width()).arg(c.size.height()));
      const QRect shown = picture->ImageRect();
      QVERIFY(picture->rect().contains(shown));
    }
    // Moving on releases the image.
    window_->SelectTreeItem(Child(root, "notes.txt"));
    QVERIFY(picture->image().isNull());
    QVERIFY(messages.shown.isEmpty());
  }

  void startsTheDefaultProgram() {
    MessageRecorder messages;
    QVERIFY(window_->OpenPackage(package_path_, true));
    window_->SelectTreeItem(Child(window_->tree_model()->root(), "b.dat"));
    window_->OnOpenPartAs(CZOQEDlg::kViewDefaultProgram);
    QCOMPARE(launched_.size(), 1);
    QVERIFY(launched_[0].startsWith(window_->work_folder() + QStringLiteral("~~ZOQ")));
    QVERIFY(launched_[0].endsWith(QStringLiteral(".tmp.dat")));
    QFile file(launched_[0]);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("binary\x01\x02 data", 14));
    file.close();
    QVERIFY(window_->ClosePackage());
    QVERIFY(!QFile::exists(launched_[0]));
    QVERIFY(messages.shown.isEmpty());
  }

  void refusesEditingOtherThanCurrentXml() {
    MessageRecorder messages;
    QVERIFY(window_->OpenPackage(package_path_, false));
    TreeItem* root = window_->tree_model()->root();
    // Double-click opens current XML for editing.
    window_->SelectTreeItem(Child(root, "plain.xml"));
    window_->ShowSelection(false);
    QVERIFY(messages.shown.isEmpty());
    QVERIFY(window_->xml_editable());
    QVERIFY(!window_->text_view()->isReadOnly());
    QCOMPARE(window_->current_part_path(), QStringLiteral("/plain.xml"));
    // A text part cannot be edited: said, then shown read-only.
    window_->SelectTreeItem(Child(root, "notes.txt"));
    window_->ShowSelection(false);
    QCOMPARE(messages.LastText(), QStringLiteral("不支持编辑该文件。"));
    QCOMPARE(messages.shown.last().caption, QStringLiteral("错误"));
    QCOMPARE(window_->current_view(), CZOQEDlg::View::kText);
    QVERIFY(window_->text_view()->isReadOnly());
    // An older version of an XML part neither.
    messages.shown.clear();
    window_->OnToggleHistory();
    TreeItem* old = Child(Child(Child(window_->tree_model()->history(), "1"), "/"), "plain.xml");
    QVERIFY(old);
    window_->SelectTreeItem(old);
    window_->ShowSelection(false);
    QCOMPARE(messages.LastText(), QStringLiteral("不支持编辑该文件。"));
    QVERIFY(!window_->xml_editable());
    QCOMPARE(ShownText(*window_), QStringLiteral("\n<a>\n    <b>x</b>\n    <c/>\n</a>"));
    QVERIFY(window_->text_view()->isReadOnly());
  }

  void reportsDecodingFailures() {
    MessageRecorder messages;
    QVERIFY(window_->OpenPackage(QStringLiteral(ZOQ_TEST_DATA_DIR "/package/v_damaged_deflate.zoq"),
                                 true));
    TreeItem* root = window_->tree_model()->root();
    // A plain selection says nothing; the commands report the code. The
    // cut-short content is never shown, nor left behind.
    window_->SelectTreeItem(Child(root, "broken.xml"));
    QCOMPARE(window_->current_view(), CZOQEDlg::View::kList);
    QVERIFY(messages.shown.isEmpty());
    window_->OnOpenPartAs(CZOQEDlg::kViewText);
    QCOMPARE(messages.shown.size(), 1);
    QVERIFY(messages.LastText().startsWith(QStringLiteral("打开包内文件失败(")));
    QVERIFY(messages.LastText() != QStringLiteral("打开包内文件失败(0)"));
    QCOMPARE(window_->current_view(), CZOQEDlg::View::kList);
    QVERIFY(TempFilesIn(window_->work_folder()).isEmpty());
    window_->SelectTreeItem(Child(root, "fine.xml"));
    QCOMPARE(window_->current_view(), CZOQEDlg::View::kText);
  }

  void needsTheRightKey() {
    MessageRecorder messages;
    QVERIFY(window_->OpenPackage(package_path_, true));
    TreeItem* root = window_->tree_model()->root();
    window_->SelectTreeItem(Child(root, "secret.xml"));
    QCOMPARE(window_->current_view(), CZOQEDlg::View::kList);
    QVERIFY(messages.shown.isEmpty());
    // Without a key the command reports 10052392 and offers key entry.
    messages.answers = {QMessageBox::Ok, QMessageBox::No};
    window_->OnOpenPartAs(CZOQEDlg::kViewText);
    QCOMPARE(messages.shown.size(), 2);
    QCOMPARE(messages.shown[0].text, QStringLiteral("打开包内文件失败(10052392)"));
    QCOMPARE(messages.shown[1].caption, QStringLiteral("提示"));
    // A wrong key fails in the SXC decoding and is reported, not shown.
    messages.shown.clear();
    window_->SetKey(QByteArray(16, '\x11'));
    window_->OnOpenPartAs(CZOQEDlg::kViewText);
    QCOMPARE(messages.shown.size(), 1);
    QVERIFY(messages.LastText().startsWith(QStringLiteral("打开包内文件失败(")));
    QCOMPARE(window_->current_view(), CZOQEDlg::View::kList);
    QVERIFY(TempFilesIn(window_->work_folder()).isEmpty());

    // Key entry through its command (Ctrl+K in the file menu).
    QCOMPARE(window_->commands().enter_key->shortcut(), QKeySequence(QStringLiteral("Ctrl+K")));
    QTimer::singleShot(0, this, [] {
      auto* dialog = qobject_cast<CZOQEPathDlg*>(QApplication::activeModalWidget());
      if (!dialog) return;
      dialog->edit()->setText(QStringLiteral("2b 7e 15 16 28 ae d2 a6 ab f7 15 88 09 cf 4f 3c"));
      dialog->accept();
    });
    window_->commands().enter_key->trigger();
    QVERIFY(window_->key_info());
    QCOMPARE(window_->key_info()->key_length, 16);
    messages.shown.clear();
    window_->OnOpenPartAs(CZOQEDlg::kViewText);
    QVERIFY(messages.shown.isEmpty());
    QVERIFY(ShownText(*window_).contains(QStringLiteral("<title>年度报告 Annual report</title>")));
  }

  void findsForwardAndBackward() {
    MessageRecorder messages;
    QVERIFY(window_->OpenPackage(package_path_, true));
    window_->SelectTreeItem(Child(window_->tree_model()->root(), "notes.txt"));
    QsciScintilla* view = window_->text_view();
    view->SendScintilla(Sci::SCI_SETSEL, 0L, 4L);  // "find"
    window_->commands().find->trigger();
    CFindDialog* dialog = window_->item_viewer()->find_dialog();
    QVERIFY(dialog);
    QVERIFY(dialog->isVisible());
    QVERIFY(!dialog->isModal());
    QCOMPARE(dialog->text_edit()->text(), QStringLiteral("find"));
    window_->commands().find->trigger();  // one at a time
    QCOMPARE(window_->item_viewer()->find_dialog(), dialog);

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
    QCOMPARE(messages.LastText(), QStringLiteral("找不到\"find\""));
    QCOMPARE(messages.shown.last().caption, QStringLiteral("提示"));
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
    QTRY_VERIFY(!window_->item_viewer()->find_dialog());
    view->SendScintilla(Sci::SCI_SETSEL, 0L, 30L);
    window_->commands().find->trigger();
    QVERIFY(window_->item_viewer()->find_dialog());
    QCOMPARE(window_->item_viewer()->find_dialog()->text_edit()->text().size(), 30);

    // Select all and copy.
    window_->OnSelectAll();
    window_->OnCopy();
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("find me\nfind Find\nwhere FINDS\n"));
  }

  void foldsOnMarginClicks() {
    MessageRecorder messages;
    QVERIFY(window_->OpenPackage(package_path_, true));
    window_->SelectTreeItem(Child(window_->tree_model()->root(), "doc.xml"));
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

  void storesEditedXmlBack() {
    const QString copy = temp_.path() + QStringLiteral("/edit.zoq");
    QFile::remove(copy);
    QVERIFY(QFile::copy(package_path_, copy));
    MessageRecorder messages;
    QVERIFY(window_->OpenPackage(copy, false));
    TreeItem* root = window_->tree_model()->root();
    QsciScintilla* view = window_->text_view();

    // A ZIP-coded part: edit, move to another part, Yes stores it.
    window_->SelectTreeItem(Child(root, "plain.xml"));
    window_->ShowSelection(false);
    QVERIFY(window_->xml_editable());
    view->SendScintilla(Sci::SCI_SETTEXT, "<a><b>edited</b></a>");
    QVERIFY(view->isModified());
    messages.answers = {QMessageBox::Yes};
    window_->SelectTreeItem(Child(root, "notes.txt"));
    QCOMPARE(messages.shown.size(), 1);
    QCOMPARE(messages.shown[0].text, QStringLiteral("是否保存XML编辑结果?"));
    QVERIFY(window_->package()->IsModified());
    QCOMPARE(ReadPart(window_->package(), u"/plain.xml"), QStringLiteral("<a><b>edited</b></a>"));

    // An SXC part edited into XML its schema refuses: said, text kept, the
    // selection stays on it, the close is cancelled.
    window_->SelectTreeItem(Child(root, "doc.xml"));
    window_->ShowSelection(false);
    QVERIFY(window_->xml_editable());
    const QByteArray invalid("<document><nonsense/></document>");
    view->SendScintilla(Sci::SCI_SETTEXT, invalid.constData());
    messages.shown.clear();
    messages.answers = {QMessageBox::Yes, QMessageBox::Ok};
    window_->SelectTreeItem(Child(root, "b.dat"));
    QCOMPARE(messages.shown.size(), 2);
    QCOMPARE(messages.shown[1].caption, QStringLiteral("错误"));
    QVERIFY(messages.shown[1].text.contains(QStringLiteral("无法保存")));
    QCOMPARE(window_->CurrentTreeItem(), Child(root, "doc.xml"));
    QCOMPARE(window_->current_view(), CZOQEDlg::View::kText);
    QCOMPARE(TextViewBytes(view), invalid);
    QVERIFY(window_->xml_editable());
    messages.answers = {QMessageBox::Yes, QMessageBox::Ok};
    QVERIFY(!window_->ClosePackage());
    QVERIFY(window_->package());
    QCOMPARE(TextViewBytes(view), invalid);

    // A valid edit of the SXC part is stored; the close then saves.
    QByteArray edited = zoqe_test::DocumentXml();
    edited.replace("Annual report", "Edited report");
    view->SendScintilla(Sci::SCI_SETTEXT, edited.constData());
    messages.shown.clear();
    messages.answers = {QMessageBox::Yes, QMessageBox::Yes};
    QVERIFY(window_->ClosePackage());
    QCOMPARE(messages.shown.size(), 2);
    QCOMPARE(messages.shown[1].text, QStringLiteral("是否保存当前PLIV文件?"));

    // Reopened: both edits are there, coded as before.
    QVERIFY(window_->OpenPackage(copy, true));
    zoq::PartInfo info;
    QCOMPARE(window_->package()->GetPartInfoByPath(&info, u"/plain.xml", 0), 0);
    QCOMPARE(info.code_count, 1);
    QCOMPARE(int{info.codes[0]}, int{zoq::kEcsZip});
    QCOMPARE(info.revisions.front(), 2);
    QCOMPARE(ReadPart(window_->package(), u"/plain.xml"), QStringLiteral("<a><b>edited</b></a>"));
    QCOMPARE(window_->package()->GetPartInfoByPath(&info, u"/doc.xml", 0), 0);
    QCOMPARE(int{info.codes[0]}, int{zoq::kEcsSxc});
    QVERIFY(ReadPart(window_->package(), u"/doc.xml").contains(QStringLiteral("Edited report")));
  }

  void refusesStoringIntoReadOnlyOrWithoutKey() {
    MessageRecorder messages;
    QVERIFY(window_->OpenPackage(package_path_, true));
    TreeItem* root = window_->tree_model()->root();
    window_->SelectTreeItem(Child(root, "plain.xml"));
    window_->ShowSelection(false);
    window_->text_view()->SendScintilla(Sci::SCI_SETTEXT, "<z/>");
    messages.answers = {QMessageBox::Yes, QMessageBox::Ok};
    QVERIFY(!window_->ClosePackage());
    QVERIFY(messages.LastText().contains(QStringLiteral("只读")));
    QVERIFY(!window_->package()->IsModified());
    // Switching to history mode reopens the package: refused the same way.
    messages.answers = {QMessageBox::Yes, QMessageBox::Ok};
    window_->OnToggleHistory();
    QVERIFY(!window_->history_mode());
    QVERIFY(window_->xml_editable());
    // No: the edit is dropped and the package closes unchanged.
    messages.answers = {QMessageBox::No};
    QVERIFY(window_->ClosePackage());

    // An encrypted part needs the key to be stored again.
    const QString copy = temp_.path() + QStringLiteral("/secret.zoq");
    QFile::remove(copy);
    QVERIFY(QFile::copy(package_path_, copy));
    QVERIFY(window_->OpenPackage(copy, false));
    window_->SetKey(zoqe_test::ViewKey());
    window_->SelectTreeItem(Child(window_->tree_model()->root(), "secret.xml"));
    window_->ShowSelection(false);
    QVERIFY(window_->xml_editable());
    QByteArray edited = zoqe_test::DocumentXml();
    edited.replace("Li Wei", "Someone");
    window_->text_view()->SendScintilla(Sci::SCI_SETTEXT, edited.constData());
    messages.shown.clear();
    messages.answers = {QMessageBox::Yes};
    QVERIFY(window_->SettleXmlEdit());
    QCOMPARE(messages.shown.size(), 1);
    QVERIFY(window_->package()->IsModified());
    const QByteArray key = zoqe_test::ViewKey();
    zoq::KeyInfo info;
    info.key = reinterpret_cast<const uint8_t*>(key.constData());
    info.key_length = 16;
    QVERIFY(ReadPart(window_->package(), u"/secret.xml", &info).contains(QStringLiteral("Someone")));
    QCOMPARE(ReadPart(window_->package(), u"/secret.xml"), QStringLiteral("<fail>"));
  }

 private:
  QTemporaryDir temp_;
  QString package_path_;
  std::unique_ptr<QTemporaryDir> work_;
  std::unique_ptr<CZOQEDlg> window_;
  QStringList launched_;
};

QTEST_MAIN(ViewWindowTest)
#include "viewer_window_test.moc"
