// The right pane's page for "nothing to show here, and why": one line of
// text and a button for each thing that helps (entering a key, another
// view, an older version). It stands in for the list or a viewer whenever
// they have nothing to show, so the pane is never blank without a word.
#pragma once

#include <QString>
#include <QWidget>

#include <functional>
#include <vector>

class QLabel;
class QHBoxLayout;

namespace zoqe {

struct NoticeOffer {
  QString label;
  std::function<void()> run;
};

class NoticePane : public QWidget {
  Q_OBJECT

 public:
  explicit NoticePane(QWidget* parent = nullptr);

  // Replaces the text and the offers.
  void Set(const QString& text, std::vector<NoticeOffer> offers);
  QString text() const;

 private:
  QLabel* text_;
  QWidget* buttons_;
  QHBoxLayout* button_layout_;
};

}  // namespace zoqe
