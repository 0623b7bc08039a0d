// An add of many files, run off the window's thread: the files are encoded
// on worker threads, several at once, and filed into the package in list
// order, so the tree lists them as planned. Before anything is stored every
// path is checked (a part below a part, a part where a folder stands, a
// path over the length limit); SXC parts are encoded first, so an XML file
// the schema refuses stops the add before anything is filed. A failure or
// a cancel later on takes back the parts filed by this add, so that either
// every file is stored or the package is left as it was: a new part is
// deleted again, a replaced part gets back the record it had (its saved
// record filed again as stored, or, when it held an unsaved change, that
// change kept aside before the add replaced it and filed again with the same
// codes, key and content).
#pragma once

#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/edit/add_plan.h"
#include "zoq/container.h"

namespace zoqe {

struct AddCodes {
  std::vector<zoq::EcsCodeArg> codes;      // for every part
  std::vector<zoq::EcsCodeArg> xml_codes;  // for .xml parts when `sxc_xml`
  bool sxc_xml = false;
};

class AddJob {
 public:
  struct Filed {
    QString part;
    bool replaced = false;  // the part existed before the add
  };

  // `key` (may be null) reads and encodes again ADM parts that held an
  // unsaved change when the add replaces them, and saved ADM content made
  // of several records, should the add be taken back; `workers` 0: one per
  // processor core.
  AddJob(zoq::Container* package, std::vector<AddItem> items, AddCodes codes,
         const zoq::KeyInfo* key, int workers);
  ~AddJob();  // cancels and waits
  AddJob(const AddJob&) = delete;
  AddJob& operator=(const AddJob&) = delete;

  // `finished` (may be empty) is called on the add's thread as it ends.
  void Start(std::function<void()> finished = {});
  // Runs on the calling thread (what Start runs on its own thread).
  void Run();
  bool finished() const { return finished_.load(); }
  void Wait();
  void Cancel() { cancel_.store(true); }

  // Progress, readable from any thread while the add runs.
  int files_done() const { return files_done_.load(); }
  int64_t bytes_done() const { return bytes_done_.load(); }
  int64_t total_bytes() const { return total_bytes_; }
  int file_count() const { return static_cast<int>(items_.size()); }

  // The outcome, once finished: 0 with every file filed; otherwise the
  // package holds none of them (cancelled() or the failure's code, with the
  // file or part it concerns).
  int code() const { return code_; }
  bool cancelled() const { return cancelled_; }
  const QString& failed_item() const { return failed_item_; }
  const std::vector<Filed>& filed() const { return filed_; }
  // Parts of a failed or cancelled add that could not be put back as they
  // were: they keep the add's content as an unsaved change.
  const QStringList& not_taken_back() const { return not_taken_back_; }

 private:
  int Check();
  int Fail(int code, const QString& item);
  // When `part` holds an unsaved change, encodes its current content again
  // with its codes into *out, for TakeBack; leaves *out empty when the
  // saved package holds its current record.
  int KeepUnsaved(const QString& part, std::unique_ptr<zoq::EncodedPart>* out, bool* skippable);
  void TakeBack();
  bool IsXml(const AddItem& item) const;

  zoq::Container* package_;
  std::vector<AddItem> items_;
  AddCodes codes_;
  const zoq::KeyInfo* key_;
  int workers_;
  int64_t total_bytes_ = 0;
  int saved_revisions_ = 0;
  std::vector<bool> existed_;
  std::thread thread_;
  std::atomic<bool> cancel_{false};
  std::atomic<bool> finished_{false};
  std::atomic<int> files_done_{0};
  std::atomic<int64_t> bytes_done_{0};
  int code_ = 0;
  bool cancelled_ = false;
  QString failed_item_;
  std::vector<Filed> filed_;
  // Aligned with filed_: what a replaced part held unsaved, and its
  // skippable flag.
  std::vector<std::unique_ptr<zoq::EncodedPart>> unsaved_;
  std::vector<bool> unsaved_skippable_;
  QStringList not_taken_back_;
};

}  // namespace zoqe
