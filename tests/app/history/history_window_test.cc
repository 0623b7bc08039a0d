// The history commands through the real main window on a package the test
// builds: comparing versions side by side (text, binary, deleted), restoring
// a deleted part, finding in the package and opening a hit at its line, and
// the offer to open the readable revisions of a damaged package.
#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <Qsci/qsciscintilla.h>

#include <memory>

#include "app/application.h"
#include "app/history/compare_window.h"
#include "app/history/find_pane.h"
#include "app/history/history_tools.h"
#include "app/info_panel.h"
#include "app/main_window.h"
#include "app/package_document.h"
#include "app/view/item_viewer.h"
#include "message_recorder.h"
#include "window_test_util.h"

using namespace zoqe;
using zoqe_test::MessageRecorder;
using Sci = QsciScintillaBase;

namespace {

// Three revisions:
//   1: /notes.txt, /gone.txt, /bin.dat, /cfg.xml
//   2: /notes.txt changed, /gone.txt deleted, /bin.dat changed
//   3: /cfg.xml changed
QString BuildHistoryPackage(const QString& folder) {
  const QString path = folder + QStringLiteral("/history.zoq");
  std::unique_ptr<zoq::Container> c = zoqe_test::NewPackage(folder, path);
  if (!c) return {};
  // Every part is ZIP-coded; `true` replaces it.
  auto put = [&c](const char16_t* part, const QByteArray& bytes, bool replace = false) {
    return zoqe_test::PutPart(c.get(), part, bytes, {{zoq::kEcsZip, nullptr}}, replace);
  };
  QByteArray lines;
  for (int i = 1; i <= 60; ++i) lines += "line " + QByteArray::number(i) + "\n";
  bool ok = put(u"/notes.txt", "alpha\nbeta\ngamma\ndelta\n" + lines) == 0 &&
            put(u"/gone.txt", "kept once\n") == 0 &&
            put(u"/bin.dat", QByteArray("\x00\x01gamma", 7)) == 0 &&
            put(u"/cfg.xml", "<a><b>one</b><c>gamma</c></a>") == 0 &&
            c->Save(zoq::kSaveIncremental, false) == 0;
  ok = ok && put(u"/notes.txt", "alpha\nBETA\ngamma\nepsilon\nzeta\n" + lines, true) == 0 &&
       c->DeletePart(u"/gone.txt") == 0 &&
       put(u"/bin.dat", QByteArray("\x00\x02gamma!", 8), true) == 0 &&
       c->Save(zoq::kSaveIncremental, false) == 0;
  ok = ok && put(u"/cfg.xml", "<a><b>two</b><c>gamma</c></a>", true) == 0 &&
       c->Save(zoq::kSaveIncremental, false) == 0;
  return ok ? path : QString();
}

// Compares and waits until the window shows what was found.
CompareWindow* CompareNow(HistoryTools* tools, const QString& path, int version, int other) {
  CompareWindow* compare = tools->Compare(path, version, other);
  if (compare && !QTest::qWaitFor([compare] { return !compare->busy(); }, 20000)) return nullptr;
  return compare;
}

long Markers(QsciScintilla* view, long line) {
  return view->SendScintilla(Sci::SCI_MARKERGET, line);
}

}  // namespace

class HistoryWindowTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void initTestCase() {
    CZOQEApp::ConfigureEnvironment();
    QVERIFY(temp_.isValid());
    source_ = BuildHistoryPackage(temp_.path());
    QVERIFY(!source_.isEmpty());
  }

  void init() {
    messages_.Reset();
    work_ = std::make_unique<QTemporaryDir>();
    window_ = std::make_unique<CZOQEDlg>(nullptr, work_->path() + QLatin1Char('/'));
    // Each test works on its own copy.
    package_ = work_->path() + QStringLiteral("/copy.zoq");
    QVERIFY(QFile::copy(source_, package_));
    QFile::setPermissions(package_, QFile::ReadOwner | QFile::WriteOwner);
  }

  void cleanup() {
    MessageRecorder quiet;
    quiet.default_answer = QMessageBox::No;
    window_.reset();
  }

  void comparesVersionsSideBySide() {
    QVERIFY(window_->OpenPackage(package_, true));
    HistoryTools* tools = window_->history_tools();

    // Changed, removed and added lines are marked, fillers keep the sides
    // line for line, and each side numbers its own lines.
    CompareWindow* compare = CompareNow(tools, QStringLiteral("/notes.txt"), 0, 1);
    QVERIFY(compare);
    QCOMPARE(compare->summary(), QStringLiteral("2 处不同"));
    QsciScintilla* left = compare->left_view();
    QsciScintilla* right = compare->right_view();
    QCOMPARE(left->SendScintilla(Sci::SCI_GETLINECOUNT), right->SendScintilla(Sci::SCI_GETLINECOUNT));
    QCOMPARE(Markers(left, 0), 0L);
    QCOMPARE(Markers(left, 1), 1L << CompareWindow::kChangedMarker);   // beta
    QCOMPARE(Markers(right, 1), 1L << CompareWindow::kChangedMarker);  // BETA
    QCOMPARE(Markers(left, 2), 0L);
    QCOMPARE(left->text(3), QStringLiteral("delta\n"));
    QCOMPARE(right->text(3), QStringLiteral("epsilon\n"));
    QCOMPARE(Markers(left, 4), 1L << CompareWindow::kFillerMarker);
    QCOMPARE(Markers(right, 4), 1L << CompareWindow::kChangedMarker);  // zeta
    QCOMPARE(right->text(5), QStringLiteral("line 1\n"));
    QCOMPARE(compare->left().numbers[5], 5);
    QCOMPARE(compare->right().numbers[5], 6);
    // The views scroll together; next and previous go from change to change.
    compare->resize(600, 200);
    compare->show();
    QVERIFY(QTest::qWaitForWindowExposed(compare));
    QTest::qWait(200);  // the new size is laid out before the views scroll
    left->SendScintilla(Sci::SCI_SETFIRSTVISIBLELINE, 30L);
    QTRY_COMPARE(right->SendScintilla(Sci::SCI_GETFIRSTVISIBLELINE), 30L);
    QCOMPARE(compare->GoToChange(false), 3);
    QCOMPARE(compare->GoToChange(false), 1);
    QCOMPARE(compare->GoToChange(false), -1);
    QCOMPARE(compare->GoToChange(true), 3);
    QCOMPARE(right->SendScintilla(Sci::SCI_GETFIRSTVISIBLELINE), 1L);  // two lines above it
    QCOMPARE(compare->GoToChange(true), -1);

    // A part deleted since: every old line removed, opposite fillers.
    QVERIFY(CompareNow(tools, QStringLiteral("/gone.txt"), 1, 0));
    QCOMPARE(compare->left().marks, std::vector<LineMark>{LineMark::kRemoved});
    QCOMPARE(compare->right().marks, std::vector<LineMark>{LineMark::kFiller});
    // Binary parts by size and SHA-256; the same version is the same.
    QVERIFY(CompareNow(tools, QStringLiteral("/bin.dat"), 1, 2));
    QCOMPARE(compare->summary(), QStringLiteral("二进制文件不同"));
    QVERIFY(compare->findChild<QLabel*>(QStringLiteral("compareNotice"))->text().contains(
        QStringLiteral("版本1: 7 字节，SHA-256 ")));
    QVERIFY(CompareNow(tools, QStringLiteral("/cfg.xml"), 1, 2));
    QCOMPARE(compare->summary(), QStringLiteral("内容相同"));
    QVERIFY(messages_.shown.isEmpty());
  }

  void comparesOffTheWindowThread() {
    messages_.default_answer = QMessageBox::No;
    QVERIFY(window_->OpenPackage(package_, false));
    HistoryTools* tools = window_->history_tools();
    zoq::Container* package = window_->document()->package();
    QByteArray big(24 << 20, '\0');
    for (qsizetype i = 0; i < big.size(); i += 4096) big[i] = static_cast<char>(i >> 12);
    QCOMPARE(package->AddPartFromMemory(u"/big.bin", big.constData(), big.size(), nullptr, 0, false), 0);
    const QByteArray key_bytes("0123456789abcdef");
    const zoq::KeyInfo key = zoqe_test::KeyOf(key_bytes);
    const zoq::EcsCodeArg adm{zoq::kEcsAdm, &key};
    QCOMPARE(package->AddPartFromMemory(u"/secret.txt", "hidden", 6, &adm, 1, false), 0);

    // The window stays with the user while a large part is read and
    // hashed: it says how far the reading is, then what was found.
    QPointer<CompareWindow> compare = tools->Compare(QStringLiteral("/big.bin"), 0, 0);
    QVERIFY(compare && compare->busy());
    QVERIFY(compare->findChild<QLabel*>(QStringLiteral("compareProgress"))->isVisibleTo(compare));
    QTRY_VERIFY_WITH_TIMEOUT(!compare->busy(), 20000);
    QCOMPARE(compare->summary(), QStringLiteral("二进制文件相同"));
    QVERIFY(compare->findChild<QLabel*>(QStringLiteral("compareNotice"))->text().contains(
        QStringLiteral("25165824 字节")));
    // A version that cannot be read says why.
    QVERIFY(CompareNow(tools, QStringLiteral("/secret.txt"), 0, 0));
    QVERIFY(compare->summary().startsWith(QStringLiteral("无法读取最新版本: ")));
    // Closing the package stops the reading; closing the window drops it.
    tools->Compare(QStringLiteral("/big.bin"), 0, 0);
    QVERIFY(window_->ClosePackage());
    QVERIFY(!compare->busy());
    QCOMPARE(compare->summary(), QStringLiteral("比较已取消"));
    QVERIFY(window_->OpenPackage(package_, true));
    tools->Compare(QStringLiteral("/notes.txt"), 0, 1);
    compare->close();
    QTRY_VERIFY(compare.isNull());
  }

  void restoresADeletedPart() {
    window_->OnToggleHistory();
    QVERIFY(window_->OpenPackage(package_, false));
    HistoryTools* tools = window_->history_tools();
    // The commands follow the selection: a part inside a version.
    TreeItem* gone = PackageTreeModel::FindHistoryItem(window_->tree_model()->history(), 1,
                                                      QStringLiteral("/gone.txt"));
    QVERIFY(gone);
    window_->SelectTreeItem(gone);
    emit window_->commands().context_menu->aboutToShow();
    QVERIFY(tools->restore_action()->isEnabled());
    QVERIFY(tools->compare_newest_action()->isEnabled());
    window_->SelectTreeItem(zoqe_test::Child(window_->tree_model()->root(), QStringLiteral("cfg.xml")));
    emit window_->commands().context_menu->aboutToShow();
    QVERIFY(!tools->restore_action()->isEnabled());

    // Restored, not saved: the tree shows the part back, marked as a
    // change, selected at the version the change makes.
    window_->SelectTreeItem(gone);
    emit window_->commands().view_menu->aboutToShow();
    messages_.answers = {QMessageBox::No};
    tools->restore_action()->trigger();
    QCOMPARE(messages_.LastText(), QStringLiteral("是否保存当前PLIV文件?"));
    const TreeItem* back = zoqe_test::Child(window_->tree_model()->root(), QStringLiteral("gone.txt"));
    QVERIFY(back);
    QVERIFY(window_->tree_model()->IndexOf(back).data(Qt::FontRole).value<QFont>().italic());
    QCOMPARE(PackageTreeModel::VersionOf(window_->CurrentTreeItem()), 4);
    QCOMPARE(window_->info_panel()->ValueOf(QStringLiteral("版本号")), QStringLiteral("4"));
    // Leaving history mode opens the package again: the save question
    // first, and Yes keeps the change in a fourth revision.
    messages_.answers = {QMessageBox::Yes};
    window_->OnToggleHistory();
    QCOMPARE(messages_.LastText(), QStringLiteral("是否保存当前PLIV文件?"));
    QCOMPARE(window_->document()->package()->GetRevisionCount(), 4);
    QByteArray content;
    QVERIFY(zoqe_test::ReadWholePart(window_->document()->package(), u"/gone.txt", 0, nullptr, &content));
    QCOMPARE(content, QByteArray("kept once\n"));
    window_->OnToggleHistory();
    // Restored and saved at once: the tree shows the new revision.
    messages_.answers = {QMessageBox::Yes};
    QVERIFY(tools->Restore(QStringLiteral("/notes.txt"), 1));
    QCOMPARE(window_->document()->package()->GetRevisionCount(), 5);
    QCOMPARE(PackageTreeModel::VersionOf(window_->CurrentTreeItem()), 5);
    QVERIFY(!window_->document()->IsModified());
    // Content that is already the newest is not stored again; a version
    // without the part says so and changes nothing.
    QVERIFY(tools->Restore(QStringLiteral("/cfg.xml"), 3));
    QVERIFY(messages_.LastText().contains(QStringLiteral("无需恢复")));
    QVERIFY(!tools->Restore(QStringLiteral("/gone.txt"), 2));
    QVERIFY(messages_.LastText().contains(QStringLiteral("版本2中没有此文件")));
    QVERIFY(!window_->document()->package()->IsModified());
  }

  void findsInThePackageAndOpensTheLine() {
    QVERIFY(window_->OpenPackage(package_, true));
    HistoryTools* tools = window_->history_tools();
    tools->find_action()->trigger();
    FindPane* pane = tools->find_pane();
    QVERIFY(pane && pane->isVisibleTo(window_.get()));
    pane->pattern_edit()->setText(QStringLiteral("^(ZETA|line 4.)$|gamma"));
    pane->ignore_case_box()->setChecked(true);
    pane->Start();
    QTRY_VERIFY_WITH_TIMEOUT(!pane->searching(), 20000);
    // Parts in path order, lines in order; binary content skipped.
    QTreeWidget* results = pane->results();
    QCOMPARE(results->topLevelItemCount(), 2);
    QTreeWidgetItem* xml = results->topLevelItem(0);
    QCOMPARE(xml->text(0), QStringLiteral("/cfg.xml"));
    QTreeWidgetItem* notes = results->topLevelItem(1);
    QCOMPARE(notes->text(0), QStringLiteral("/notes.txt"));
    QCOMPARE(notes->childCount(), 12);
    QCOMPARE(notes->child(0)->text(0), QStringLiteral("3"));
    QCOMPARE(notes->child(1)->text(1), QStringLiteral("zeta"));
    QCOMPARE(notes->child(2)->text(1), QStringLiteral("line 40"));
    QVERIFY(pane->status().contains(QStringLiteral("找到 13 处")));

    // A hit opens its part with the caret on its line; in re-indented XML
    // the line holding the text is found.
    emit results->itemActivated(notes->child(2), 0);
    QTRY_VERIFY(!window_->item_viewer()->busy());
    QsciScintilla* view = window_->text_view();
    QTRY_COMPARE(view->selectedText(), QStringLiteral("line 40"));
    emit results->itemActivated(xml->child(0), 0);
    QTRY_COMPARE(view->selectedText(), QStringLiteral("    <c>gamma</c>"));

    // A bad pattern says why; closing the package stops and empties it.
    pane->pattern_edit()->setText(QStringLiteral("("));
    pane->Start();
    QVERIFY(pane->status().startsWith(QStringLiteral("表达式有误")));
    QVERIFY(window_->ClosePackage());
    QCOMPARE(results->topLevelItemCount(), 0);
    QVERIFY(messages_.shown.isEmpty());
  }

  void offersTheLastReadableRevisionOfADamagedPackage() {
    // The newest entry's tables cut short.
    QFile file(package_);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.resize(file.size() - 80));
    file.close();
    messages_.answers = {QMessageBox::No};
    QVERIFY(!window_->OpenPackage(package_, false));
    QVERIFY(messages_.shown.first().text.contains(QStringLiteral("最后一个可读的版本（版本2）")));
    messages_.answers = {QMessageBox::Yes};
    QVERIFY(window_->OpenPackage(package_, false));
    QVERIFY(window_->document()->read_only());
    QCOMPARE(window_->document()->package()->GetRevisionCount(), 2);
    QVERIFY(window_->windowTitle().contains(QStringLiteral("[版本2，只读]")));
    QByteArray content;
    QVERIFY(zoqe_test::ReadWholePart(window_->document()->package(), u"/cfg.xml", 0, nullptr, &content));
    QCOMPARE(content, QByteArray("<a><b>one</b><c>gamma</c></a>"));
    // History mode opens it again as it was opened, without asking again.
    const qsizetype asked = messages_.shown.size();
    window_->OnToggleHistory();
    QCOMPARE(messages_.shown.size(), asked);
    QVERIFY(window_->document()->read_only());
    QCOMPARE(window_->document()->revision_limit(), 2);
    QVERIFY(window_->tree_model()->history());
  }

 private:
  QTemporaryDir temp_;
  QString source_;
  QString package_;
  std::unique_ptr<QTemporaryDir> work_;
  MessageRecorder messages_;  // answers in place of message boxes; reset for each test
  std::unique_ptr<CZOQEDlg> window_;
};

QTEST_MAIN(HistoryWindowTest)
#include "history_window_test.moc"
