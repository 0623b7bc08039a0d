#include "app/view/item_viewer.h"

#include <algorithm>

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <Qsci/qsciscintilla.h>

#include "app/app_text.h"
#include "app/message_box.h"
#include "app/part_codes.h"
#include "app/view/find_dialog.h"
#include "app/view/key_dialog.h"
#include "app/view/picture_view.h"
#include "app/view/temp_target.h"
#include "app/view/text_format.h"
#include "app/view/text_view.h"
#include "app/view/view_mode.h"
#include "app/view/xml_write_back.h"
#include "app/main_window.h"

namespace zoqe {

namespace {

const QString& OpenFailure() {
  static const QString text = QStringLiteral("打开包内文件失败");
  return text;
}

bool HasSxcCode(zoq::Container* package, const QString& path) {
  zoq::PartInfo info;
  if (package->GetPartInfoByPath(&info, path.toStdU16String(), 0) != 0) return false;
  const std::vector<int> codes = PartCodes(info);
  return std::find(codes.begin(), codes.end(), zoq::kEcsSxc) != codes.end();
}

bool ReadWholeFile(const QString& path, QByteArray* out) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return false;
  *out = file.readAll();
  return file.error() == QFileDevice::NoError;
}

}  // namespace

qint64 StartWithDefaultProgram(const QString& file) {
  qint64 pid = 0;
  if (!QProcess::startDetached(QStringLiteral("xdg-open"), {file}, QString(), &pid)) return 0;
  return pid;
}

ItemViewer::ItemViewer(CZOQEDlg* window)
    : QObject(window), window_(window), launcher_(&StartWithDefaultProgram) {
  picture_ = new CPictureCtrl;
  window_->SetPictureView(picture_);
  ConfigureTextView(window_->text_view());
  connect(window_->text_view(), &QsciScintillaBase::SCN_MARGINCLICK, this,
          [this](int position, int, int margin) {
            if (margin == kFoldMargin) ToggleFoldAt(window_->text_view(), position);
          });
}

bool ItemViewer::ShowPart(const QString& path, int version, bool read_only, bool report,
                          int mode) {
  if (!window_->SettleXmlEdit()) return false;
  zoq::Container* package = window_->package();
  const QString extension = PathExtension(path);
  if (!package || window_->work_folder().isEmpty()) return false;
  if (mode == kViewByExtension) mode = ViewModeForExtension(extension.toUpper());
  if (!read_only && (mode != kViewXml || version != 0)) {
    ShowError(window_, QStringLiteral("不支持编辑该文件。"));
    read_only = true;
  }
  report = report || !read_only;
  if (mode == kViewByExtension) {
    if (report) ShowError(window_, OpenFailure());
    return false;
  }

  TempTarget temp;
  if (!CreateTempTarget(window_->work_folder(), extension, &temp)) {
    if (report) ShowError(window_, OpenFailure());
    return false;
  }
  last_target_ = temp.target;
  zoq::DecodeOptions options;
  options.code = zoq::kEcsEnd;
  options.key = window_->key_info();
  std::string target = QFile::encodeName(temp.target).toStdString();
  const int code = package->ExtractPart(path.toStdU16String(), &target, version, &options);
  if (code != 0) {
    // Nothing half-decoded is left behind or shown.
    QFile::remove(temp.target);
    if (report) {
      ShowError(window_, OpenFailure() + QStringLiteral("(%1)").arg(code));
      if (code == zoq::kSiteNoKey && !key_retry_ &&
          ShowMessage(window_, QStringLiteral("该文件已加密，是否现在输入密钥?"),
                      QStringLiteral("提示"), QMessageBox::Question,
                      QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes &&
          EnterKey()) {
        key_retry_ = true;
        const bool shown = ShowPart(path, version, read_only, report, mode);
        key_retry_ = false;
        return shown;
      }
    }
    return false;
  }
  const QFileInfo info(temp.target);
  if (!info.exists()) {
    if (report) ShowError(window_, OpenFailure());
    return false;
  }
  window_->AddInfoPair(LongSizeText(info.size()), QStringLiteral("原始大小"));
  return ShowExtracted(temp.target, path, mode, !read_only);
}

bool ItemViewer::ShowExtracted(const QString& target, const QString& path, int mode,
                               bool editable) {
  QsciScintilla* view = window_->text_view();
  switch (mode) {
    case kViewImage: {
      window_->AddTempFile(target);
      if (!picture_->LoadFile(target)) return false;
      window_->AddInfoPair(QStringLiteral("%1 × %2")
                               .arg(picture_->image().width())
                               .arg(picture_->image().height()),
                           QStringLiteral("图片尺寸"));
      window_->ShowView(CZOQEDlg::View::kPicture);
      return true;
    }
    case kViewDefaultProgram: {
      window_->AddTempFile(target);
      const qint64 pid = launcher_ ? launcher_(target) : 0;
      if (pid > 0) window_->AddProcess(pid);
      return true;
    }
    default:
      break;
  }
  QByteArray bytes;
  QString text;
  bool was_utf16 = false;
  bool loaded = ReadWholeFile(target, &bytes);
  if (loaded) {
    if (mode == kViewHex) {
      text = HexDump(bytes);
    } else {
      text = TextFromFileBytes(bytes, &was_utf16);
      if (mode == kViewXml) {
        std::optional<QString> xml = ReindentXml(text);
        loaded = xml.has_value();
        if (loaded) text = std::move(*xml);
      }
    }
  }
  bytes.clear();
  if (!loaded) {
    // Not shown; the file goes with the other temporary files at close.
    window_->AddTempFile(target);
    return false;
  }
  QFile::remove(target);
  const bool xml_editable = mode == kViewXml && editable;
  picture_->Release();
  FillTextView(view, text, xml_editable);
  window_->ShowView(CZOQEDlg::View::kText);
  was_utf16_ = was_utf16;
  window_->SetXmlEditable(xml_editable, xml_editable ? path : QString());
  return true;
}

bool ItemViewer::StoreXmlEdit(const QString& path) {
  zoq::Container* package = window_->package();
  if (!package) return true;
  if (window_->read_only()) {
    ShowError(window_, QStringLiteral("文件以只读方式打开，无法保存XML编辑结果。"));
    return false;
  }
  QsciScintilla* view = window_->text_view();
  const QByteArray content = EditedTextBytes(TextViewBytes(view), was_utf16_);
  const int code = StorePartContent(package, path, content, window_->key_info());
  if (code != 0) {
    ShowError(window_, StoreFailureText(code, HasSxcCode(package, path)));
    return false;
  }
  view->SendScintilla(QsciScintillaBase::SCI_SETSAVEPOINT);
  return true;
}

void ItemViewer::OpenFind() {
  if (find_) return;
  QsciScintilla* view = window_->text_view();
  find_ = new CFindDialog(view, InitialFindText(TextViewSelection(view)), window_);
  find_->setAttribute(Qt::WA_DeleteOnClose);
  find_->show();
}

bool ItemViewer::EnterKey() {
  CZOQEPathDlg dialog(window_);
  if (dialog.exec() != QDialog::Accepted) return false;
  window_->SetKey(dialog.key());
  return true;
}

}  // namespace zoqe
