#include "app/history/package_search.h"

#include <new>
#include <string_view>

#include "zoq/part_text.h"

namespace zoqe {

PackageSearch::PackageSearch(zoq::Container* package,
                             std::shared_ptr<const zoq::LinePattern> pattern,
                             const zoq::KeyInfo* key)
    : package_(package), pattern_(std::move(pattern)), key_(key) {
  thread_ = std::thread([this] { Run(); });
}

PackageSearch::~PackageSearch() {
  cancel_ = true;
  thread_.join();
}

std::vector<SearchHit> PackageSearch::TakeHits(SearchProgress* progress) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<SearchHit> hits;
  hits.swap(pending_);
  *progress = progress_;
  return hits;
}

void PackageSearch::Add(SearchHit hit) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (hit.code == 0) ++progress_.hits;
  pending_.push_back(std::move(hit));
}

void PackageSearch::Run() {
  std::vector<std::u16string> parts;
  const int code = package_->ListParts(u"/", &parts);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    progress_.parts_total = static_cast<int64_t>(parts.size());
  }
  if (code != zoq::kOk) Add({QStringLiteral("/"), 0, QString(), code});
  zoq::DecodeOptions options;
  options.key = key_.get();
  for (const std::u16string& path : parts) {
    if (cancel_) break;
    try {
      SearchPart(path, options);
    } catch (const std::bad_alloc&) {
      Add({QString::fromStdU16String(path), 0, QStringLiteral("out of memory"), zoq::kFailed});
    }
    std::lock_guard<std::mutex> lock(mutex_);
    ++progress_.parts_done;
    if (progress_.hits >= kMaxHits) {
      progress_.cut_short = true;
      break;
    }
  }
  std::lock_guard<std::mutex> lock(mutex_);
  progress_.finished = true;
}

void PackageSearch::SearchPart(const std::u16string& path, const zoq::DecodeOptions& options) {
  const QString shown_path = QString::fromStdU16String(path);
  zoq::PartTextReader reader;
  int code = reader.Open(package_, path, 0, &options);
  zoq::LineSearch search(*pattern_, false);
  int64_t found = 0;
  const zoq::LineHit hit = [&](int64_t number, std::string_view line) {
    if (found >= kMaxHits) return;
    ++found;
    const qsizetype size = static_cast<qsizetype>(std::min<size_t>(line.size(), kShownLine * 4));
    QString text = QString::fromUtf8(line.data(), size);
    if (text.size() > kShownLine) text.truncate(kShownLine);
    Add({shown_path, number, text, 0});
  };
  std::string piece;
  bool first = true;
  while (code == zoq::kOk && !cancel_ && found < kMaxHits) {
    code = reader.Read(&piece);
    if (code != zoq::kOk || piece.empty()) break;
    if (first && reader.binary()) return;  // binary content is not searched
    first = false;
    code = search.Feed(piece.data(), piece.size(), hit);
  }
  if (code == zoq::kOk && !cancel_) code = search.Finish(hit);
  if (code != zoq::kOk) {
    Add({shown_path, 0, QString::fromStdString(search.error()), code});
  }
}

}  // namespace zoqe
