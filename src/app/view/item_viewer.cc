#include "app/view/item_viewer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStackedWidget>
#include <QTemporaryFile>
#include <Qsci/qsciscintilla.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "app/app_language.h"
#include "app/app_text.h"
#include "app/info_panel.h"
#include "app/message_box.h"
#include "app/part_codes.h"
#include "app/view/key_dialog.h"
#include "app/view/picture_view.h"
#include "app/view/temp_target.h"
#include "app/view/view_mode.h"
#include "app/view/xml_check.h"
#include "app/view/xml_write_back.h"
#include "app/main_window.h"
#include "zoq/error_table.h"
#include "zoq/sxc_tools.h"

namespace zoqe {

namespace {

using Sci = QsciScintillaBase;

// A part read this fast is shown at once, without a notice in between.
constexpr auto kQuickShow = std::chrono::milliseconds(50);
// The text goes into the view this much at a time.
constexpr int64_t kFillPiece = 1 << 20;

QString OpenFailure() { return ItemViewer::tr("打开包内文件失败"); }

QString FileName(const QString& path) { return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1); }

// "(code)" with the library's text for it when it has one.
QString CodeText(int code) {
  QString text = QStringLiteral("(%1)").arg(code);
  if (const char* message = zoq::PackageErrorText(code, CurrentLanguage())) {
    QString words = QString::fromUtf8(message);
    if (words.startsWith(QLatin1String("ZOQ:"))) words = words.mid(4).trimmed();
    text = words + text;
  }
  return text;
}

// The byte offset in `text` where line `line` (from 1) starts.
int64_t LineOffset(const QByteArray& text, int64_t line) {
  int64_t at = 0;
  for (int64_t l = 1; l < line; ++l) {
    const qsizetype lf = text.indexOf('\n', at);
    if (lf < 0) break;
    at = lf + 1;
  }
  return at;
}

// Why the schema refuses `xml`, with the offset in `xml` of the line it
// names (-1 when it names none); empty when the reason cannot be had.
QString SchemaProblem(zoq::Container* package, const QByteArray& xml, const QString& folder,
                      int64_t* offset) {
  *offset = -1;
  std::string schema;
  if (package->GetSchemaPath(&schema)) return {};
  QTemporaryFile file(folder + QStringLiteral("~ZOQCheckXXXXXX.xml"));
  if (!file.open() || file.write(xml) != xml.size() || !file.flush()) return {};
  zoq::EncodeReport report;
  report.print_messages = false;
  std::vector<uint8_t> sxc;
  if (zoq::EncodeSxcFile(schema, QFile::encodeName(file.fileName()).toStdString(), &sxc, &report)) {
    return {};
  }
  QString reason = QString::fromStdString(report.reason);
  static const QRegularExpression kAt(QStringLiteral("^line (\\d+)(, column \\d+)?: "));
  const QRegularExpressionMatch at = kAt.match(reason);
  if (at.hasMatch()) {
    *offset = LineOffset(xml, at.captured(1).toLongLong());
    reason = reason.mid(at.capturedLength());
  }
  return reason;
}

// The UTF-8 offset in `utf8` of UTF-16 code unit `unit`.
int64_t Utf8OffsetOfUnit(const QByteArray& utf8, int64_t unit) {
  return QString::fromUtf8(utf8).left(unit).toUtf8().size();
}

}  // namespace

struct ItemViewer::Job {
  PartRequest request;
  bool report = false;
  TempTarget temp;
  std::atomic<bool> cancel{false};
  std::mutex mutex;
  std::condition_variable finished;
  bool done = false;     // guarded by mutex
  bool handled = false;  // UI thread only
  PreparedPart result;
};

qint64 StartWithDefaultProgram(const QString& file) {
  qint64 pid = 0;
  if (!QProcess::startDetached(QStringLiteral("xdg-open"), {file}, QString(), &pid)) return 0;
  return pid;
}

ItemViewer::ItemViewer(CZOQEDlg* window)
    : QObject(window), window_(window), launcher_(&StartWithDefaultProgram) {
  picture_ = new CPictureCtrl;
  window_->SetPictureView(picture_);
  // Two workers: a new part starts at once while a dropped one winds down.
  pool_.setMaxThreadCount(2);
  fill_timer_.setSingleShot(true);
  fill_timer_.setInterval(0);
  connect(&fill_timer_, &QTimer::timeout, this, &ItemViewer::FillNextPiece);

  QsciScintilla* view = window_->text_view();
  ConfigureTextView(view);
  connect(view, &QsciScintillaBase::SCN_MARGINCLICK, this, [this](int position, int, int margin) {
    if (margin == kFoldMargin) ToggleFoldAt(window_->text_view(), position);
  });
  // The view reports each change just before it is made (the only changes
  // it reports, see ConfigureTextView).
  connect(view, &QsciScintillaBase::SCN_MODIFIED, this,
          [this](int position, int type, const char*, int length, int, int, int, int, int, int) {
            if (!tracking_) return;
            if (type & Sci::SC_MOD_BEFOREINSERT) tracker_.Inserted(position, length);
            if (type & Sci::SC_MOD_BEFOREDELETE) tracker_.Deleted(position, length);
          });
  // Whatever else the window puts in the right pane ends what is being
  // read or filled in for it.
  connect(window_->right_pane(), &QStackedWidget::currentChanged, this, [this] {
    if (!switching_) Cancel();
  });
}

ItemViewer::~ItemViewer() { StopShowing(); }

bool ItemViewer::ShowPart(const QString& path, int version, bool read_only, bool report,
                          int mode) {
  if (!window_->SettleXmlEdit()) return false;
  if (!window_->document()->package() || window_->document()->work_folder().isEmpty()) return false;
  if (mode == kViewByExtension) mode = ViewModeForExtension(PathExtension(path).toUpper());
  if (!read_only && (mode != kViewXml || version != 0)) {
    ShowError(window_, tr("不支持编辑该文件。"));
    read_only = true;
  }
  PartRequest request;
  request.path = path;
  request.version = version;
  request.mode = mode;
  request.editable = !read_only;
  return Show(std::move(request), report || !read_only);
}

void ItemViewer::AddShownFacts() {
  if (facts_.size < 0) return;
  InfoPanel* strip = window_->info_panel();
  strip->SetPair(LongSizeText(facts_.size), tr("原始大小"));
  if (facts_.damaged) {
    // The content is shown as read; the strip says it cannot be trusted.
    strip->SetPair(tr("存储数据与校验字节不符(已损坏)"), tr("警告"));
  }
  if (facts_.picture.isValid()) {
    strip->SetPair(
        QStringLiteral("%1 × %2").arg(facts_.picture.width()).arg(facts_.picture.height()),
        tr("图片尺寸"));
  }
}

bool ItemViewer::RetranslateShown(const QString& notice) {
  if (!notice.isEmpty()) {
    if (notice != last_notice_) return false;
    Show(last_request_, false);
    return true;
  }
  AddShownFacts();
  return false;
}

bool ItemViewer::Show(PartRequest request, bool report) {
  Cancel();
  facts_ = ShownFacts();
  last_notice_.clear();
  last_request_ = request;
  const QString extension = PathExtension(request.path);
  if (request.mode == kViewByExtension) {
    if (report) ShowError(window_, OpenFailure());
    ShowNotice(extension.isEmpty()
                   ? tr("“%1”没有扩展名，无法确定查看方式。").arg(FileName(request.path))
                   : tr("无法按扩展名“.%1”确定查看方式。").arg(extension),
               kShowAsText | kShowAsHex | kOpenWithDefault);
    return false;
  }
  auto job = std::make_shared<Job>();
  if (!CreateTempTarget(window_->document()->work_folder(), extension, &job->temp)) {
    if (report) ShowError(window_, OpenFailure());
    ShowNotice(tr("无法在工作文件夹中创建临时文件。"), 0);
    return false;
  }
  last_target_ = job->temp.target;
  if (const zoq::KeyInfo* key = window_->document()->key_info()) {
    request.has_key = true;
    request.key = QByteArray(reinterpret_cast<const char*>(key->key), key->key_length);
  }
  job->request = std::move(request);
  job->report = report;
  job_ = job;
  started_.push_back(job);
  zoq::Container* package = window_->document()->package();
  pool_.start([this, job, package] {
    PreparedPart result = PreparePart(package, job->request, job->temp, job->cancel);
    {
      std::lock_guard<std::mutex> lock(job->mutex);
      job->result = std::move(result);
      job->done = true;
    }
    job->finished.notify_all();
    QMetaObject::invokeMethod(this, [this, job] { Finish(job); }, Qt::QueuedConnection);
  });
  {
    std::unique_lock<std::mutex> lock(job->mutex);
    job->finished.wait_for(lock, kQuickShow, [&] { return job->done; });
    if (job->done) {
      lock.unlock();
      return Finish(job);
    }
  }
  ShowNotice(tr("正在读取“%1”……").arg(FileName(job->request.path)), 0);
  return true;
}

bool ItemViewer::Finish(const std::shared_ptr<Job>& job) {
  if (job->handled) return false;
  {
    std::lock_guard<std::mutex> lock(job->mutex);
    if (!job->done) return false;
  }
  job->handled = true;
  started_.erase(std::remove(started_.begin(), started_.end(), job), started_.end());
  if (job != job_) {
    // Dropped: nothing of it is shown, nothing of it stays.
    if (job->result.target_kept) QFile::remove(job->temp.target);
    return false;
  }
  job_.reset();
  if (job->result.code != 0) {
    ShowFailure(*job);
    return false;
  }
  facts_ = ShownFacts{job->result.size, job->result.damaged, QSize()};
  AddShownFacts();
  if (job->result.target_kept) window_->AddTempFile(job->temp.target);
  return ShowPrepared(*job);
}

void ItemViewer::ShowFailure(const Job& job) {
  const PartRequest& request = job.request;
  const int code = job.result.code;
  if (code == zoq::kSiteNoKey) {
    ShowNotice(tr("“%1”已加密，需要输入密钥才能查看。").arg(FileName(request.path)),
               kEnterKey | kShowStoredHex);
  } else if (request.has_key && PartHasCode(request.path, request.version, zoq::kEcsAdm)) {
    ShowNotice(tr("无法解码“%1”%2：密钥可能不正确，或数据已损坏。")
                   .arg(FileName(request.path), CodeText(code)),
               kEnterKey | kShowStoredHex);
  } else {
    ShowNotice(tr("无法解码“%1”%2：数据可能已损坏。").arg(FileName(request.path), CodeText(code)),
               request.stored ? 0 : kShowStoredHex);
  }
  if (!job.report) return;
  ShowError(window_, OpenFailure() + QStringLiteral("(%1)").arg(code));
  if (code == zoq::kSiteNoKey && !key_retry_ &&
      ShowMessage(window_, tr("该文件已加密，是否现在输入密钥?"), tr("提示"),
                  QMessageBox::Question, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes &&
      EnterKey()) {
    key_retry_ = true;
    PartRequest again = request;
    again.has_key = false;
    Show(std::move(again), job.report);
    key_retry_ = false;
  }
}

bool ItemViewer::ShowPrepared(Job& job) {
  PreparedPart& result = job.result;
  const PartRequest& request = job.request;
  const QString name = FileName(request.path);
  switch (request.mode) {
    case kViewImage:
      if (result.image.isNull()) {
        ShowNotice(tr("无法显示图片“%1”：%2。").arg(name, result.image_problem),
                   kShowAsHex | kOpenWithDefault);
        return false;
      }
      facts_.picture = result.image.size();
      AddShownFacts();
      picture_->SetImage(std::move(result.image));
      SwitchView(static_cast<int>(CZOQEDlg::View::kPicture));
      return true;
    case kViewDefaultProgram: {
      const qint64 pid = launcher_ ? launcher_(job.temp.target) : 0;
      if (pid > 0) window_->AddProcess(pid);
      return true;
    }
    default:
      break;
  }
  if (result.too_big) {
    ShowNotice(tr("“%1”太大(%2)，无法在此显示。").arg(name, LongSizeText(result.size)),
               kOpenWithDefault);
    return false;
  }
  if (!result.shown) {
    const int64_t line = result.unclosed_comment_line;
    ShowNotice(tr("“%1”中的XML注释没有结束标记“-->”，无法按XML排版显示。").arg(name) +
                   (line > 0 ? tr("(注释从第%1行开始)").arg(line) : QString()),
               kShowAsText | kShowAsHex);
    return false;
  }
  const bool text_mode = request.mode != kViewHex;
  if (text_mode && !result.valid_utf8 && !request.force_text &&
      PartHasCode(request.path, request.version, zoq::kEcsAdm)) {
    ShowNotice(tr("“%1”解密后不是有效的UTF-8文本，密钥可能不正确。").arg(name),
               kEnterKey | kShowAsText | kShowAsHex);
    return false;
  }
  bool editable = request.mode == kViewXml && request.editable;
  if (editable && !result.exact) {
    editable = false;
    ShowMessage(window_,
                tr("该文件含有编辑后无法原样保存的内容(NUL字符或无效的UTF-16)，以只读方式打开。"),
                tr("提示"), QMessageBox::Information);
  }
  if (editable) {
    was_utf16_ = result.was_utf16;
    edit_source_ = std::move(result.source);
  }
  StartFill(std::move(*result.shown), request.mode == kViewXml ? TextKind::kXml : TextKind::kPlain,
            editable, request.path);
  return true;
}

void ItemViewer::StartFill(ShownText shown, TextKind kind, bool editable, const QString& path) {
  QsciScintilla* view = window_->text_view();
  window_->SetXmlEditable(false, QString());
  tracking_ = false;
  fill_.active = true;
  fill_.editable = editable;
  fill_.path = path;
  fill_.at = 0;
  fill_.shown = std::move(shown);
  BeginFill(view, kind, fill_.shown.text.size());
  picture_->Release();
  FillNextPiece();
  SwitchView(static_cast<int>(CZOQEDlg::View::kText));
}

void ItemViewer::FillNextPiece() {
  if (!fill_.active) return;
  const QByteArray& text = fill_.shown.text;
  const int64_t n = std::min<int64_t>(kFillPiece, text.size() - fill_.at);
  if (n > 0 || fill_.at == 0) AppendToView(window_->text_view(), QByteArrayView(text.constData() + fill_.at, n));
  fill_.at += n;
  if (fill_.at < text.size()) {
    fill_timer_.start();
  } else {
    EndFillNow();
  }
}

void ItemViewer::EndFillNow() {
  QsciScintilla* view = window_->text_view();
  EndFill(view, fill_.editable, fill_.shown.piece_starts);
  fill_.active = false;
  if (fill_.editable) {
    edit_shown_ = std::move(fill_.shown);
    tracker_.Reset(edit_shown_.text.size());
    tracking_ = true;
  } else {
    edit_shown_ = ShownText();
    edit_source_.clear();
  }
  fill_.shown = ShownText();
  window_->SetXmlEditable(fill_.editable, fill_.editable ? fill_.path : QString());
  window_->UpdateCommands();
}

void ItemViewer::Cancel() {
  if (job_) {
    job_->cancel = true;
    job_.reset();
  }
  if (fill_.active) {
    fill_timer_.stop();
    fill_.active = false;
    fill_.shown = ShownText();
  }
}

void ItemViewer::StopShowing() {
  Cancel();
  pool_.waitForDone();
  const std::vector<std::shared_ptr<Job>> left = started_;
  for (const auto& job : left) Finish(job);
}

bool ItemViewer::WaitUntilShown(int timeout_ms) {
  QElapsedTimer timer;
  timer.start();
  while (busy()) {
    if (timer.elapsed() > timeout_ms) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  return true;
}

QString ItemViewer::NoticeLabel(NoticeAction action) {
  switch (action) {
    case kEnterKey:
      return tr("输入密钥(&K)...");
    case kShowAsText:
      return tr("以文本方式查看(&T)");
    case kShowAsHex:
      return tr("以十六进制查看(&H)");
    case kShowStoredHex:
      return tr("以十六进制查看存储的数据(&H)");
    case kOpenWithDefault:
      return tr("用默认程序打开(&D)");
  }
  return {};
}

void ItemViewer::ShowNotice(const QString& why, int actions) {
  std::vector<NoticeOffer> offers;
  for (const NoticeAction action :
       {kEnterKey, kShowAsText, kShowAsHex, kShowStoredHex, kOpenWithDefault}) {
    if (actions & action) {
      offers.push_back({NoticeLabel(action), [this, action] { OnNoticeAction(action); }});
    }
  }
  picture_->Release();
  last_notice_ = why;
  switching_ = true;
  window_->ShowNotice(why, std::move(offers));
  switching_ = false;
}

void ItemViewer::SwitchView(int view) {
  switching_ = true;
  window_->ShowView(static_cast<CZOQEDlg::View>(view));
  switching_ = false;
}

void ItemViewer::OnNoticeAction(int action) {
  PartRequest request = last_request_;
  request.has_key = false;
  request.key.clear();
  request.editable = false;
  request.stored = false;
  request.force_text = false;
  switch (action) {
    case kEnterKey:
      if (!EnterKey()) return;
      request.editable = last_request_.editable;
      break;
    case kShowAsText:
      request.mode = kViewText;
      request.force_text = true;
      break;
    case kShowAsHex:
      request.mode = kViewHex;
      break;
    case kShowStoredHex:
      request.mode = kViewHex;
      request.stored = true;
      break;
    case kOpenWithDefault:
      request.mode = kViewDefaultProgram;
      break;
    default:
      return;
  }
  Show(std::move(request), false);
}

bool ItemViewer::PartHasCode(const QString& path, int version, int code) const {
  zoq::PartInfo info;
  if (window_->document()->package()->GetPartInfoByPath(&info, path.toStdU16String(), version) != 0) return false;
  const std::vector<int> codes = PartCodes(info);
  return std::find(codes.begin(), codes.end(), code) != codes.end();
}

QString ItemViewer::EditedLocation(int64_t edited_position) const {
  QsciScintilla* view = window_->text_view();
  const long position = static_cast<long>(edited_position);
  const long line = view->SendScintilla(Sci::SCI_LINEFROMPOSITION, position);
  const long start = view->SendScintilla(Sci::SCI_POSITIONFROMLINE, line);
  const long column = view->SendScintilla(Sci::SCI_COUNTCHARACTERS, start, position);
  view->SendScintilla(Sci::SCI_GOTOPOS, position);
  return tr("第%1行，第%2列").arg(line + 1).arg(column + 1);
}

bool ItemViewer::StoreXmlEdit(const QString& path) {
  zoq::Container* package = window_->document()->package();
  if (!package) return true;
  if (window_->document()->read_only()) {
    ShowError(window_, tr("文件以只读方式打开，无法保存XML编辑结果。"));
    return false;
  }
  QsciScintilla* view = window_->text_view();
  const QByteArray edited = TextViewBytes(view);
  EditedPositions positions;
  const QByteArray text = ApplyShownEdits(edit_source_, edit_shown_, edited, tracker_.spans(), &positions);
  const QByteArray content = EditedTextBytes(text, was_utf16_);
  // What does not parse is not stored: the editor keeps the text and
  // points at the problem.
  if (const std::optional<XmlProblem> problem = CheckXml(content)) {
    const int64_t offset = was_utf16_ ? Utf8OffsetOfUnit(text, std::max<int64_t>(0, problem->offset - 2) / 2)
                                      : problem->offset;
    ShowError(window_, tr("XML编辑结果不是格式正确的XML，未保存。\n%1：%2")
                           .arg(EditedLocation(positions.EditedPosition(offset)), problem->message));
    return false;
  }
  const int code = StorePartContent(package, path, content, window_->document()->key_info());
  if (code == 0) {
    view->SendScintilla(Sci::SCI_SETSAVEPOINT);
    // Marked and counted with the other unsaved changes (shown as the
    // window next draws the tree and the strip).
    window_->document()->NoteChange(path, PackageDocument::Change::kReplaced);
    return true;
  }
  if (code == zoq::kSiteNoKey) {
    ShowError(window_, tr("该文件已加密，请先输入密钥，再保存XML编辑结果。"));
  } else if (PartHasCode(path, 0, zoq::kEcsSxc)) {
    int64_t offset = -1;
    const QString reason = SchemaProblem(package, text, window_->document()->work_folder(), &offset);
    QString where;
    if (offset >= 0) where = EditedLocation(positions.EditedPosition(offset)) + tr("：");
    ShowError(window_, tr("XML编辑结果不符合该文件的二进制模式，无法保存。(%1)").arg(code) +
                           (reason.isEmpty() ? QString() : QStringLiteral("\n") + where + reason));
  } else {
    ShowError(window_, tr("保存XML编辑结果失败。(%1)").arg(code));
  }
  return false;
}

void ItemViewer::OpenFind() {
  if (find_) return;
  QsciScintilla* view = window_->text_view();
  find_ = new CFindDialog(view, InitialFindText(TextViewSelection(view)), window_);
  find_->setAttribute(Qt::WA_DeleteOnClose);
  find_->show();
}

bool ItemViewer::EnterKey() {
  zoq::Container* package = window_->document()->package();
  // Only a version 1.1 package can hold encrypted data with the IV header
  // (document version 1.2 and later); ask when the package did not say.
  const bool offer_version = package && package->GetContainerVersion() == 0x0101 &&
                             window_->document()->version_code() < CZOQEPathDlg::kVersionWithIv;
  CZOQEPathDlg dialog(window_, offer_version);
  if (dialog.exec() != QDialog::Accepted) return false;
  window_->document()->SetKey(dialog.key());
  if (offer_version && dialog.document_version() == CZOQEPathDlg::kVersionWithIv) {
    const int code = package->SetDocumentType(window_->document()->subset_code(), CZOQEPathDlg::kVersionWithIv);
    if (code == zoq::kSiteVersionCodeTooLow || code == zoq::kSiteVersionCodeTooHigh) {
      ShowError(window_, tr("无法设置文档版本。(%1)").arg(code));
    } else {
      window_->document()->SetDocumentCodes(window_->document()->subset_code(), CZOQEPathDlg::kVersionWithIv);
      // Copies decoded before were read without the IV header.
      package->ReleasePartCopies(u"*").IgnoreError();  // "*" needs no path check
    }
  }
  return true;
}

}  // namespace zoqe
