// Which lines differ between two texts, as GNU diff finds them (the program
// zoq diff runs), and the two texts laid out side by side: blank filler
// lines opposite lines that only one side has, so that line n of one side
// stands beside line n of the other.
#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>
#include <vector>

namespace zoqe {

// One group of lines that differ: `old_count` lines of the first text from
// line `old_first` replaced by `new_count` lines of the second text from
// `new_first` (0-based; a count of 0 means none, the first line then says
// where they would stand).
struct DiffHunk {
  int old_first = 0;
  int old_count = 0;
  int new_first = 0;
  int new_count = 0;
};

// Runs `diff` on the two files and reads its groups of differing lines.
// False, with the reason in *error, when diff cannot be run or fails; false
// with no reason when `cancel` (when given) was set, which stops diff.
bool RunLineDiff(const QString& file_a, const QString& file_b, std::vector<DiffHunk>* hunks,
                 QString* error, const std::atomic<bool>* cancel = nullptr);

// Reads diff's group lines ("first count first count", 1-based firsts).
// False on a line of another form.
bool ParseDiffGroups(const QByteArray& output, std::vector<DiffHunk>* hunks);

// What a line of one side is.
enum class LineMark : char { kSame, kRemoved, kAdded, kChanged, kFiller };

struct AlignedSide {
  QByteArray text;           // lines joined by "\n", filler lines empty
  std::vector<LineMark> marks;  // one per line of `text`
  std::vector<int> numbers;     // 1-based line number in the original; 0 for fillers
};

// Lays the two texts (split at "\n") out side by side along `hunks`.
void AlignSides(const QByteArray& old_text, const QByteArray& new_text,
                const std::vector<DiffHunk>& hunks, AlignedSide* left, AlignedSide* right);

}  // namespace zoqe
