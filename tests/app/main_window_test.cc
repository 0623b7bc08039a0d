// The main window driven through its real widgets: opening valid and broken
// packages, the tree, list, InfoPanel, history subtree, document detection,
// dropping files, the close questions and the command states.
#include <QAction>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProcess>
#include <QScrollBar>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>
#include <QTreeView>
#include <QUrl>

#include <Qsci/qsciscintilla.h>

#include <csignal>
#include <memory>

#include "app/info_panel.h"
#include "app/item_list_model.h"
#include "app/item_sort_proxy.h"
#include "app/package_tree_model.h"
#include "app/stats_dialog.h"
#include "app/stats_table.h"
#include "app/type_table.h"
#include "app/view/item_viewer.h"
#include "app/application.h"
#include "app/main_window.h"
#include "fake_container.h"
#include "message_recorder.h"
#include "window_test_util.h"

using namespace zoqe;
using zoqe_test::FakePackage;
using zoqe_test::FakePart;
using zoqe_test::Child;
using zoqe_test::CommandsOf;
using zoqe_test::ExpectInfo;
using zoqe_test::Corpus;
using zoqe_test::NoticeOf;
using zoqe_test::ShowExposed;
using zoqe_test::VersionItem;
using zoqe_test::MessageRecorder;

namespace {

QStringList ChildNames(const TreeItem* parent) {
  QStringList names;
  for (const auto& child : PackageTreeModel::ChildrenOf(const_cast<TreeItem*>(parent))) {
    names << child->name;
  }
  return names;
}

// The list's names in shown order.
QStringList ListNames(const CZOQEDlg& window) {
  QStringList names;
  for (int r = 0; r < window.list_proxy()->rowCount(); ++r) {
    names << window.list_proxy()->index(r, 0).data().toString();
  }
  return names;
}

int ListRowOf(const CZOQEDlg& window, const QString& name) {
  return static_cast<int>(ListNames(window).indexOf(name));
}

}  // namespace

class AppWindowTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void initTestCase() {
    CZOQEApp::ConfigureEnvironment();
    QVERIFY(temp_.isValid());
  }

  void init() {
    messages_.Reset();
    window_ = std::make_unique<CZOQEDlg>(nullptr, temp_.path() + QLatin1Char('/'));
    // An export that does nothing, so that its command shows the item rule.
    window_->SetExporter([](bool) {});
    fake_ = FakePackage();
  }

  void cleanup() { window_.reset(); }

  void opensValidPackageAndShowsRoot() {
    QVERIFY(window_->OpenPackage(Corpus("v_history.zoq"), true));
    QVERIFY(messages_.shown.isEmpty());
    QCOMPARE(window_->windowTitle(), QStringLiteral("v_history.zoq - ZOQ Explorer"));
    TreeItem* root = window_->tree_model()->root();
    QCOMPARE(ChildNames(root), (QStringList{"a.txt", "b.txt", "dir", "f.txt"}));
    QCOMPARE(window_->CurrentTreeItem(), root);
    QVERIFY(window_->tree_view()->isExpanded(window_->tree_view()->currentIndex()));
    const InfoPanel* info = window_->info_panel();
    ExpectInfo(*info, {{"文件名", "v_history.zoq"}, {"版本数", "8"}, {"文件数", "共4个"}, {"文件夹数", "共1个"},
                       {"打开方式", "只读"}});
    // The root lists its children, folders first, without "..".
    QCOMPARE(ListNames(*window_), (QStringList{"dir", "a.txt", "b.txt", "f.txt"}));

    // A part: every pair, other versions newest first.
    window_->SelectTreeItem(Child(root, QStringLiteral("a.txt")));
    ExpectInfo(*info, {{"名称", "a.txt"}, {"包内路径", "/"}, {"版本号", "7"}, {"其他版本号", "5,3,2,1"},
                       {"包内大小", "1KB(895字节)"}});
    QVERIFY(info->has_icon());
    QVERIFY(CommandsOf(*window_).open_text->isEnabled());

    // A folder below the root.
    window_->SelectTreeItem(Child(root, QStringLiteral("dir")));
    ExpectInfo(*info, {{"名称", "dir"}, {"类型", "文件夹"}, {"文件数", "共1个"}});
    QVERIFY(info->ValueOf(QStringLiteral("文件夹数")).isNull());
    QCOMPARE(ListNames(*window_), (QStringList{"..", "c.txt"}));
    QVERIFY(CommandsOf(*window_).export_files->isEnabled());
    QVERIFY(!CommandsOf(*window_).open_text->isEnabled());
  }

  void reportsBrokenPackages_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("text");
    QTest::newRow("5000") << Corpus("b_bad_magic.zoq") << QStringLiteral("无法识别的文件格式！(5000)");
    QTest::newRow("5001") << Corpus("b_version_20.zoq")
                          << QStringLiteral("无法打开高版本格式文档，请升级软件版本！(5001)");
    QTest::newRow("5002") << Corpus("b_negative_count.zoq")
                          << QStringLiteral("打开文件失败！文件头数据格式错误。(5002)");
    QTest::newRow("5003") << Corpus("b_short_header.zoq") << QStringLiteral("打开文件失败！(5003)");
    QTest::newRow("5063") << Corpus("no_such_file.zoq")
                          << QStringLiteral("打开文件失败！目标文件无法访问。(5063)");
  }

  void reportsBrokenPackages() {
    QFETCH(QString, file);
    QFETCH(QString, text);
    QVERIFY(window_->OpenPackage(Corpus("v_history.zoq"), false));
    QVERIFY(!window_->OpenPackage(file, false));
    QCOMPARE(messages_.shown.size(), 1);
    messages_.ExpectLast(text, QStringLiteral("错误"), QMessageBox::Critical);
    // The old package was closed first; the tree holds the root alone.
    QVERIFY(!window_->document()->package());
    QCOMPARE(window_->windowTitle(), QStringLiteral("ZOQ Explorer"));
    QVERIFY(window_->tree_model()->root()->children.empty());
    QCOMPARE(window_->info_panel()->count(), 0);
  }

  void reportsContainerCreationFailure() {
    fake_.create_result = 5060;
    UseFake();
    QVERIFY(!window_->OpenPackage(QStringLiteral("/x/a.zoq"), false));
    QCOMPARE(messages_.LastText(), QStringLiteral("打开文件失败！(5060)"));
  }

  void historySubtreeOfRealPackage() {
    QVERIFY(window_->OpenPackage(Corpus("v_history.zoq"), false));
    window_->OnToggleHistory();
    QVERIFY(CommandsOf(*window_).history->isChecked());
    TreeItem* history = window_->tree_model()->history();
    QVERIFY(history);
    QCOMPARE(ChildNames(history), (QStringList{"1", "2", "3", "4", "5", "6", "7", "8"}));
    QVERIFY(window_->tree_view()->isExpanded(window_->tree_view()->model()->index(1, 0)));
    // a.txt has records in revisions 6, 4, 2, 1 and 0.
    for (const char* version : {"1", "2", "3", "5", "7"}) {
      QVERIFY2(VersionItem(history, version, "a.txt"), version);
    }
    for (const char* version : {"4", "6", "8"}) {
      QVERIFY2(!VersionItem(history, version, "a.txt"), version);
    }
    TreeItem* c_txt = VersionItem(history, "2", "dir/c.txt");
    QVERIFY(c_txt);
    QCOMPARE(PackageTreeModel::PackagePath(c_txt), QStringLiteral("/dir/c.txt"));
    QCOMPARE(PackageTreeModel::VersionOf(c_txt), 2);
    QCOMPARE(PackageTreeModel::KindOf(c_txt), kKindVersionTree);

    // "History" and the version items grey every item command.
    window_->SelectTreeItem(window_->tree_model()->root());
    QVERIFY(CommandsOf(*window_).export_files->isEnabled());
    window_->SelectTreeItem(history);
    QVERIFY(!CommandsOf(*window_).export_files->isEnabled());
    QVERIFY(!CommandsOf(*window_).open_text->isEnabled());
    // "History" lists its versions; a double-click on one opens it, and a
    // version lists its "/" as it stood then, with parts deleted since.
    QCOMPARE(ListNames(*window_), ChildNames(history));
    window_->ActivateListRow(ListRowOf(*window_, QStringLiteral("3")));
    QCOMPARE(window_->CurrentTreeItem(), Child(history, "3"));
    QCOMPARE(PackageTreeModel::KindOf(Child(history, "3")), kKindHistory);
    QVERIFY(!CommandsOf(*window_).export_files->isEnabled());
    QCOMPARE(window_->current_view(), CZOQEDlg::View::kList);
    QCOMPARE(ListNames(*window_), (QStringList{"a.txt", "e.txt"}));
    ExpectInfo(*window_->info_panel(), {{"版本号", "3"}, {"文件数", "共2个"}});

    // e.txt, deleted in version 6, is reachable: under version 6 it says so
    // and offers version 3, where its content is shown.
    TreeItem* e_deleted = VersionItem(history, "6", "e.txt");
    QVERIFY(e_deleted);
    QCOMPARE(e_deleted->image, TypeTable::kDeletedImage);
    window_->SelectTreeItem(e_deleted);
    QCOMPARE(window_->info_panel()->ValueOf(QStringLiteral("状态")), QStringLiteral("已删除"));
    QCOMPARE(NoticeOf(*window_), QStringLiteral("该文件在版本6中已删除"));
    auto* notice = window_->findChild<QWidget*>(QStringLiteral("noticePane"));
    auto* offer = notice->findChild<QPushButton*>();
    QVERIFY(offer && offer->isVisibleTo(notice));
    QCOMPARE(offer->text(), QStringLiteral("查看版本3"));
    offer->click();
    QVERIFY(window_->item_viewer()->WaitUntilShown());  // a slow read shows a notice first
    QCOMPARE(window_->CurrentTreeItem(), VersionItem(history, "3", "e.txt"));
    QCOMPARE(window_->current_view(), CZOQEDlg::View::kText);
    QCOMPARE(window_->text_view()->text(), QStringLiteral("E2;"));
    QVERIFY(CommandsOf(*window_).export_files->isEnabled());
    // A click on the folder already selected brings its list back after a
    // part was opened from it.
    window_->SelectTreeItem(VersionItem(history, "7", "dir"));
    QCOMPARE(ListNames(*window_), (QStringList{"..", "d.txt"}));
    window_->ActivateListRow(1);
    QVERIFY(window_->item_viewer()->WaitUntilShown());
    QCOMPARE(messages_.LastText(), QStringLiteral("不支持编辑该文件。"));
    messages_.shown.clear();
    QCOMPARE(window_->current_view(), CZOQEDlg::View::kText);
    QCOMPARE(window_->text_view()->text(), QStringLiteral("D6;"));
    QVERIFY(ShowExposed(window_.get()));
    QTreeView* tree = window_->tree_view();
    const QModelIndex dir7_index = tree->currentIndex();
    tree->scrollTo(dir7_index);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualRect(dir7_index).center());
    QCOMPARE(window_->current_view(), CZOQEDlg::View::kList);
    QCOMPARE(ListNames(*window_), (QStringList{"..", "d.txt"}));

    // A part inside version 3 shows that version.
    window_->SelectTreeItem(VersionItem(history, "3", "a.txt"));
    QVERIFY(CommandsOf(*window_).open_text->isEnabled());
    ExpectInfo(*window_->info_panel(), {{"版本号", "3"}, {"其他版本号", "7,5,2,1"}});

    // Closing switches history mode off.
    window_->OnClose();
    QVERIFY(!CommandsOf(*window_).history->isChecked());
    QVERIFY(!window_->tree_model()->history());
    QVERIFY(messages_.shown.isEmpty());
  }

  void historyOfRevisionsTwoAndZero() {
    fake_.revision_count = 3;
    fake_.AddPart(u"/doc/p.xml", FakePart{{2, 0}, 10, 20, {}, false, {}});
    UseFake();
    window_->OnToggleHistory();  // no package: only the check mark
    QVERIFY(CommandsOf(*window_).history->isChecked());
    QVERIFY(!window_->tree_model()->history());
    QVERIFY(window_->OpenPackage(QStringLiteral("/x/h.zoq"), false));
    TreeItem* history = window_->tree_model()->history();
    QVERIFY(history);
    QVERIFY(VersionItem(history, "1", "doc/p.xml"));
    QVERIFY(VersionItem(history, "3", "doc/p.xml"));
    QVERIFY(Child(history, "2")->children.empty());
    QCOMPARE(VersionItem(history, "3", "doc/p.xml")->data, 1);
  }

  void folderListSortsAndSelects() {
    fake_.folders = {u"/f/", u"/f/z/"};
    fake_.AddPart(u"/f/a10.txt", FakePart{{1}, 5000, 5000, {1, 128}, false, {}});
    fake_.AddPart(u"/f/a9.txt", FakePart{{1, 0}, 3000000, 3000000, {2}, false, {}});
    fake_.AddPart(u"/f/gone.txt", FakePart{{1, 0}, 1023, 1023, {7}, true, {}});
    fake_.revision_count = 2;
    UseFake();
    QVERIFY(window_->OpenPackage(QStringLiteral("/x/f.zoq"), false));
    TreeItem* folder = Child(window_->tree_model()->root(), "f");
    // A click selects the folder and opens it.
    QVERIFY(ShowExposed(window_.get()));
    QTreeView* tree = window_->tree_view();
    const QModelIndex f_index = tree->model()->index(0, 0, tree->model()->index(0, 0));
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualRect(f_index).center());
    QCOMPARE(window_->CurrentTreeItem(), folder);
    QVERIFY(tree->isExpanded(f_index));
    QCOMPARE(ListNames(*window_), (QStringList{"..", "z", "a9.txt", "a10.txt", "gone.txt"}));
    const InfoPanel* info = window_->info_panel();
    ExpectInfo(*info, {{"包内路径", "/"}, {"文件夹数", "共1个"}, {"文件数", "共3个"}, {"已删除", "共1个"}});

    // Columns of a part row.
    const int a10 = ListRowOf(*window_, QStringLiteral("a10.txt"));
    auto cell = [this](int row, int column) {
      return window_->list_proxy()->index(row, column).data().toString();
    };
    QCOMPARE(cell(a10, 1), QStringLiteral("4KB"));
    QCOMPARE(cell(a10, 3), QStringLiteral("SXC压缩;ADM加密"));
    QCOMPARE(cell(a10, 4), QStringLiteral("1"));
    QCOMPARE(cell(a10, 5), QStringLiteral("2"));
    QCOMPARE(cell(ListRowOf(*window_, QStringLiteral("gone.txt")), 3), QStringLiteral("未知"));

    // Size sorts by bytes (2MB above 4KB): the first click sorts
    // descending, the second ascending; ".." stays on top both ways.
    window_->ClickListColumn(1);
    QVERIFY(window_->list_proxy()->descending());
    QCOMPARE(ListNames(*window_), (QStringList{"..", "a9.txt", "a10.txt", "gone.txt", "z"}));
    window_->ClickListColumn(1);
    QVERIFY(!window_->list_proxy()->descending());
    QCOMPARE(ListNames(*window_), (QStringList{"..", "z", "gone.txt", "a10.txt", "a9.txt"}));
    // Name descending keeps folders first.
    window_->ClickListColumn(0);
    QCOMPARE(ListNames(*window_), (QStringList{"..", "z", "gone.txt", "a10.txt", "a9.txt"}));
    window_->ClickListColumn(0);

    // Selecting a part row.
    const int a9 = ListRowOf(*window_, QStringLiteral("a9.txt"));
    window_->list_view()->setCurrentIndex(window_->list_proxy()->index(a9, 0));
    ExpectInfo(*info, {{"名称", "a9.txt"}, {"包内路径", "/f/"}, {"包内大小", "2MB"}, {"版本数", "2"},
                       {"版本号", "2"}});
    QVERIFY(CommandsOf(*window_).open_text->isEnabled());
    // The ".." row greys the item commands.
    window_->list_view()->setCurrentIndex(window_->list_proxy()->index(0, 0));
    QVERIFY(!CommandsOf(*window_).export_files->isEnabled());

    // The open commands go to the viewers with the selected part.
    QStringList viewed;
    window_->SetPartViewer([&viewed](const QString& path, int version, bool read_only,
                                     bool report, int mode) {
      viewed << QStringLiteral("%1 %2 %3 %4 %5").arg(path).arg(version).arg(read_only).arg(
                    report).arg(mode);
      return true;
    });
    window_->list_view()->clearSelection();
    window_->OnOpenPartAs(kViewText);
    QCOMPARE(messages_.LastText(), QStringLiteral("请选择一个文件"));
    QCOMPARE(messages_.shown.last().icon, QMessageBox::Information);
    window_->list_view()->setCurrentIndex(window_->list_proxy()->index(a9, 0));
    QVERIFY(CommandsOf(*window_).open_text->isEnabled());
    CommandsOf(*window_).open_binary->trigger();
    QCOMPARE(viewed, (QStringList{"/f/a9.txt 0 1 1 5"}));
    // A double-click on a part row shows it for editing, without reports.
    window_->ActivateListRow(a9);
    QCOMPARE(viewed.last(), QStringLiteral("/f/a9.txt 0 0 0 0"));
    QCOMPARE(messages_.shown.size(), 1);

    // Double-clicks: a folder row opens the folder, ".." goes back up.
    window_->ActivateListRow(ListRowOf(*window_, QStringLiteral("z")));
    QCOMPARE(window_->CurrentTreeItem()->name, QStringLiteral("z"));
    window_->ActivateListRow(0);
    QCOMPARE(window_->CurrentTreeItem(), folder);
  }

  void treeFilterNarrowsNames() {
    fake_.folders = {u"/f/", u"/f/g/", u"/f/g/h/"};
    fake_.AddPart(u"/f/g/h/Deep.txt", FakePart{{0}, 1, 1, {}, false, {}});
    fake_.AddPart(u"/f/alpha.txt", FakePart{{0}, 1, 1, {}, false, {}});
    fake_.AddPart(u"/f/beta.txt", FakePart{{0}, 1, 1, {}, false, {}});
    fake_.AddPart(u"/gamma.xml", FakePart{{0}, 1, 1, {}, false, {}});
    const QString kLongName = QString(120, QLatin1Char('n')) + QStringLiteral(".txt");
    fake_.AddPart(u"/" + kLongName.toStdU16String(), FakePart{{0}, 1, 1, {}, false, {}});
    UseFake();
    QVERIFY(window_->OpenPackage(QStringLiteral("/x/f.zoq"), false));
    // Items are made as folders open: "/" and its three children so far.
    QCOMPARE(window_->tree_model()->item_count(), 4);
    QAbstractItemModel* shown = window_->tree_view()->model();
    QLineEdit* filter = window_->findChild<QLineEdit*>(QStringLiteral("treeFilter"));
    // The filter finds names in folders never opened, at any depth.
    filter->setText(QStringLiteral("dee"));
    QTest::keyClick(filter, Qt::Key_Return);  // at once
    QCOMPARE(shown->rowCount(shown->index(0, 0)), 1);
    QModelIndex deep = shown->index(0, 0, shown->index(0, 0));
    for (const char* name : {"f", "g", "h", "Deep.txt"}) {
      QCOMPARE(deep.data().toString(), QString::fromLatin1(name));
      QCOMPARE(shown->rowCount(deep), name[0] == 'D' ? 0 : 1);
      deep = shown->index(0, 0, deep);
    }
    filter->setText(QStringLiteral("BET"));  // applied after a pause
    QTRY_COMPARE(shown->index(0, 0, shown->index(0, 0, shown->index(0, 0))).data().toString(),
                 QStringLiteral("beta.txt"));
    QCOMPARE(shown->rowCount(shown->index(0, 0)), 1);
    const QModelIndex f = shown->index(0, 0, shown->index(0, 0));
    QCOMPARE(f.data().toString(), QStringLiteral("f"));
    QCOMPARE(shown->rowCount(f), 1);
    QCOMPARE(shown->index(0, 0, f).data().toString(), QStringLiteral("beta.txt"));
    filter->clear();
    QTRY_COMPARE(shown->rowCount(shown->index(0, 0)), 3);

    // A filter that matches nothing hides even "/"; cleared, the tree is
    // as it was before: the same items expanded, the same item current.
    QTreeView* tree = window_->tree_view();
    TreeItem* folder_f = zoqe_test::Child(window_->tree_model()->root(), QStringLiteral("f"));
    window_->SelectTreeItem(folder_f);
    tree->collapseAll();
    tree->expand(shown->index(0, 0));
    tree->expand(shown->index(0, 0, shown->index(0, 0)));  // f
    filter->setText(QStringLiteral("nothing like it"));
    QTest::keyClick(filter, Qt::Key_Return);
    QCOMPARE(shown->rowCount(), 0);
    QTest::keyClick(filter, Qt::Key_Escape);
    QCOMPARE(shown->rowCount(shown->index(0, 0)), 3);
    QVERIFY(tree->isExpanded(shown->index(0, 0)));
    QCOMPARE(window_->CurrentTreeItem(), folder_f);
    QVERIFY(tree->isExpanded(tree->currentIndex()));
    QVERIFY(!tree->isExpanded(shown->index(0, 0, tree->currentIndex())));  // g stays closed

    // A long name is not cut: the tree scrolls sideways to it.
    window_->resize(600, 400);
    QVERIFY(ShowExposed(window_.get()));
    const QModelIndex long_index = shown->index(2, 0, shown->index(0, 0));
    QCOMPARE(long_index.data().toString(), kLongName);
    QTRY_VERIFY(tree->horizontalScrollBar()->maximum() > 0);
    QVERIFY(tree->columnWidth(0) > tree->fontMetrics().horizontalAdvance(kLongName));
  }

  void detectsPlivDocumentType_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("main");
    QTest::addColumn<int>("subset");
    QTest::addColumn<int>("version");
    QTest::addColumn<int>("told_subset");
    QTest::newRow("M 1.1") << "/x/doc.pliv"
                           << QByteArray("<Doc SubsetType=\"PLIV_M\" Version=\"1.1\"/>") << 8
                           << 0x101 << 8;
    QTest::newRow("other version") << "/x/doc.PLIV"
                                   << QByteArray("<Doc Version=\"2.0\" SubsetType=\"PLIV_A\"/>")
                                   << 1 << 0x102 << 1;
    QTest::newRow("no version") << "/x/doc.pliv" << QByteArray("<Doc SubsetType=\"PLIV_\"/>")
                                << 16 << 0 << 16;
    QTest::newRow("unknown subset") << "/x/doc.pliv" << QByteArray("<Doc SubsetType=\"X\"/>")
                                    << 0 << 0 << -1;
    // The main part decides, whatever the file is called.
    QTest::newRow("not a pliv name") << "/x/doc.zoq"
                                     << QByteArray("<Doc SubsetType=\"PLIV_M\"/>") << 8 << 0
                                     << 8;
  }

  void detectsPlivDocumentType() {
    QFETCH(QString, file);
    QFETCH(QByteArray, main);
    QFETCH(int, subset);
    QFETCH(int, version);
    QFETCH(int, told_subset);
    fake_.AddPart(u"/__main.xml", FakePart{{0}, 1, 1, {}, false, main.toStdString()});
    UseFake();
    QVERIFY(window_->OpenPackage(file, false));
    QCOMPARE(window_->document()->subset_code(), subset);
    QCOMPARE(window_->document()->version_code(), version);
    QCOMPARE(fake_.document_subset, told_subset);
    if (told_subset >= 0) QCOMPARE(fake_.document_version, version);
    window_->ClosePackage();
    QCOMPARE(window_->document()->subset_code(), 0);
  }

  void dropsOnlyPackages() {
    QTemporaryDir dir;
    QVERIFY(QFile::copy(Corpus("v_history.zoq"), dir.filePath(QStringLiteral("b.ZOQ"))));
    QVERIFY(QFile::copy(Corpus("v_history.zoq"), dir.filePath(QStringLiteral(".zoq"))));
    const QString a_txt = dir.filePath(QStringLiteral("a.txt"));
    window_->DropFiles({a_txt});
    QVERIFY(!window_->document()->package());
    window_->DropFiles({dir.filePath(QStringLiteral(".zoq"))});
    QVERIFY(!window_->document()->package());
    window_->DropFiles({QStringLiteral("b.zoq")});  // no folder in the name
    QVERIFY(!window_->document()->package());

    // A real drop of two files opens the package among them.
    auto* data = new QMimeData;
    data->setUrls({QUrl::fromLocalFile(a_txt),
                   QUrl::fromLocalFile(dir.filePath(QStringLiteral("b.ZOQ")))});
    QVERIFY(ShowExposed(window_.get()));
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window_.get(), &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window_.get(), &drop);
    QTRY_VERIFY2(window_->document()->package(), qPrintable(messages_.LastText()));
    QCOMPARE(window_->document()->file_name(), QStringLiteral("b.ZOQ"));
    QCOMPARE(window_->document()->folder(), dir.path() + QLatin1Char('/'));
    QVERIFY(!window_->document()->read_only());
    delete data;
  }

  void closeAsksAboutRunningPrograms() {
    UseFake();
    QVERIFY(window_->OpenPackage(QStringLiteral("/x/a.zoq"), false));
    qint64 pid = 0;
    QVERIFY(QProcess::startDetached(QStringLiteral("sleep"), {QStringLiteral("30")}, QString(),
                                    &pid));
    window_->AddProcess(pid);
    window_->AddProcess(999999999);  // ended long ago: dropped silently
    messages_.answers = {QMessageBox::No};
    QVERIFY(!window_->ClosePackage());
    QVERIFY(window_->document()->package());
    QCOMPARE(messages_.shown.size(), 1);
    QCOMPARE(messages_.LastText(),
             QStringLiteral("存在临时文件正在被外部程序打开, 是否继续（可能遗留垃圾文件）?"));
    QCOMPARE(messages_.shown[0].caption, QStringLiteral("提示"));
    messages_.answers = {QMessageBox::Yes};
    QVERIFY(window_->ClosePackage());
    QVERIFY(!window_->document()->package());
    ::kill(static_cast<pid_t>(pid), SIGKILL);
  }

  void closeAsksToSaveModifiedPackage() {
    fake_.modified = true;
    UseFake();
    QVERIFY(window_->OpenPackage(QStringLiteral("/x/a.zoq"), false));
    messages_.answers = {QMessageBox::Cancel};
    QVERIFY(!window_->ClosePackage());
    QCOMPARE(messages_.LastText(), QStringLiteral("是否保存当前PLIV文件?"));
    QVERIFY(window_->document()->package());
    fake_.save_result = 5004;
    // The library's reason, then the question; No keeps the package.
    messages_.answers = {QMessageBox::Yes, QMessageBox::Ok, QMessageBox::No};
    QVERIFY(!window_->ClosePackage());
    QCOMPARE(fake_.saves, 1);
    QCOMPARE(messages_.shown[messages_.shown.size() - 2].text, QStringLiteral("ZOQ:保存包头失败(5004)"));
    QCOMPARE(messages_.LastText(), QStringLiteral("文件保存失败, 是否关闭文件?"));
    QCOMPARE(messages_.shown.last().caption, QStringLiteral("ZOQ Explorer"));
    fake_.save_result = 0;
    messages_.answers = {QMessageBox::Yes};
    QVERIFY(window_->ClosePackage());
    QCOMPARE(fake_.saves, 2);
  }

  void commandStates() {
    const CommandTable& c = CommandsOf(*window_);
    window_->UpdateCommands();
    QVERIFY(c.open->isEnabled());
    QVERIFY(!c.close->isEnabled());
    QVERIFY(!c.statistics->isEnabled());
    QVERIFY(c.history->isEnabled());
    QVERIFY(!c.help->isEnabled());
    QVERIFY(!c.select_all->isEnabled());
    QCOMPARE(c.open->shortcut(), QKeySequence(QStringLiteral("Ctrl+O")));
    QCOMPARE(c.close->shortcut(), QKeySequence(QStringLiteral("Ctrl+W")));
    window_->OnClose();
    QCOMPARE(messages_.LastText(), QStringLiteral("文件未打开"));
    QVERIFY(window_->OpenPackage(Corpus("v_history.zoq"), false));
    QVERIFY(c.close->isEnabled());
    QVERIFY(c.statistics->isEnabled());
    QVERIFY(!c.select_all->isEnabled());  // the list is shown, not the text view
    window_->ShowView(CZOQEDlg::View::kText);
    QVERIFY(c.select_all->isEnabled());
    QVERIFY(c.copy->isEnabled());
    window_->ResetInfoPanel();
    QCOMPARE(window_->current_view(), CZOQEDlg::View::kList);
    // Ctrl+W closes through the accelerator.
    QVERIFY(ShowExposed(window_.get()));
    QTest::keyClick(window_.get(), Qt::Key_W, Qt::ControlModifier);
    QVERIFY(!window_->document()->package());
    // Keys go to the control that uses them. Escape in the filter box
    // clears it and, in an empty box, does nothing; Enter filters at once.
    fake_.modified = true;
    fake_.folders = {u"/f/"};
    fake_.AddPart(u"/f/p.txt", FakePart{{0}, 1, 1, {}, false, {}});
    UseFake();
    QVERIFY(window_->OpenPackage(QStringLiteral("/x/a.zoq"), false));
    QStringList viewed;
    window_->SetPartViewer([&viewed](const QString& path, int, bool read_only, bool, int) {
      viewed << path + (read_only ? QStringLiteral(" r") : QStringLiteral(" w"));
      return true;
    });
    const qsizetype shown_before = messages_.shown.size();
    QLineEdit* filter = window_->findChild<QLineEdit*>(QStringLiteral("treeFilter"));
    filter->setFocus();
    QTest::keyClicks(filter, QStringLiteral("p.t"));
    QTest::keyClick(filter, Qt::Key_Return);
    QCOMPARE(window_->tree_view()->model()->rowCount(window_->tree_view()->model()->index(0, 0)),
             1);
    QTest::keyClick(filter, Qt::Key_Escape);
    QVERIFY(filter->text().isEmpty());
    QTest::keyClick(filter, Qt::Key_Escape);
    QVERIFY(window_->isVisible());
    QCOMPARE(messages_.shown.size(), shown_before);
    // Enter on a tree item opens it as a double-click would: a folder
    // opens and lists its children, a part is shown for editing.
    QTreeView* tree = window_->tree_view();
    tree->setFocus();
    const QModelIndex f = tree->model()->index(0, 0, tree->model()->index(0, 0));
    tree->setCurrentIndex(f);
    QTest::keyClick(tree, Qt::Key_Return);
    QVERIFY(tree->isExpanded(f));
    QCOMPARE(ListNames(*window_), (QStringList{"..", "p.txt"}));
    tree->setCurrentIndex(tree->model()->index(0, 0, f));
    QTest::keyClick(tree, Qt::Key_Enter, Qt::KeypadModifier);
    QCOMPARE(viewed, (QStringList{"/f/p.txt r", "/f/p.txt w"}));
    // Enter on a list row opens it too.
    tree->setCurrentIndex(f);
    window_->list_view()->setFocus();
    window_->list_view()->setCurrentIndex(window_->list_proxy()->index(1, 0));
    QTest::keyClick(window_->list_view(), Qt::Key_Return);
    QCOMPARE(viewed.last(), QStringLiteral("/f/p.txt w"));
    QVERIFY(window_->isVisible());
    // Elsewhere Escape and Enter end the window like Exit, unless the close
    // is cancelled.
    messages_.answers = {QMessageBox::Cancel};
    QTest::keyClick(window_->info_panel(), Qt::Key_Escape);
    QCOMPARE(messages_.LastText(), QStringLiteral("是否保存当前PLIV文件?"));
    QVERIFY(window_->isVisible());
    QVERIFY(window_->document()->package());
    messages_.answers = {QMessageBox::No};
    QTest::keyClick(window_.get(), Qt::Key_Return);
    QVERIFY(!window_->isVisible());
    QVERIFY(!window_->document()->package());
  }

  void statisticsAndAboutCommands() {
    QVERIFY(window_->OpenPackage(Corpus("v_history.zoq"), false));
    QStringList rows;
    QString version;
    // The command runs the dialog modally; read it and close it from inside.
    QTimer::singleShot(0, this, [&rows] {
      auto* dialog = qobject_cast<CZOQEInfoDlg*>(QApplication::activeModalWidget());
      if (!dialog) return;
      for (int i = 0; i < dialog->list()->topLevelItemCount(); ++i) {
        QTreeWidgetItem* row = dialog->list()->topLevelItem(i);
        rows << row->text(1) + QLatin1Char('|') + row->text(2);
      }
      dialog->findChild<QPushButton*>(QStringLiteral("closeButton"))->click();
    });
    CommandsOf(*window_).statistics->trigger();
    // Folders "/" and "dir" (size 0) and four .TXT parts of 911+9+6+3 bytes.
    QCOMPARE(rows, (QStringList{"4|929", "2|0"}));
    QTimer::singleShot(0, this, [&version] {
      QWidget* dialog = QApplication::activeModalWidget();
      if (!dialog) return;
      version = dialog->findChild<QLabel*>(QStringLiteral("versionText"))->text();
      dialog->close();
    });
    CommandsOf(*window_).about->trigger();
    QVERIFY(version.contains(QStringLiteral("0.1.0")));
  }

  void infoPanelLayout() {
    InfoPanel* info = window_->info_panel();
    for (int i = 0; i < 9; ++i) {
      window_->AddInfoPair(QStringLiteral("value %1").arg(i), QStringLiteral("label %1").arg(i));
    }
    QCOMPARE(info->count(), 8);  // the ninth pair is dropped
    QCOMPARE(info->LabelText(0), QStringLiteral("label 0 : "));
    // Pairs 0 and 1 share column 0; pair 2 starts the next column.
    QCOMPARE(info->label_widget(1)->x(), info->label_widget(0)->x());
    QVERIFY(info->label_widget(1)->y() > info->label_widget(0)->y());
    QCOMPARE(info->label_widget(2)->y(), info->label_widget(0)->y());
    QCOMPARE(info->label_widget(2)->x(),
             info->value_widget(0)->geometry().right() + 1 + 3);
    QCOMPARE(info->value_widget(0)->x(), info->label_widget(0)->geometry().right() + 1);
    QCOMPARE(info->label_widget(0)->palette().color(QPalette::WindowText), QColor(90, 90, 90));
    window_->ResetInfoPanel();
    QCOMPARE(info->count(), 0);
    QCOMPARE(info->label_widget(2)->width(), 1);

    // Names are shown as they are, never read as markup: in the strip, in
    // a notice and in the tree's tooltip.
    const QString markup = QStringLiteral("<b>x</b><img src=\"y.png\">");
    auto shown_text = [](QLabel* label) {
      label->setSelection(0, static_cast<int>(label->text().size()));
      return label->selectedText();
    };
    window_->AddInfoPair(markup, QStringLiteral("名称"));
    QCOMPARE(shown_text(info->value_widget(0)), markup);
    window_->ShowNotice(markup);
    QCOMPARE(shown_text(window_->findChild<QLabel*>(QStringLiteral("noticeText"))), markup);
    fake_.AddPart(u"/<img src=y.png>", FakePart{{0}, 1, 1, {}, false, {}});
    UseFake();
    QVERIFY(window_->OpenPackage(QStringLiteral("/x/f.zoq"), true));
    const QString tip = window_->tree_model()
                            ->IndexOf(zoqe_test::Child(window_->tree_model()->root(),
                                                       QStringLiteral("<img src=y.png>")))
                            .data(Qt::ToolTipRole)
                            .toString();
    QTextDocument tip_document;
    tip_document.setHtml(tip);
    QCOMPARE(tip_document.toPlainText(), QStringLiteral("<img src=y.png>"));
  }

  void splitterKeepsTwentyPixels() {
    window_->resize(600, 400);
    QVERIFY(ShowExposed(window_.get()));
    QSplitter* splitter = window_->findChild<QSplitter*>(QStringLiteral("splitter"));
    const int total = splitter->sizes().value(0) + splitter->sizes().value(1);
    splitter->setSizes({0, total});
    QCOMPARE(splitter->sizes().value(0), 20);
    splitter->setSizes({total, 0});
    QCOMPARE(splitter->sizes().value(1), 20);
  }

 private:
  void UseFake() {
    FakePackage* package = &fake_;
    window_->document()->SetContainerFactory([package](const zoq::ContainerOptions&, zoq::Container** out) {
      if (package->create_result != 0) return package->create_result;
      *out = new zoqe_test::FakeContainer(package);
      return 0;
    });
  }

  QTemporaryDir temp_;
  MessageRecorder messages_;  // answers in place of message boxes; reset for each test
  std::unique_ptr<CZOQEDlg> window_;
  FakePackage fake_;
};

QTEST_MAIN(AppWindowTest)
#include "main_window_test.moc"
