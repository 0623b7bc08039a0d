// Searching the decoded content of every part of the open package for a
// regular expression, line by line as zoq grep does (PCRE2, SXC as XML with
// one element per line, binary content skipped), on a thread of its own:
// the window takes what was found so far while the search goes on, and may
// cancel it at any time.
#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/history/owned_key.h"
#include "zoq/container.h"
#include "zoq/line_search.h"

namespace zoqe {

struct SearchHit {
  QString path;
  int64_t line = 0;  // 1-based; 0 for a part that could not be searched
  QString text;      // the line, cut to kShownLine characters; or why it failed
  int code = 0;      // the failure's code, for a part that could not be searched
};

struct SearchProgress {
  int64_t parts_done = 0;
  int64_t parts_total = 0;
  int64_t hits = 0;
  bool finished = false;
  bool cut_short = false;  // stopped at kMaxHits
};

class PackageSearch {
 public:
  static constexpr int kShownLine = 400;
  static constexpr int64_t kMaxHits = 20000;

  // Searches every part of `package` as it is open (a copy of `key`, which
  // may be null, decodes encrypted parts). The package must stay open until
  // the search is destroyed, which cancels it and waits for its thread.
  PackageSearch(zoq::Container* package, std::shared_ptr<const zoq::LinePattern> pattern,
                const zoq::KeyInfo* key);
  ~PackageSearch();
  PackageSearch(const PackageSearch&) = delete;
  PackageSearch& operator=(const PackageSearch&) = delete;

  void Cancel() { cancel_ = true; }
  // The hits found since the last call, and how far the search is.
  std::vector<SearchHit> TakeHits(SearchProgress* progress);

 private:
  void Run();
  void SearchPart(const std::u16string& path, const zoq::DecodeOptions& options);
  void Add(SearchHit hit);

  zoq::Container* package_;
  std::shared_ptr<const zoq::LinePattern> pattern_;
  OwnedKey key_;
  std::atomic<bool> cancel_{false};
  std::mutex mutex_;
  std::vector<SearchHit> pending_;
  SearchProgress progress_;
  std::thread thread_;
};

}  // namespace zoqe
