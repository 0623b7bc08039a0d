// Editing packages through the real window: a new package filled by a drop,
// a part deleted and one renamed, saved and opened again; refused adds that
// leave the package as it was; a save that fails keeps the changes.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QMimeData>
#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QUrl>

#include <sys/stat.h>
#include <unistd.h>

#include <memory>

#include "app/application.h"
#include "app/edit/add_codes_dialog.h"
#include "app/edit/edit_commands.h"
#include "app/info_panel.h"
#include "app/main_window.h"
#include "message_recorder.h"
#include "window_test_util.h"
#include "zoq/container.h"

using namespace zoqe;
using zoqe_test::Child;
using zoqe_test::CommandsOf;
using zoqe_test::MessageRecorder;
using zoqe_test::PartBytes;
using zoqe_test::ReadFile;
using zoqe_test::WriteFile;

namespace {

bool Italic(const CZOQEDlg& window, const TreeItem* item) {
  const QModelIndex index = window.tree_model()->IndexOf(item);
  return index.data(Qt::FontRole).value<QFont>().italic();
}

}  // namespace

class EditWindowTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void initTestCase() { CZOQEApp::ConfigureEnvironment(); }

  void init() {
    messages_.Reset();
    temp_ = std::make_unique<QTemporaryDir>();
    window_ = std::make_unique<CZOQEDlg>(nullptr, temp_->path() + QLatin1Char('/'));
    coding_ = AddCodesDialog::kZip;
    sxc_ = false;
    subset_ = 0;
    window_->editor()->SetCodesAsker([this](AddCodes* codes) {
      *codes = MakeAddCodes(coding_, sxc_, window_->document()->key_info());
      return true;
    });
    window_->editor()->SetNewPackageAsker([this](EditCommands::NewPackageChoice* choice) {
      choice->path = temp_->filePath(QStringLiteral("new.zoq"));
      choice->subset = subset_;
      choice->version = subset_ != 0 ? 258 : 0;
      return true;
    });
  }

  void cleanup() { window_.reset(); }

  void createAddDeleteRenameSaveReopen() {
    messages_.default_answer = QMessageBox::Yes;
    const QString source = temp_->filePath(QStringLiteral("src"));
    WriteFile(source + QStringLiteral("/a.txt"), "alpha");
    WriteFile(source + QStringLiteral("/sub/b.txt"), QByteArray(5000, 'b'));
    WriteFile(source + QStringLiteral("/sub/c.txt"), "gamma");
    QVERIFY(QFile::link(source + QStringLiteral("/a.txt"), source + QStringLiteral("/link.txt")));
    QVERIFY(::mkfifo(QFile::encodeName(source + QStringLiteral("/pipe")).constData(), 0600) == 0);

    // A drop with no package open offers a new one and fills it.
    window_->DropFiles({source});
    PackageDocument* document = window_->document();
    QVERIFY2(document->is_open(), qPrintable(messages_.LastText()));
    QVERIFY(messages_.LastText().contains(QStringLiteral("link.txt")));
    QVERIFY(messages_.LastText().contains(QStringLiteral("pipe")));
    QCOMPARE(document->pending_count(), 3);
    TreeItem* src = Child(window_->tree_model()->root(), QStringLiteral("src"));
    QVERIFY(src && Italic(*window_, src));
    window_->SelectTreeItem(window_->tree_model()->root());
    zoqe_test::ExpectInfo(*window_->info_panel(), {{"未保存的更改", "共3个"}, {"版本数", "0"}});

    // The first save writes the file; the marks go.
    CommandsOf(*window_).save->trigger();
    QVERIFY2(QFile::exists(document->file_path()), qPrintable(messages_.LastText()));
    QCOMPARE(document->pending_count(), 0);
    QVERIFY(!Italic(*window_, Child(window_->tree_model()->root(), QStringLiteral("src"))));

    // A drop onto a folder item goes below it; a real drop event finds it.
    const QString more = temp_->filePath(QStringLiteral("more.txt"));
    WriteFile(more, "more");
    QVERIFY(zoqe_test::ShowExposed(window_.get()));
    TreeItem* sub = Child(Child(window_->tree_model()->root(), QStringLiteral("src")),
                          QStringLiteral("sub"));
    QVERIFY(sub);
    QTreeView* tree = window_->tree_view();
    window_->SelectTreeItem(sub);
    const QPoint at = tree->viewport()->mapTo(
        window_.get(), tree->visualRect(tree->currentIndex()).center());
    window_->SelectTreeItem(window_->tree_model()->root());
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(more)});
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window_.get(), &enter);
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window_.get(), &drop);
    QTRY_COMPARE(document->pending_count(), 1);
    zoq::Container* package = document->package();
    QCOMPARE(PartBytes(package, u"/src/sub/more.txt"), QByteArray("more"));

    // Delete asks with the count; rename is a new part and a deletion.
    window_->SelectTreeItem(Child(Child(window_->tree_model()->root(), QStringLiteral("src")),
                                  QStringLiteral("a.txt")));
    QVERIFY(window_->editor()->DeleteSelection());
    QCOMPARE(messages_.LastText(), QStringLiteral("确定要删除这1个文件吗?"));
    window_->SelectTreeItem(window_->tree_model()->root());
    window_->SelectTreeItem(zoqe_test::ItemAt(window_->tree_model()->root(),
                                              QStringLiteral("src/sub/b.txt")));
    window_->editor()->SetNameAsker([](const QString&, QString* name) {
      *name = QStringLiteral("renamed.txt");
      return true;
    });
    QVERIFY(window_->editor()->RenameSelection());
    QCOMPARE(window_->CurrentTreeItem()->name, QStringLiteral("sub"));  // the nearest left
    QVERIFY(window_->editor()->Save());

    // Opened again: one revision per save, content as added.
    const QString path = document->file_path();
    QVERIFY(window_->OpenPackage(path, false));
    package = document->package();
    QCOMPARE(package->GetRevisionCount(), 2);
    std::vector<std::u16string> parts;
    QCOMPARE(static_cast<int>(package->ListParts(u"/", &parts)), 0);
    QCOMPARE(parts, (std::vector<std::u16string>{u"/src/sub/c.txt", u"/src/sub/more.txt",
                                                 u"/src/sub/renamed.txt"}));
    QCOMPARE(PartBytes(package, u"/src/sub/renamed.txt"), QByteArray(5000, 'b'));
    zoq::PartInfo info;
    QCOMPARE(package->GetPartInfoByPath(&info, u"/src/sub/renamed.txt", 0), 0);
    QCOMPARE(info.code_count, 1);
    QCOMPARE(static_cast<int>(info.codes[0]), static_cast<int>(zoq::kEcsZip));
    // A folder's delete counts every part below it.
    window_->SelectTreeItem(Child(window_->tree_model()->root(), QStringLiteral("src")));
    QVERIFY(window_->editor()->DeleteSelection());
    QCOMPARE(messages_.LastText(), QStringLiteral("确定要删除这3个文件吗?"));
  }

  void refusedAddsChangeNothing() {
    messages_.default_answer = QMessageBox::Yes;
    const QString package_path = OpenCopy();
    const QByteArray before = ReadFile(package_path);
    PackageDocument* document = window_->document();
    auto refused = [&](const QStringList& paths, const QString& target, const QString& code) {
      QVERIFY(!window_->editor()->AddPaths(paths, target, false));
      QVERIFY2(messages_.LastText().contains(code), qPrintable(messages_.LastText()));
      QCOMPARE(messages_.shown.last().caption, QStringLiteral("错误"));
      QCOMPARE(document->pending_count(), 0);
      QVERIFY(!document->package()->IsModified());
    };
    // A folder named like a part: its files would go below a part.
    WriteFile(temp_->filePath(QStringLiteral("a.txt/x.txt")), "x");
    WriteFile(temp_->filePath(QStringLiteral("ok.txt")), "fine");
    refused({temp_->filePath(QStringLiteral("ok.txt")), temp_->filePath(QStringLiteral("a.txt"))},
            QStringLiteral("/"), QStringLiteral("(5051)"));
    QVERIFY(messages_.LastText().contains(QStringLiteral("添加路径节点失败")));
    // A path over the length limit.
    const QString long_name = QString(250, QLatin1Char('n'));
    WriteFile(temp_->filePath(QStringLiteral("deep/") + long_name), "x");
    refused({temp_->filePath(QStringLiteral("deep"))}, QStringLiteral("/dir/"),
            QStringLiteral("(5050)"));
    // ADM without a key.
    coding_ = AddCodesDialog::kAdm;
    refused({temp_->filePath(QStringLiteral("ok.txt"))}, QStringLiteral("/"), QStringLiteral("("));
    QCOMPARE(ReadFile(package_path), before);

    // XML the schema does not take, in a PLIV document: nothing is filed,
    // the files before it in the list included.
    subset_ = 16;
    sxc_ = true;
    coding_ = AddCodesDialog::kZip;
    QVERIFY(window_->editor()->NewPackage());
    QCOMPARE(document->pending_count(), 1);  // its main part
    WriteFile(temp_->filePath(QStringLiteral("xml/1.txt")), "first");
    WriteFile(temp_->filePath(QStringLiteral("xml/2.xml")), "<Unknown><broken></Unknown>");
    QVERIFY(!window_->editor()->AddPaths({temp_->filePath(QStringLiteral("xml"))},
                                         QStringLiteral("/"), false));
    QCOMPARE(messages_.shown.last().caption, QStringLiteral("错误"));
    QVERIFY(messages_.LastText().contains(QStringLiteral("2.xml")));
    QCOMPARE(document->package()->GetPathKind(u"/xml/1.txt"), zoq::kPathNotFound);
    QCOMPARE(document->pending_count(), 1);
    // Closed without saving, a new package leaves no file.
    const QString made = document->file_path();
    QVERIFY(QFile::exists(made));
    messages_.answers = {QMessageBox::No};
    QVERIFY(window_->ClosePackage());
    QVERIFY(!QFile::exists(made));
  }

  void largeAddShowsProgressAndFailureOrCancelTakesItBack() {
    messages_.default_answer = QMessageBox::Yes;
    const QString source = temp_->filePath(QStringLiteral("many"));
    for (int i = 0; i < 400; ++i) {
      WriteFile(source + QStringLiteral("/f%1.txt").arg(i, 3, 10, QLatin1Char('0')),
                QByteArray(20000 + i, static_cast<char>('a' + i % 26)));
    }
    QVERIFY(window_->editor()->NewPackage());
    // The first add runs to its end with the dialog up.
    int shown = 0;
    QTimer watcher;
    watcher.setInterval(0);
    connect(&watcher, &QTimer::timeout, this, [&] {
      auto* progress = window_->findChild<QProgressDialog*>(QStringLiteral("addProgress"));
      if (progress && progress->isVisible()) ++shown;
    });
    watcher.start();
    QVERIFY(window_->editor()->AddPaths({source}, QStringLiteral("/"), true));
    watcher.stop();
    QVERIFY(shown > 0);
    QCOMPARE(messages_.LastText(), QStringLiteral("确定要将400个文件(7.7MB)添加到/吗?"));
    zoq::Container* package = window_->document()->package();
    std::vector<std::u16string> parts;
    QCOMPARE(static_cast<int>(package->ListParts(u"/", &parts)), 0);
    QCOMPARE(parts.size(), size_t{400});
    QCOMPARE(PartBytes(package, u"/many/f399.txt"),
             QByteArray(20399, static_cast<char>('a' + 399 % 26)));
    QVERIFY(window_->editor()->Save());

    // An unsaved change of f001 (stored plain, not compressed) that the
    // next add replaces.
    const QString single = temp_->filePath(QStringLiteral("single/f001.txt"));
    WriteFile(single, "unsaved change");
    coding_ = AddCodesDialog::kNone;
    QVERIFY(window_->editor()->AddPaths({single}, QStringLiteral("/many/"), false));
    zoq::PartInfo before;
    QCOMPARE(static_cast<int>(package->GetPartInfoByPath(&before, u"/many/f001.txt", 0)), 0);
    QCOMPARE(before.code_count, 0);

    // A file that goes away once the add is planned fails it after earlier
    // files were filed: they are taken back, replaced parts get back the
    // record they had, saved (f000) or unsaved (f001), codes and all.
    WriteFile(source + QStringLiteral("/f000.txt"), "changed");
    window_->editor()->SetCodesAsker([&](AddCodes* codes) {
      QFile::remove(source + QStringLiteral("/f300.txt"));
      *codes = MakeAddCodes(AddCodesDialog::kZip, false, nullptr);
      return true;
    });
    QVERIFY(!window_->editor()->AddPaths({source}, QStringLiteral("/"), false));
    QVERIFY2(messages_.LastText().contains(QStringLiteral("f300.txt")), qPrintable(messages_.LastText()));
    QCOMPARE(PartBytes(package, u"/many/f000.txt"), QByteArray(20000, 'a'));
    QCOMPARE(PartBytes(package, u"/many/f001.txt"), QByteArray("unsaved change"));
    zoq::PartInfo after;
    QCOMPARE(static_cast<int>(package->GetPartInfoByPath(&after, u"/many/f001.txt", 0)), 0);
    QCOMPARE(after.code_count, 0);
    QCOMPARE(after.size, before.size);
    QCOMPARE(window_->document()->pending_count(), 1);

    // Cancelled from the dialog: nothing is added.
    connect(&watcher, &QTimer::timeout, this, [&] {
      auto* progress = window_->findChild<QProgressDialog*>(QStringLiteral("addProgress"));
      if (progress && progress->isVisible()) progress->cancel();
    });
    watcher.start();
    QVERIFY(!window_->editor()->AddPaths({source}, QStringLiteral("/again/"), false));
    watcher.stop();
    QCOMPARE(messages_.LastText(), QStringLiteral("添加已取消, 包未改变。"));
    QCOMPARE(package->GetPathKind(u"/again/"), zoq::kPathNotFound);
    QCOMPARE(window_->document()->pending_count(), 1);
  }

  void namesTakenMeanwhileAreNotWrittenOver() {
    const QString first = temp_->filePath(QStringLiteral("new.zoq"));
    const QString second = temp_->filePath(QStringLiteral("new2.zoq"));
    // Another program makes a file at each first name after it was asked.
    int asked = 0;
    window_->editor()->SetNewPackageAsker([&](EditCommands::NewPackageChoice* choice) {
      choice->path = asked++ == 0 ? first : second;
      if (asked == 1) WriteFile(first, "theirs");
      return true;
    });
    QVERIFY(window_->editor()->NewPackage());
    QCOMPARE(asked, 2);
    QVERIFY(messages_.shown.first().text.contains(first));
    QCOMPARE(ReadFile(first), QByteArray("theirs"));
    QCOMPARE(window_->document()->file_path(), second);

    // Save As: "No" keeps that file and asks again; the copy goes to the
    // second name.
    const QString copy = temp_->filePath(QStringLiteral("copy.zoq"));
    const QString copy2 = temp_->filePath(QStringLiteral("copy2.zoq"));
    asked = 0;
    window_->editor()->SetSaveAsAsker([&](QString* path) {
      *path = asked++ == 0 ? copy : copy2;
      if (asked == 1) WriteFile(copy, "theirs");
      return true;
    });
    messages_.answers = {QMessageBox::No};
    QVERIFY(window_->editor()->SaveAs());
    QCOMPARE(asked, 2);
    QCOMPARE(ReadFile(copy), QByteArray("theirs"));
    QCOMPARE(window_->document()->file_path(), copy2);
    QVERIFY(QFileInfo(copy2).size() > 0);
  }

  void failedSaveKeepsChanges() {
    messages_.default_answer = QMessageBox::Yes;
    const QString package_path = OpenCopy();
    WriteFile(temp_->filePath(QStringLiteral("new.txt")), "new");
    QVERIFY(window_->editor()->AddPaths({temp_->filePath(QStringLiteral("new.txt"))},
                                        QStringLiteral("/"), false));
    // Another program saves a revision meanwhile.
    {
      zoq::ContainerOptions options;
      options.resource_dir = QFile::encodeName(temp_->path()).toStdString();
      zoq::Container* raw = nullptr;
      QCOMPARE(zoq::CreateContainer(&options, &raw), 0);
      std::unique_ptr<zoq::Container> other(raw);
      QCOMPARE(other->OpenFile(QFile::encodeName(package_path).toStdString(), false), 0);
      QCOMPARE(other->AddPartFromMemory(u"/other.txt", "o", 1, nullptr, 0, false), 0);
      QCOMPARE(other->Save(zoq::kSaveIncremental, false), 0);
    }
    const QByteArray theirs = ReadFile(package_path);
    QVERIFY(!window_->editor()->Save());
    QVERIFY2(messages_.LastText().contains(QStringLiteral("(5073)")), qPrintable(messages_.LastText()));
    QCOMPARE(ReadFile(package_path), theirs);
    QCOMPARE(window_->document()->pending_count(), 1);
    QVERIFY(Italic(*window_, Child(window_->tree_model()->root(), QStringLiteral("new.txt"))));
    // Closing asks; a refused save again keeps the window's package when
    // the user says so.
    messages_.answers = {QMessageBox::Yes, QMessageBox::Ok, QMessageBox::No};
    QVERIFY(!window_->ClosePackage());
    QVERIFY(messages_.shown[messages_.shown.size() - 2].text.contains(QStringLiteral("(5073)")));
    QVERIFY(window_->document()->is_open());
    QCOMPARE(window_->document()->pending_count(), 1);
  }

 private:
  // Opens a writable copy of a corpus package; returns its path.
  QString OpenCopy() {
    const QString path = temp_->filePath(QStringLiteral("p.zoq"));
    QFile::copy(zoqe_test::Corpus("v_history.zoq"), path);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    if (!window_->OpenPackage(path, false)) QTest::qFail("cannot open the copy", __FILE__, __LINE__);
    return path;
  }

  std::unique_ptr<QTemporaryDir> temp_;
  MessageRecorder messages_;  // answers in place of message boxes; reset for each test
  std::unique_ptr<CZOQEDlg> window_;
  AddCodesDialog::Coding coding_ = AddCodesDialog::kZip;
  bool sxc_ = false;
  int subset_ = 0;
};

QTEST_MAIN(EditWindowTest)
#include "edit_window_test.moc"
