// The export commands driven through the real window: the questions and
// outcome messages, the proposed target and its folder rules, rows against
// tree items, raw and decoded files, history versions, the progress
// dialog's cancel button, the files a drag out of the list carries, and
// names planted in a fake tree that the extraction must refuse.
#include <QAction>
#include <QItemSelectionModel>
#include <QMimeData>
#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <QUrl>

#include <sys/stat.h>

#include "app/export/drag_out.h"
#include "app/export/export_command.h"
#include "app/export/folder_dialog.h"
#include "app/item_sort_proxy.h"
#include "app/package_tree_model.h"
#include "app/application.h"
#include "app/main_window.h"
#include "export_test_util.h"
#include "message_recorder.h"
#include "window_test_util.h"
#include "zoq/extract_job.h"

using namespace zoqe;
using export_test::ChooseFolder;
using export_test::Listing;
using zoqe_test::Child;
using zoqe_test::CommandsOf;
using zoqe_test::FakePackage;
using zoqe_test::FakePart;
using zoqe_test::MessageRecorder;
using zoqe_test::ReadFile;
using zoqe_test::ReadWholePart;

namespace {

QByteArray Text(int repeat, const char* line) {
  QByteArray bytes;
  for (int i = 0; i < repeat; ++i) bytes += QByteArray(line) + QByteArray::number(i) + '\n';
  return bytes;
}

}  // namespace

class ExportWindowTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void initTestCase() { CZOQEApp::ConfigureEnvironment(); }

  void init() {
    messages_.Reset();
    temp_ = std::make_unique<QTemporaryDir>();
    QVERIFY(temp_->isValid());
    QVERIFY(QDir(temp_->path()).mkpath(QStringLiteral("work")));
    QVERIFY(QDir(temp_->path()).mkpath(QStringLiteral("d")));
    window_ = std::make_unique<CZOQEDlg>(nullptr, temp_->path() + QStringLiteral("/work/"));
    InstallExport(window_.get());
    page_ = Text(200, "<line>text of the page</line>");
    package_ = temp_->path() + QStringLiteral("/d/a.zoq");
    QVERIFY(export_test::WritePackage(
        package_, {{u"/page.xml", page_, {2}},
                   {u"/plain.txt", "plain", {}},
                   {u"/enc1.txt", "secret one", {128}},
                   {u"/enc2.txt", "secret two", {2, 128}},
                   {u"/enc3.txt", "secret three", {128}},
                   {u"/dir/c.txt", "c", {}},
                   {u"/dir/sub/d.txt", "d", {2}}}));
  }

  void cleanup() {
    window_.reset();
    fake_ = FakePackage();
  }

  void withoutPackageReportsNotOpen() {
    QVERIFY(!CommandsOf(*window_).export_files->isEnabled());
    RunExport(window_.get(), false);
    QCOMPARE(messages_.shown.size(), 1);
    messages_.ExpectLast(QStringLiteral("文件未打开"), QStringLiteral("错误"), QMessageBox::Critical);
  }

  void nothingSelectedAsksAndNoWritesNothing() {
    QVERIFY(window_->OpenPackage(package_, true));
    QVERIFY(CommandsOf(*window_).export_files->isEnabled());
    QVERIFY(CommandsOf(*window_).export_raw->isEnabled());
    window_->tree_view()->setCurrentIndex(QModelIndex());
    QVERIFY(!window_->CurrentTreeItem());
    bool asked = false;
    QTimer* waiting = export_test::AnswerSelectDir(window_.get(), [&asked](CSelectDir*) {
      asked = true;
      return false;
    });
    messages_.answers = {QMessageBox::No};
    const QStringList before = Listing(temp_->path());
    RunExport(window_.get(), false);
    QCOMPARE(messages_.shown.size(), 1);
    QCOMPARE(messages_.shown[0].text, QStringLiteral("没有项目被选中,是否导出所有文件夹和文件?"));
    QCOMPARE(messages_.shown[0].caption, QStringLiteral("提示"));
    QCOMPARE(messages_.shown[0].buttons, QMessageBox::Yes | QMessageBox::No);
    QVERIFY(!asked);
    QCOMPARE(Listing(temp_->path()), before);
    delete waiting;

    // Yes exports everything from the root into the proposed folder
    // "<package folder>/a/", made for the purpose.
    QString proposed, title, browse;
    export_test::AnswerSelectDir(window_.get(), [&](CSelectDir* dialog) {
      proposed = dialog->path_edit()->text();
      title = dialog->windowTitle();
      browse = dialog->browse_button()->text();
      return true;
    });
    window_->document()->SetKey(QByteArray(reinterpret_cast<const char*>(export_test::kKey), 16));
    messages_.shown.clear();
    messages_.answers = {QMessageBox::Yes};
    RunExport(window_.get(), false);
    QCOMPARE(proposed, temp_->path() + QStringLiteral("/d/a/"));
    QCOMPARE(title, QStringLiteral("请选择目标文件夹"));
    QCOMPARE(browse, QStringLiteral("选择文件夹.."));
    messages_.ExpectLast(QStringLiteral("导出成功"), QStringLiteral("提示"), QMessageBox::NoIcon);
    QCOMPARE(Listing(temp_->path() + QStringLiteral("/d/a")),
             (QStringList{"dir/", "dir/c.txt", "dir/sub/", "dir/sub/d.txt", "enc1.txt",
                          "enc2.txt", "enc3.txt", "page.xml", "plain.txt"}));
    QCOMPARE(ReadFile(temp_->path() + QStringLiteral("/d/a/enc2.txt")), QByteArray("secret two"));
  }

  void rawWritesStoredBytesWithSuffix() {
    QVERIFY(window_->OpenPackage(package_, true));
    window_->SelectTreeItem(Child(window_->tree_model()->root(), QStringLiteral("page.xml")));
    const QString target = ExportInto(QStringLiteral("out"), true);
    QCOMPARE(messages_.LastText(), QStringLiteral("导出成功"));
    ChooseFolder(window_.get(), target + QLatin1Char('/'));
    RunExport(window_.get(), false);
    QCOMPARE(messages_.LastText(), QStringLiteral("导出成功"));
    QCOMPARE(Listing(target), (QStringList{"page.xml", "page.xml.zoqf"}));

    const zoq::DecodeOptions stored{0, nullptr};
    QByteArray expected;
    QVERIFY(ReadWholePart(window_->document()->package(), u"/page.xml", 0, &stored, &expected));
    QCOMPARE(ReadFile(target + QStringLiteral("/page.xml.zoqf")), expected);
    QVERIFY(expected.size() < page_.size());
    QCOMPARE(ReadFile(target + QStringLiteral("/page.xml")), page_);
  }

  void selectedRowsReportPartialAndTotalFailure() {
    QVERIFY(window_->OpenPackage(package_, true));
    // Without a key the encrypted parts cannot be extracted.
    SelectRows({"enc1.txt", "plain.txt", "enc2.txt"});
    const QString target = ExportInto(QStringLiteral("rows"));
    QCOMPARE(messages_.shown.size(), 1);
    messages_.ExpectLast(QStringLiteral("部分导出失败"), QStringLiteral("错误"), QMessageBox::Critical);
    QCOMPARE(Listing(target), QStringList{"plain.txt"});

    SelectRows({"enc1.txt", "enc2.txt", "enc3.txt"});
    ExportInto(QStringLiteral("rows"));
    QCOMPARE(messages_.shown.size(), 2);
    QCOMPARE(messages_.LastText(), QStringLiteral("导出失败"));

    // With the key they all decode.
    window_->document()->SetKey(QByteArray(reinterpret_cast<const char*>(export_test::kKey), 16));
    ExportInto(QStringLiteral("rows"));
    QCOMPARE(messages_.LastText(), QStringLiteral("导出成功"));
    QCOMPARE(ReadFile(target + QStringLiteral("/enc3.txt")), QByteArray("secret three"));

    // The ".." row is a failure, never the folder above.
    window_->SelectTreeItem(Child(window_->tree_model()->root(), QStringLiteral("dir")));
    SelectRows({"..", "c.txt"});
    const QString below = ExportInto(QStringLiteral("below"));
    QCOMPARE(messages_.LastText(), QStringLiteral("部分导出失败"));
    QCOMPARE(Listing(below), QStringList{"c.txt"});
  }

  void treeFolderExportsChildrenRowMakesFolder() {
    QVERIFY(window_->OpenPackage(package_, true));
    TreeItem* dir = Child(window_->tree_model()->root(), QStringLiteral("dir"));
    window_->SelectTreeItem(dir);
    window_->list_view()->clearSelection();
    const QString flat = ExportInto(QStringLiteral("flat"));
    QCOMPARE(messages_.LastText(), QStringLiteral("导出成功"));
    QCOMPARE(Listing(flat), (QStringList{"c.txt", "sub/", "sub/d.txt"}));

    window_->SelectTreeItem(window_->tree_model()->root());
    SelectRows({"dir"});
    const QString nested = ExportInto(QStringLiteral("nested"), true);
    QCOMPARE(messages_.LastText(), QStringLiteral("导出成功"));
    QCOMPARE(Listing(nested), (QStringList{"dir/", "dir/c.txt.zoqf", "dir/sub/",
                                           "dir/sub/d.txt.zoqf"}));
  }

  void damagedPartIsWrittenAndNamedInAWarning() {
    QVERIFY(window_->OpenPackage(zoqe_test::Corpus("v_bad_check_byte.zoq"), true));
    window_->SelectTreeItem(window_->tree_model()->root());
    window_->list_view()->clearSelection();
    const QString target = ExportInto(QStringLiteral("damaged"));
    QVERIFY(messages_.LastText().startsWith(QStringLiteral("导出完成\n")));
    QVERIFY(messages_.LastText().endsWith(QStringLiteral("\n/bad.txt")));
    QCOMPARE(messages_.shown.last().icon, QMessageBox::Warning);
    QCOMPARE(ReadFile(target + QStringLiteral("/bad.txt")).size(), 25);
  }

  void cancelledOrFailedTargetWritesNothing() {
    QVERIFY(window_->OpenPackage(package_, true));
    export_test::AnswerSelectDir(window_.get(), [](CSelectDir*) { return false; });
    RunExport(window_.get(), false);
    QVERIFY(messages_.shown.isEmpty());
    // A folder whose parent is missing cannot be made.
    ExportInto(QStringLiteral("no/such"));
    QCOMPARE(messages_.shown.size(), 1);
    QCOMPARE(messages_.LastText(), QStringLiteral("创建文件夹失败"));
    QCOMPARE(messages_.shown.last().icon, QMessageBox::Critical);
    QVERIFY(!QFileInfo::exists(temp_->path() + QStringLiteral("/no")));
    QVERIFY(!QFileInfo::exists(temp_->path() + QStringLiteral("/d/a")));
  }

  void historyVersionPartIsExtractedAtItsVersion() {
    QVERIFY(window_->OpenPackage(QStringLiteral(ZOQ_TEST_DATA_DIR "/package/v_history.zoq"), true));
    window_->OnToggleHistory();
    TreeItem* a_txt =
        Child(Child(Child(window_->tree_model()->history(), "2"), "/"), QStringLiteral("a.txt"));
    QVERIFY(a_txt);
    window_->SelectTreeItem(a_txt);
    const QString target = ExportInto(QStringLiteral("v2"));
    QCOMPARE(messages_.LastText(), QStringLiteral("导出成功"));
    QVERIFY(export_test::WrittenAtVersion2(window_->document()->package(), target));
    // A version's folder holds the parts deleted since (e.txt until 6).
    window_->SelectTreeItem(Child(Child(window_->tree_model()->history(), "5"), "/"));
    const QString v5 = ExportInto(QStringLiteral("v5"));
    QCOMPARE(messages_.LastText(), QStringLiteral("导出成功"));
    QCOMPARE(Listing(v5), (QStringList{"a.txt", "dir/", "dir/c.txt", "dir/d.txt", "e.txt"}));
    QCOMPARE(ReadFile(v5 + QStringLiteral("/e.txt")), QByteArray("E2;"));
  }

  void progressDialogCancelStopsAfterCurrentPart() {
    for (int i = 0; i < 150; ++i) {
      const std::string content = "part " + std::to_string(i);
      fake_.AddPart(u"/p" + QString::number(i).toStdU16String() + u".txt",
                    FakePart{{0}, static_cast<int64_t>(content.size()), 0, {}, false, content});
    }
    UseExtractingFake();
    QVERIFY(window_->OpenPackage(QStringLiteral("/x/big.zoq"), true));
    export_test::ExtractingContainer* container = extracting_;
    container->extracted.clear();  // the document type's look at /__main.xml
    // Parts take a while, so that the window redraws its progress (and takes
    // the click) while they are written.
    container->delay = std::chrono::milliseconds(5);
    const QString target = temp_->path() + QStringLiteral("/many");
    ChooseFolder(window_.get(), target);
    int shown_value = -1;
    QTimer canceller;
    canceller.setInterval(0);
    connect(&canceller, &QTimer::timeout, this, [&] {
      auto* progress = window_->findChild<QProgressDialog*>(QStringLiteral("exportProgress"));
      if (!progress || !progress->isVisible() || progress->value() <= 0) return;
      shown_value = progress->value();
      canceller.stop();
      QPushButton* cancel = progress->findChild<QPushButton*>();
      QVERIFY(cancel);
      QCOMPARE(cancel->text(), QStringLiteral("取消"));
      cancel->click();
    });
    canceller.start();
    RunExport(window_.get(), false);
    QVERIFY(shown_value > 0);
    // The part being written when the click came is finished; no other starts.
    const QStringList written = Listing(target);
    QVERIFY(!written.isEmpty() && written.size() < 150);
    QCOMPARE(static_cast<qsizetype>(container->extracted.size()), written.size());
    QCOMPARE(messages_.LastText(), QStringLiteral("导出已取消, 已导出%1个文件").arg(written.size()));
    QCOMPARE(messages_.shown.last().icon, QMessageBox::Information);
    QVERIFY(!window_->findChild<QProgressDialog*>(QStringLiteral("exportProgress")));
  }

  // Names a package reader should never hand out, planted in a fake tree:
  // the extraction refuses them without reading the part, in both kinds of
  // export, and writes nothing beside the target.
  void hostileNamesNeverLeaveTheFolder() {
    fake_.AddPart(u"/ok.txt", FakePart{{0}, 2, 0, {}, false, "ok"});
    export_test::ExtractingContainer container(&fake_);
    QCOMPARE(container.OpenFile("", true), 0);
    zoq::PathNode* root = container.GetNode(u"/");
    std::vector<zoq::ExtractItem> items;
    for (const char16_t* name : {u"..", u".", u"../outside/x", u"a\\b", u""}) {
      zoq::PathNode* node = nullptr;
      root->AddPartChild(name, &node).IgnoreError();  // a name refused leaves no node
      if (node) items.push_back({node, true});
    }
    zoq::PathNode* parent = nullptr;
    QCOMPARE(root->AddFolderChild(u"sub", &parent), 0);
    zoq::PathNode* climbing = nullptr;
    QCOMPARE(parent->AddFolderChild(u"..", &climbing), 0);
    items.push_back({climbing, true});
    items.push_back({container.GetNode(u"/ok.txt"), true});
    const QString target = temp_->path() + QStringLiteral("/target");
    QVERIFY(QDir().mkpath(target));
    zoq::OutputFolder folder;
    QCOMPARE(zoq::OutputFolder::Open(QFile::encodeName(target).toStdString(), &folder), 0);
    for (bool raw : {false, true}) {
      zoq::ExtractSettings settings;
      settings.raw = raw;
      zoq::ExtractJob job(&container, settings);
      QCOMPARE(job.Run(items, folder), items.size() - 1);
      QVERIFY(!job.item_failed(items.size() - 1));
    }
    QCOMPARE(container.extracted, (std::vector<std::u16string>{u"/ok.txt", u"/ok.txt"}));
    QCOMPARE(Listing(temp_->path()),
             (QStringList{"d/", "d/a.zoq", "target/", "target/ok.txt", "target/ok.txt.zoqf",
                          "work/"}));
  }

  void targetFolderRules() {
    QCOMPARE(DefaultFolderName(QStringLiteral("a.zoq")), QStringLiteral("a"));
    QCOMPARE(DefaultFolderName(QStringLiteral("a.b.pliv")), QStringLiteral("a.b"));
    QCOMPARE(DefaultFolderName(QStringLiteral(".zoq")), QStringLiteral(".zoq"));
    QCOMPARE(DefaultFolderName(QStringLiteral("plain")), QStringLiteral("plain"));
    QCOMPARE(ProposedTarget(QStringLiteral("/d/"), QStringLiteral("a")), QStringLiteral("/d/a/"));
    QCOMPARE(ProposedTarget(QStringLiteral("/d"), QString()), QStringLiteral("/d/"));

    const QString made = temp_->path() + QStringLiteral("/made");
    QCOMPARE(PrepareTargetFolder(made + QLatin1Char('/')), made + QLatin1Char('/'));
    QVERIFY(QFileInfo(made).isDir());
    QCOMPARE(PrepareTargetFolder(made), made + QLatin1Char('/'));  // existing is fine
    // One level only; a file is no folder; empty text fails.
    QVERIFY(PrepareTargetFolder(temp_->path() + QStringLiteral("/no/such")).isEmpty());
    QVERIFY(!QFileInfo(temp_->path() + QStringLiteral("/no")).exists());
    QVERIFY(PrepareTargetFolder(package_).isEmpty());
    QVERIFY(PrepareTargetFolder(QString()).isEmpty());
  }

  void vanishedNodeIsNoSuccess() {
    fake_.AddPart(u"/gone.txt", FakePart{{0}, 4, 4, {}, false, "gone"});
    fake_.AddPart(u"/kept.txt", FakePart{{0}, 4, 4, {}, false, "kept"});
    UseExtractingFake();
    QVERIFY(window_->OpenPackage(QStringLiteral("/x/small.zoq"), true));
    export_test::ExtractingContainer* container = extracting_;
    QVERIFY(container);
    window_->SelectTreeItem(Child(window_->tree_model()->root(), QStringLiteral("gone.txt")));
    container->hidden.insert(u"/gone.txt");
    container->extracted.clear();  // the part viewer's own extraction
    const QString target = ExportInto(QStringLiteral("vanished"), true);
    QCOMPARE(messages_.LastText(), QStringLiteral("导出失败"));
    QVERIFY(container->extracted.empty());

    // A raw export asks for the stored bytes, at the tree item's version.
    window_->SelectTreeItem(Child(window_->tree_model()->root(), QStringLiteral("kept.txt")));
    container->codes.clear();
    container->limits.clear();
    ExportInto(QStringLiteral("vanished"), true);
    QCOMPARE(messages_.LastText(), QStringLiteral("导出成功"));
    QCOMPARE(container->codes, std::vector<int>{0});
    QCOMPARE(container->limits, std::vector<int>{0});
    QCOMPARE(Listing(target), QStringList{"kept.txt.zoqf"});
  }

  void dragOutCarriesWrittenFiles() {
    QVERIFY(window_->OpenPackage(package_, true));
    auto* drag = window_->findChild<DragOut*>();
    QVERIFY(drag);
    QVERIFY(zoqe_test::ShowExposed(window_.get()));
    // ".." never goes along.
    window_->SelectTreeItem(Child(window_->tree_model()->root(), QStringLiteral("dir")));
    SelectRows({"..", "c.txt"});
    QCOMPARE(drag->ListDragEntries().size(), size_t{1});
    window_->SelectTreeItem(window_->tree_model()->root());
    SelectRows({"dir", "page.xml", "enc1.txt"});
    const std::vector<ExportEntry> entries = drag->ListDragEntries();
    QCOMPARE(entries.size(), size_t{3});
    int failed = -1;
    std::unique_ptr<QMimeData> data(drag->PrepareDrag(entries, 0, &failed));
    QVERIFY(data);
    QCOMPARE(failed, 1);  // enc1.txt needs a key
    QVERIFY(data->hasFormat(QStringLiteral("text/uri-list")));
    const QList<QUrl> urls = data->urls();
    QCOMPARE(urls.size(), 2);
    QCOMPARE(drag->folders().size(), 1);
    const QString folder = drag->folders().first();
    QVERIFY(folder.startsWith(temp_->path() + QStringLiteral("/work/")));
    struct stat st;
    QCOMPARE(::stat(QFile::encodeName(folder).constData(), &st), 0);
    QCOMPARE(st.st_mode & 0777, 0700u);
    QCOMPARE(urls[0].toLocalFile(), folder + QStringLiteral("/dir"));
    QCOMPARE(urls[1].toLocalFile(), folder + QStringLiteral("/page.xml"));
    QCOMPARE(ReadFile(urls[1].toLocalFile()), page_);
    QCOMPARE(Listing(folder), (QStringList{"dir/", "dir/c.txt", "dir/sub/", "dir/sub/d.txt",
                                           "page.xml"}));

    // A tree item drags as itself; the root does not drag.
    QTreeView* tree = window_->tree_view();
    const QModelIndex root = tree->model()->index(0, 0);
    int version = -1;
    QVERIFY(drag->TreeDragEntries(tree->visualRect(root).center(), &version).empty());
    QModelIndex dir;
    for (int r = 0; r < tree->model()->rowCount(root); ++r) {
      if (tree->model()->index(r, 0, root).data().toString() == QLatin1String("dir")) {
        dir = tree->model()->index(r, 0, root);
      }
    }
    QVERIFY(dir.isValid());
    tree->scrollTo(dir);
    const std::vector<ExportEntry> tree_entries =
        drag->TreeDragEntries(tree->visualRect(dir).center(), &version);
    QCOMPARE(tree_entries.size(), size_t{1});
    QCOMPARE(tree_entries[0].name, QStringLiteral("dir"));
    QVERIFY(tree_entries[0].node && tree_entries[0].node->IsFolder());
    QCOMPARE(version, 0);

    // The drag folders go with the window.
    window_.reset();
    QVERIFY(!QFileInfo::exists(folder));
  }

 private:
  // Makes the window open fake_ through an ExtractingContainer, which
  // extracting_ then names.
  void UseExtractingFake() {
    extracting_ = nullptr;
    window_->document()->SetContainerFactory([this](const zoq::ContainerOptions&,
                                                    zoq::Container** out) {
      extracting_ = new export_test::ExtractingContainer(&fake_);
      *out = extracting_;
      return 0;
    });
  }

  // Exports the selection (`raw`: the stored bytes) into temp/NAME, chosen
  // in the target dialog; that folder's path.
  QString ExportInto(const QString& name, bool raw = false) {
    const QString target = temp_->path() + QLatin1Char('/') + name;
    ChooseFolder(window_.get(), target);
    RunExport(window_.get(), raw);
    return target;
  }

  void SelectRows(const QStringList& names) {
    QItemSelectionModel* selection = window_->list_view()->selectionModel();
    selection->clearSelection();
    const QAbstractItemModel* model = window_->list_view()->model();
    for (const QString& name : names) {
      bool found = false;
      for (int r = 0; r < model->rowCount(); ++r) {
        if (model->index(r, 0).data().toString() == name) {
          selection->select(model->index(r, 0),
                            QItemSelectionModel::Select | QItemSelectionModel::Rows);
          found = true;
        }
      }
      QVERIFY2(found, qPrintable(name));
    }
  }

  std::unique_ptr<QTemporaryDir> temp_;
  FakePackage fake_;  // outlives the window that may hold a container over it
  export_test::ExtractingContainer* extracting_ = nullptr;  // owned by the window's document
  MessageRecorder messages_;  // answers in place of message boxes; reset for each test
  std::unique_ptr<CZOQEDlg> window_;
  QString package_;
  QByteArray page_;
};

QTEST_MAIN(ExportWindowTest)
#include "export_window_test.moc"
