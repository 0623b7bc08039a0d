// The export engine on its own: names and planted links that must never
// lead outside the chosen folder, parts whose decoding fails, the order and
// stop rule inside folders, history versions, and the target folder rules.
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

#include "app/export/export_folder.h"
#include "app/export/export_job.h"
#include "app/export/folder_dialog.h"
#include "export_test_util.h"
#include "file_size_limit.h"

using namespace zoqe;
using export_test::ExtractingContainer;
using export_test::Listing;
using export_test::ReadAll;
using zoqe_test::Corpus;
using zoqe_test::FakePackage;
using zoqe_test::FakePart;
using zoq::test::FileSizeLimit;

namespace {

FakePart Content(const char* text) {
  FakePart part;
  part.revisions = {0};
  part.content = text;
  part.size = static_cast<int64_t>(part.content.size());
  return part;
}

std::string Native(const QString& path) { return QFile::encodeName(path).toStdString(); }

ExportFolder OpenFolder(const QString& path) {
  ExportFolder folder;
  ExportFolder::Open(Native(path), &folder);
  return folder;
}

}  // namespace

class ExportJobTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void init() {
    temp_ = std::make_unique<QTemporaryDir>();
    QVERIFY(temp_->isValid());
    QVERIFY(QDir(temp_->path()).mkpath(QStringLiteral("target")));
    QVERIFY(QDir(temp_->path()).mkpath(QStringLiteral("outside")));
    target_ = temp_->path() + QStringLiteral("/target");
    outside_ = temp_->path() + QStringLiteral("/outside");
  }

  void hostileNamesNeverLeaveTheFolder() {
    FakePackage package;
    package.AddPart(u"/ok.txt", Content("ok"));
    ExtractingContainer container(&package);
    QCOMPARE(container.OpenFile("", true), 0);
    zoq::PathNode* root = container.GetNode(u"/");
    // Names a package reader should never hand out, planted in the tree.
    std::vector<zoq::PathNode*> hostile;
    for (const std::u16string& name : {std::u16string(u".."), std::u16string(u"."),
                                       std::u16string(u"../outside/x"), std::u16string(u"a\\b"),
                                       std::u16string(u"")}) {
      zoq::PathNode* node = nullptr;
      root->AddPartChild(name, &node);
      if (node) hostile.push_back(node);
    }
    zoq::PathNode* parent = nullptr;
    root->AddFolderChild(u"sub", &parent);
    zoq::PathNode* climbing_folder = nullptr;
    parent->AddFolderChild(u"..", &climbing_folder);

    for (bool raw : {false, true}) {
      ExportSettings settings;
      settings.raw = raw;
      ExportJob job(&container, settings);
      const ExportFolder folder = OpenFolder(target_);
      for (zoq::PathNode* node : hostile) {
        QVERIFY2(!job.Export(node, folder, true), "a hostile part was exported");
      }
      // A folder named ".." (below a safe folder) is refused as well.
      QVERIFY(!job.Export(climbing_folder, folder, true));
      QVERIFY(job.Export(container.GetNode(u"/ok.txt"), folder, true));
      QCOMPARE(job.parts_written(), int64_t{1});
    }
    // Only ok.txt was ever extracted, and nothing appeared beside the target.
    for (const std::u16string& path : container.extracted) QVERIFY(path == u"/ok.txt");
    QCOMPARE(Listing(target_), (QStringList{"ok.txt", "ok.txt.zoqf"}));
    QCOMPARE(Listing(outside_), QStringList());
    QCOMPARE(Listing(temp_->path()),
             (QStringList{"outside/", "target/", "target/ok.txt", "target/ok.txt.zoqf"}));
  }

  void plantedLinksAreRefused() {
    FakePackage package;
    package.folders = {u"/sub/"};
    package.AddPart(u"/sub/inner.txt", Content("inner"));
    package.AddPart(u"/page.xml", Content("<new/>"));
    package.AddPart(u"/dir.txt", Content("file"));
    ExtractingContainer container(&package);
    QCOMPARE(container.OpenFile("", true), 0);
    const QString victim = outside_ + QStringLiteral("/victim.xml");
    QVERIFY(export_test::WriteAll(victim, "<old/>"));
    QVERIFY(QFile::link(outside_, target_ + QStringLiteral("/sub")));
    QVERIFY(QFile::link(victim, target_ + QStringLiteral("/page.xml")));
    // A folder where a file goes is no place for it either.
    QVERIFY(QDir(target_).mkdir(QStringLiteral("dir.txt")));

    ExportJob job(&container, ExportSettings{});
    const ExportFolder folder = OpenFolder(target_);
    QVERIFY(!job.Export(container.GetNode(u"/sub/"), folder, true));
    QVERIFY(!job.Export(container.GetNode(u"/page.xml"), folder, true));
    QVERIFY(!job.Export(container.GetNode(u"/dir.txt"), folder, true));
    QCOMPARE(Listing(outside_), QStringList{"victim.xml"});
    QCOMPARE(ReadAll(victim), QByteArray("<old/>"));
    QVERIFY(QFileInfo(target_ + QStringLiteral("/page.xml")).isSymLink());
    // Nothing else is left behind, no hidden half-written file either.
    QCOMPARE(Listing(target_), (QStringList{"dir.txt/", "page.xml", "sub"}));
    QCOMPARE(job.parts_written(), int64_t{0});
    QCOMPARE(job.parts_failed(), int64_t{3});
  }

  void corruptPartIsAFailureAndLeavesNothing() {
    auto container = export_test::NewContainer(temp_->path());
    QVERIFY(container);
    QCOMPARE(container->OpenFile(Native(Corpus("v_damaged_deflate.zoq")), true), 0);
    ExportJob job(container.get(), ExportSettings{});
    const ExportFolder folder = OpenFolder(target_);
    // Decoding fails: no file appears, not even a partial one.
    QVERIFY(!job.Export(container->GetNode(u"/broken.xml"), folder, true));
    QVERIFY(job.last_code() != 0);
    QVERIFY(job.Export(container->GetNode(u"/fine.xml"), folder, true));
    QCOMPARE(Listing(target_), QStringList{"fine.xml"});
    QCOMPARE(QFileInfo(target_ + QStringLiteral("/fine.xml")).size(), qint64{2000});

    // As stored, the damaged part is whole.
    ExportSettings raw;
    raw.raw = true;
    ExportJob raw_job(container.get(), raw);
    QVERIFY(raw_job.Export(container->GetNode(u"/broken.xml"), folder, true));
    QCOMPARE(QFileInfo(target_ + QStringLiteral("/broken.xml.zoqf")).size(), qint64{6673});
  }

  void failedPartKeepsTheOlderFile() {
    FakePackage package;
    package.AddPart(u"/a.txt", Content("new"));
    ExtractingContainer container(&package);
    QCOMPARE(container.OpenFile("", true), 0);
    const QString old = target_ + QStringLiteral("/a.txt");
    QVERIFY(export_test::WriteAll(old, "old"));
    container.failing.insert(u"/a.txt");
    ExportJob job(&container, ExportSettings{});
    const ExportFolder folder = OpenFolder(target_);
    QVERIFY(!job.Export(container.GetNode(u"/a.txt"), folder, true));
    QCOMPARE(ReadAll(old), QByteArray("old"));
    container.failing.clear();
    QVERIFY(job.Export(container.GetNode(u"/a.txt"), folder, true));
    QCOMPARE(ReadAll(old), QByteArray("new"));
    QCOMPARE(Listing(target_), QStringList{"a.txt"});
  }

  void largePartIsWholeAndARefusedWriteLeavesNothing() {
    FakePackage package;
    // 2.5 MiB of varied text: several writes of the export's buffer.
    std::string big(5 << 19, 'x');
    for (size_t i = 0; i < big.size(); i += 4093) big[i] = static_cast<char>('a' + i % 26);
    FakePart part = Content("");
    part.content = big;
    part.size = static_cast<int64_t>(big.size());
    package.AddPart(u"/big.bin", part);
    ExtractingContainer container(&package);
    QCOMPARE(container.OpenFile("", true), 0);
    const QString old = target_ + QStringLiteral("/big.bin");
    QVERIFY(export_test::WriteAll(old, "old"));
    ExportJob job(&container, ExportSettings{});
    const ExportFolder folder = OpenFolder(target_);
    {
      // The system refuses to let files grow past 1 MiB: the write fails
      // partway through the part.
      FileSizeLimit limit(1 << 20);
      QVERIFY(!job.Export(container.GetNode(u"/big.bin"), folder, true));
    }
    QCOMPARE(job.last_code(), int{zoq::kTargetFileFailed});
    QCOMPARE(ReadAll(old), QByteArray("old"));
    QCOMPARE(Listing(target_), QStringList{"big.bin"});
    QVERIFY(job.Export(container.GetNode(u"/big.bin"), folder, true));
    QVERIFY(ReadAll(old) == QByteArray::fromStdString(big));
  }

  void folderOrderAndFirstFailureStopsTheFolder() {
    FakePackage package;
    package.folders = {u"/d/", u"/e/"};
    package.AddPart(u"/d/x.txt", Content("x"));
    package.AddPart(u"/d/bad.txt", Content("b"));
    package.AddPart(u"/d/y.txt", Content("y"));
    package.AddPart(u"/e/z.txt", Content("z"));
    ExtractingContainer container(&package);
    QCOMPARE(container.OpenFile("", true), 0);
    container.failing.insert(u"/d/bad.txt");
    ExportJob job(&container, ExportSettings{});
    const ExportFolder folder = OpenFolder(target_);
    QVERIFY(!job.Export(container.GetNode(u"/d/"), folder, true));
    QVERIFY(job.Export(container.GetNode(u"/e/"), folder, false));
    QCOMPARE(Listing(target_), (QStringList{"d/", "d/x.txt", "z.txt"}));
    QCOMPARE(container.extracted,
             (std::vector<std::u16string>{u"/d/x.txt", u"/d/bad.txt", u"/e/z.txt"}));
    // Decoded exports ask for everything undone.
    QCOMPARE(container.codes.front(), 255);
  }

  void historyVersionIsExtractedAtThatVersion() {
    auto container = export_test::NewContainer(temp_->path());
    QVERIFY(container);
    QCOMPARE(container->OpenFile(Native(Corpus("v_history.zoq")), true), 0);
    ExportSettings settings;
    settings.version = 2;
    ExportJob job(container.get(), settings);
    const ExportFolder folder = OpenFolder(target_);
    QVERIFY(job.Export(container->GetNode(u"/a.txt"), folder, true));
    QVERIFY(export_test::WrittenAtVersion2(container.get(), target_));

    // A whole folder at version 2 passes over parts that came later instead
    // of failing on them.
    ExportJob root_job(container.get(), settings);
    QVERIFY(QDir(target_).mkpath(QStringLiteral("v2")));
    QVERIFY2(root_job.Export(container->GetNode(u"/"), OpenFolder(target_ + "/v2"), false),
             qPrintable(QString::number(root_job.last_code())));
    QVERIFY(root_job.parts_written() > 0);
    QCOMPARE(root_job.parts_failed(), int64_t{0});
  }

  void measureCountsPartsAndStoredBytes() {
    FakePackage package;
    package.folders = {u"/d/"};
    FakePart big = Content("x");
    big.size = 1000;
    package.AddPart(u"/d/x.txt", big);
    package.AddPart(u"/d/y.txt", Content("yy"));
    package.AddPart(u"/z.txt", Content("zzz"));
    ExtractingContainer container(&package);
    QCOMPARE(container.OpenFile("", true), 0);
    ExportJob job(&container, ExportSettings{});
    const SelectionSize size = job.Measure({container.GetNode(u"/d/"), nullptr,
                                            container.GetNode(u"/z.txt")});
    QCOMPARE(size.parts, int64_t{3});
    QCOMPARE(size.bytes, int64_t{1005});

    // A stop asked for after the first part ends the export there.
    std::vector<int64_t> seen;
    job.set_progress([&seen](int64_t parts, int64_t bytes) {
      seen.push_back(parts);
      seen.push_back(bytes);
      return false;
    });
    QVERIFY(!job.Export(container.GetNode(u"/d/"), OpenFolder(target_), true));
    QVERIFY(job.cancelled());
    QCOMPARE(seen, (std::vector<int64_t>{1, 1000}));
    QCOMPARE(Listing(target_), (QStringList{"d/", "d/x.txt"}));
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
    QFile file(temp_->path() + QStringLiteral("/file"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QVERIFY(PrepareTargetFolder(file.fileName()).isEmpty());
    QVERIFY(PrepareTargetFolder(QString()).isEmpty());
  }

 private:
  std::unique_ptr<QTemporaryDir> temp_;
  QString target_;
  QString outside_;
};

QTEST_MAIN(ExportJobTest)
#include "export_job_test.moc"
