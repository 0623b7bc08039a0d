// Shared helpers of the export tests: packages written through the
// library, a fake container whose parts can be extracted (and made to
// fail), files read back, and answering the target folder dialog.
#pragma once

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QString>
#include <QTimer>

#include <chrono>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "app/export/folder_dialog.h"
#include "fake_container.h"
#include "window_test_util.h"
#include "zoq/container.h"

namespace export_test {

struct PartSpec {
  std::u16string path;
  QByteArray content;
  std::vector<int> codes;  // ECS codes; 128 uses kKey
};

inline const uint8_t kKey[16] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};

// Writes a one-revision package at `file`; returns whether it worked.
inline bool WritePackage(const QString& file, const std::vector<PartSpec>& parts) {
  auto container = zoqe_test::NewPackage(QFileInfo(file).absolutePath(), file);
  if (!container) return false;
  static const zoq::KeyInfo key{kKey, 16};
  for (const PartSpec& part : parts) {
    std::vector<zoq::EcsCodeArg> codes;
    for (int code : part.codes) codes.push_back({code, code == zoq::kEcsAdm ? &key : nullptr});
    if (zoqe_test::PutPart(container.get(), part.path, part.content, codes) != 0) return false;
  }
  return container->Save(zoq::kSaveIncremental, false) == 0;
}

// Whether `folder` holds a.txt of the history corpus package exactly as it
// stood at version 2 (which differs in length from the newest).
inline bool WrittenAtVersion2(zoq::Container* package, const QString& folder) {
  QByteArray expected;
  QByteArray newest;
  return zoqe_test::ReadWholePart(package, u"/a.txt", 2, nullptr, &expected) &&
         zoqe_test::ReadWholePart(package, u"/a.txt", 0, nullptr, &newest) &&
         newest.size() != expected.size() && zoqe_test::ReadFile(folder + QStringLiteral("/a.txt")) == expected;
}

// Every entry below `folder`, relative, with "/" after folders, sorted.
inline QStringList Listing(const QString& folder) {
  QStringList names;
  QDir dir(folder);
  const auto filters = QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System;
  for (const QFileInfo& info : dir.entryInfoList(filters, QDir::Name)) {
    if (info.isDir() && !info.isSymLink()) {
      names << info.fileName() + QLatin1Char('/');
      for (const QString& below : Listing(info.filePath())) {
        names << info.fileName() + QLatin1Char('/') + below;
      }
    } else {
      names << info.fileName();
    }
  }
  return names;
}

// A fake package whose parts can be read (export) and extracted (the part
// viewer); paths in `failing` answer 5066 instead. Records every read and
// extraction asked for (export reads on one thread of its own: look at the
// records once it is over).
class ExtractingContainer : public zoqe_test::FakeContainer {
 public:
  explicit ExtractingContainer(zoqe_test::FakePackage* package)
      : FakeContainer(package), package_(package) {}

  zoq::Status OpenPart(const std::u16string& path, zoq::Stream** out, int revision_limit,
                       const zoq::DecodeOptions* options, bool keep) override {
    *out = nullptr;
    const zoq::Status code = Ask(path, revision_limit, options);
    return code != 0 ? code : FakeContainer::OpenPart(path, out, revision_limit, options, keep);
  }

  zoq::Status ExtractPart(const std::u16string& path, std::string* target, int revision_limit,
                          const zoq::DecodeOptions* options) override {
    const int code = Ask(path, revision_limit, options);
    if (code != 0) return code;
    QFile file(QFile::decodeName(QByteArray::fromStdString(*target)));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return 5066;
    const std::string& content = package_->parts.find(path)->second.content;
    file.write(content.data(), static_cast<qint64>(content.size()));
    return 0;
  }

  // Paths whose node has vanished from the container's tree.
  zoq::PathNode* GetNode(const std::u16string& path) override {
    return hidden.count(path) != 0 ? nullptr : FakeContainer::GetNode(path);
  }

  std::set<std::u16string> failing;
  std::set<std::u16string> hidden;
  std::chrono::milliseconds delay{0};  // each part takes this long to open
  std::vector<std::u16string> extracted;
  std::vector<int> limits;
  std::vector<int> codes;

 private:
  // Records the request; 0 when the part can be handed out.
  int Ask(const std::u16string& path, int revision_limit, const zoq::DecodeOptions* options) {
    std::this_thread::sleep_for(delay);
    extracted.push_back(path);
    limits.push_back(revision_limit);
    codes.push_back(options ? options->code : -1);
    if (package_->parts.count(path) == 0) return zoq::kNoSuchNode;
    return failing.count(path) != 0 ? 5066 : 0;
  }

  zoqe_test::FakePackage* package_;
};

// Answers the next target folder dialog of `owner`: `answer` sees it (and
// may edit its line); it is then accepted, or rejected when `answer`
// returns false. Returns the timer that waits for the dialog.
inline QTimer* AnswerSelectDir(QWidget* owner, std::function<bool(zoqe::CSelectDir*)> answer) {
  auto* timer = new QTimer(owner);
  timer->setInterval(0);
  QObject::connect(timer, &QTimer::timeout, timer, [timer, owner, answer] {
    auto* dialog = owner->findChild<zoqe::CSelectDir*>();
    if (dialog == nullptr || !dialog->isVisible()) return;
    timer->stop();
    timer->deleteLater();
    if (answer(dialog)) {
      dialog->accept();
    } else {
      dialog->reject();
    }
  });
  timer->start();
  return timer;
}

// Accepts the next target folder dialog with `path` in its line.
inline void ChooseFolder(QWidget* owner, const QString& path) {
  AnswerSelectDir(owner, [path](zoqe::CSelectDir* dialog) {
    dialog->path_edit()->setText(path);
    return true;
  });
}

}  // namespace export_test
