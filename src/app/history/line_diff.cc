#include "app/history/line_diff.h"

#include <QCoreApplication>
#include <QProcess>

#include <algorithm>

namespace zoqe {

namespace {

// One line per group of differing lines: where it starts and how many
// lines it has in the first and the second file; unchanged lines are left
// out, so the output stays small whatever the texts hold.
const char kGroupFormat[] = "%df %dn %dF %dN\n";

// The context of this file's texts in the translations.
struct Text {
  Q_DECLARE_TR_FUNCTIONS(LineDiff)
};

// The lines of `text`; a last line without a line end counts, an empty
// text has none.
std::vector<QByteArrayView> SplitLines(const QByteArray& text) {
  std::vector<QByteArrayView> lines;
  qsizetype start = 0;
  while (start < text.size()) {
    qsizetype end = text.indexOf('\n', start);
    if (end < 0) end = text.size();
    lines.emplace_back(text.constData() + start, end - start);
    start = end + 1;
  }
  return lines;
}

void AddLine(AlignedSide* side, QByteArrayView line, LineMark mark, int number) {
  if (!side->marks.empty()) side->text.append('\n');
  side->text.append(line);
  side->marks.push_back(mark);
  side->numbers.push_back(number);
}

}  // namespace

bool ParseDiffGroups(const QByteArray& output, std::vector<DiffHunk>* hunks) {
  hunks->clear();
  for (const QByteArray& line : output.split('\n')) {
    if (line.isEmpty()) continue;
    const QList<QByteArray> fields = line.split(' ');
    if (fields.size() != 4) return false;
    int values[4];
    for (int i = 0; i < 4; ++i) {
      bool ok = false;
      values[i] = fields[i].toInt(&ok);
      if (!ok || values[i] < 0) return false;
    }
    // diff counts lines from 1; a group without lines of one side still
    // names the line where they would stand.
    hunks->push_back({std::max(values[0] - 1, 0), values[1], std::max(values[2] - 1, 0),
                      values[3]});
  }
  return true;
}

bool RunLineDiff(const QString& file_a, const QString& file_b, std::vector<DiffHunk>* hunks,
                 QString* error, const std::atomic<bool>* cancel) {
  QProcess diff;
  const QString format = QString::fromLatin1(kGroupFormat);
  diff.setProgram(QStringLiteral("diff"));
  diff.setArguments({QStringLiteral("--text"), QStringLiteral("--unchanged-group-format="),
                     QStringLiteral("--old-group-format=") + format,
                     QStringLiteral("--new-group-format=") + format,
                     QStringLiteral("--changed-group-format=") + format, QStringLiteral("--"),
                     file_a, file_b});
  diff.setProcessChannelMode(QProcess::SeparateChannels);
  diff.start(QIODevice::ReadOnly);
  if (!diff.waitForStarted()) {
    *error = Text::tr("无法运行 diff (GNU diffutils): %1").arg(diff.errorString());
    return false;
  }
  diff.closeWriteChannel();
  QByteArray output;
  while (diff.state() != QProcess::NotRunning) {
    if (cancel != nullptr && *cancel) {
      diff.kill();
      diff.waitForFinished();
      error->clear();
      return false;
    }
    diff.waitForReadyRead(100);
    output += diff.readAllStandardOutput();
  }
  output += diff.readAllStandardOutput();
  // 0: the same, 1: different; anything else is trouble diff reported.
  if (diff.exitStatus() != QProcess::NormalExit || diff.exitCode() > 1) {
    *error = Text::tr("diff 比较失败: %1")
                 .arg(QString::fromLocal8Bit(diff.readAllStandardError()).trimmed());
    return false;
  }
  if (!ParseDiffGroups(output, hunks)) {
    *error = Text::tr("无法读取 diff 的输出");
    return false;
  }
  return true;
}

void AlignSides(const QByteArray& old_text, const QByteArray& new_text,
                const std::vector<DiffHunk>& hunks, AlignedSide* left, AlignedSide* right) {
  *left = AlignedSide();
  *right = AlignedSide();
  const std::vector<QByteArrayView> a = SplitLines(old_text);
  const std::vector<QByteArrayView> b = SplitLines(new_text);
  const int a_size = static_cast<int>(a.size());
  const int b_size = static_cast<int>(b.size());
  int i = 0, j = 0;
  auto same_until = [&](int a_end) {
    while (i < a_end && i < a_size && j < b_size) {
      AddLine(left, a[i], LineMark::kSame, i + 1);
      AddLine(right, b[j], LineMark::kSame, j + 1);
      ++i;
      ++j;
    }
  };
  for (const DiffHunk& hunk : hunks) {
    same_until(hunk.old_first);
    const int old_end = std::min(i + hunk.old_count, a_size);
    const int new_end = std::min(j + hunk.new_count, b_size);
    const int old_lines = old_end - i;
    const int new_lines = new_end - j;
    const LineMark old_mark = new_lines == 0 ? LineMark::kRemoved : LineMark::kChanged;
    const LineMark new_mark = old_lines == 0 ? LineMark::kAdded : LineMark::kChanged;
    for (int k = 0; k < std::max(old_lines, new_lines); ++k) {
      if (k < old_lines) {
        AddLine(left, a[i], old_mark, i + 1);
        ++i;
      } else {
        AddLine(left, {}, LineMark::kFiller, 0);
      }
      if (k < new_lines) {
        AddLine(right, b[j], new_mark, j + 1);
        ++j;
      } else {
        AddLine(right, {}, LineMark::kFiller, 0);
      }
    }
  }
  same_until(a_size);
  // Lines past the end of one side only (a diff that was cut short).
  for (; i < a_size; ++i) AddLine(left, a[i], LineMark::kRemoved, i + 1);
  for (; j < b_size; ++j) AddLine(right, b[j], LineMark::kAdded, j + 1);
}

}  // namespace zoqe
