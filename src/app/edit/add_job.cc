#include "app/edit/add_job.h"

#include <QFile>
#include <QSet>

#include <algorithm>

#include "zoq/ordered_work.h"

namespace zoqe {

namespace {

// Package paths are shorter than this many UTF-16 code units.
constexpr qsizetype kPathLimit = 260;
// Encoded parts waiting to be filed stay below this many bytes (plus one
// part per worker).
constexpr int64_t kEncodedBytesAhead = 64 << 20;

struct Encoded {
  int code = 0;
  std::unique_ptr<zoq::EncodedPart> part;
};

}  // namespace

AddJob::AddJob(zoq::Container* package, std::vector<AddItem> items, AddCodes codes,
               const zoq::KeyInfo* key, int workers)
    : package_(package), items_(std::move(items)), codes_(std::move(codes)), key_(key) {
  if (workers <= 0) workers = static_cast<int>(std::thread::hardware_concurrency());
  workers_ = std::clamp(workers, 1, 32);
  for (const AddItem& item : items_) total_bytes_ += item.size;
  // Unsaved changes sit in one working revision after the saved ones.
  saved_revisions_ = package_->GetRevisionCount() - (package_->IsModified() ? 1 : 0);
}

AddJob::~AddJob() {
  Cancel();
  Wait();
}

void AddJob::Start(std::function<void()> finished) {
  thread_ = std::thread([this, finished = std::move(finished)] {
    Run();
    if (finished) finished();
  });
}

void AddJob::Wait() {
  if (thread_.joinable()) thread_.join();
}

bool AddJob::IsXml(const AddItem& item) const {
  return codes_.sxc_xml && item.part.endsWith(QLatin1String(".xml"), Qt::CaseInsensitive);
}

int AddJob::Fail(int code, const QString& item) {
  code_ = code;
  failed_item_ = item;
  return code;
}

int AddJob::Check() {
  // Folder paths ("/a/") the add makes or runs through, and the parts it
  // stores; a path may not be both.
  QSet<QString> folders;
  QSet<QString> parts;
  existed_.assign(items_.size(), false);
  for (size_t i = 0; i < items_.size(); ++i) {
    const QString& part = items_[i].part;
    if (part.size() >= kPathLimit) return Fail(zoq::kIllegalPath, part);
    if (parts.contains(part) || folders.contains(part + QLatin1Char('/'))) {
      return Fail(zoq::kAddNodeFailed, part);
    }
    parts.insert(part);
    const int kind = package_->GetPathKind(part.toStdU16String());
    if (kind == zoq::kPathFolder) return Fail(zoq::kAddNodeFailed, part);
    existed_[i] = kind == zoq::kPathPart;
    for (qsizetype slash = part.lastIndexOf(QLatin1Char('/')); slash > 0;
         slash = part.lastIndexOf(QLatin1Char('/'), slash - 1)) {
      const QString folder = part.left(slash + 1);
      if (folders.contains(folder)) break;
      // A part already stands where a folder of this path would go.
      if (parts.contains(folder.chopped(1)) ||
          package_->GetPathKind(folder.chopped(1).toStdU16String()) == zoq::kPathPart) {
        return Fail(zoq::kAddNodeFailed, part);
      }
      folders.insert(folder);
    }
  }
  return 0;
}

void AddJob::Run() {
  struct Finish {
    std::atomic<bool>* flag;
    ~Finish() { flag->store(true); }
  } finish{&finished_};
  if (Check() != 0) return;

  const auto args = [](const std::vector<zoq::EcsCodeArg>& list) {
    return list.empty() ? nullptr : list.data();
  };
  // SXC parts first: a file the schema refuses ends the add before anything
  // is filed.
  std::vector<std::unique_ptr<zoq::EncodedPart>> early(items_.size());
  for (size_t i = 0; i < items_.size(); ++i) {
    if (!IsXml(items_[i])) continue;
    if (cancel_.load()) {
      cancelled_ = true;
      return;
    }
    const int code = package_->EncodePartFromFile(
        QFile::encodeName(items_[i].file).toStdString(), args(codes_.xml_codes),
        static_cast<int>(codes_.xml_codes.size()), &early[i]);
    if (code != 0) {
      Fail(code, items_[i].file);
      return;
    }
  }

  {
    zoq::OrderedWork<Encoded> encoding(
        items_.size(), workers_, 4 * static_cast<size_t>(workers_), kEncodedBytesAhead,
        [&](size_t i) {
          Encoded encoded;
          if (early[i] || cancel_.load()) return encoded;
          encoded.code = package_->EncodePartFromFile(
              QFile::encodeName(items_[i].file).toStdString(), args(codes_.codes),
              static_cast<int>(codes_.codes.size()), &encoded.part);
          return encoded;
        },
        [](const Encoded& encoded) { return encoded.part ? encoded.part->stored_size() : 0; });
    for (size_t i = 0; i < items_.size(); ++i) {
      Encoded encoded;
      encoding.TakeNext(&encoded);
      if (cancel_.load()) {
        cancelled_ = true;
        break;
      }
      zoq::EncodedPart* part = early[i] ? early[i].get() : encoded.part.get();
      if (encoded.code != 0 || !part) {
        Fail(encoded.code != 0 ? encoded.code : zoq::kAddSourceFailed, items_[i].file);
        break;
      }
      std::unique_ptr<zoq::EncodedPart> unsaved;
      bool unsaved_skippable = false;
      int code = existed_[i] ? KeepUnsaved(items_[i].part, &unsaved, &unsaved_skippable) : 0;
      if (code == 0) {
        code = package_->AddEncodedPart(items_[i].part.toStdU16String(), part, false, false);
      }
      early[i].reset();
      if (code != 0) {
        Fail(code, items_[i].part);
        break;
      }
      filed_.push_back({items_[i].part, existed_[i]});
      unsaved_.push_back(std::move(unsaved));
      unsaved_skippable_.push_back(unsaved_skippable);
      files_done_.fetch_add(1);
      bytes_done_.fetch_add(items_[i].size);
    }
  }
  if (code_ != 0 || cancelled_) TakeBack();
}

int AddJob::KeepUnsaved(const QString& part, std::unique_ptr<zoq::EncodedPart>* out,
                        bool* skippable) {
  const std::u16string path = part.toStdU16String();
  zoq::PartInfo info;
  int code = package_->GetPartInfoByPath(&info, path, 0);
  if (code != 0) return code;
  // Its newest record is saved: RestorePart brings that record back.
  if (info.revisions.empty() || info.revisions.front() < saved_revisions_) return 0;
  std::vector<zoq::EcsCodeArg> codes;
  for (int i = 0; i < info.code_count; ++i) {
    const int ecs = info.codes[static_cast<size_t>(i)];
    if (ecs == zoq::kEcsAdm && key_ == nullptr) return zoq::kSiteNoKey;
    codes.push_back({ecs, ecs == zoq::kEcsAdm ? key_ : nullptr});
  }
  zoq::DecodeOptions decode;
  decode.key = key_;
  zoq::Stream* content = nullptr;
  code = package_->OpenPart(path, &content, 0, &decode, false);
  if (code != 0) return code;
  code = package_->EncodePartFromStream(content, codes.empty() ? nullptr : codes.data(),
                                        static_cast<int>(codes.size()), out);
  // Read to its end by the encoding; its own result adds nothing.
  content->Release().IgnoreError();
  *skippable = info.skippable;
  return code;
}

void AddJob::TakeBack() {
  for (size_t i = filed_.size(); i-- > 0;) {
    const std::u16string path = filed_[i].part.toStdU16String();
    int code = 0;
    if (unsaved_[i]) {
      // The unsaved change it held, with its codes, key and content.
      code = package_->AddEncodedPart(path, unsaved_[i].get(), unsaved_skippable_[i], false);
    } else if (filed_[i].replaced) {
      // Its saved record again, as stored (or encoded again when the saved
      // content is made of several records).
      code = package_->RestorePart(path, saved_revisions_, key_);
    } else {
      // Added and deleted again: nothing of it is left to save.
      code = package_->DeletePart(path);
    }
    if (code != 0) not_taken_back_ << filed_[i].part;
  }
  filed_.clear();
  unsaved_.clear();
  unsaved_skippable_.clear();
}

}  // namespace zoqe
