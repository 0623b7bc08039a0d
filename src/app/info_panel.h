// The strip under the tree and the list that describes the selection: a
// 32 x 32 icon and up to eight label/value pairs, in columns of two rows.
#pragma once

#include <QWidget>

#include <array>

class QIcon;
class QLabel;

namespace zoqe {

class InfoPanel : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kMaxPairs = 8;

  explicit InfoPanel(QWidget* parent = nullptr);

  // Adds a pair in the next free place; ignored once eight are in use.
  void AddPair(const QString& value, const QString& label);
  // Changes the value of the pair with `label`, or adds the pair.
  void SetPair(const QString& value, const QString& label);
  // Empties every pair and removes the icon.
  void Reset();
  void SetIcon(const QIcon& icon);

  int count() const { return count_; }
  // The shown texts of pair i, label with its " : ".
  QString LabelText(int i) const;
  QString ValueText(int i) const;
  // The value shown beside `label` (without " : "), or a null string.
  QString ValueOf(const QString& label) const;
  QLabel* label_widget(int i) const { return labels_[i]; }
  QLabel* value_widget(int i) const { return values_[i]; }
  bool has_icon() const;

  QSize sizeHint() const override;

 private:
  void Relayout();
  int RowY(int row) const;

  QLabel* icon_;
  std::array<QLabel*, kMaxPairs> labels_{};
  std::array<QLabel*, kMaxPairs> values_{};
  int count_ = 0;
};

}  // namespace zoqe
