// The About box: program icon, name, version, the notice of the text
// component and two links.
#pragma once

#include <QDialog>

namespace zoqe {

class AboutDialog : public QDialog {
  Q_OBJECT

 public:
  explicit AboutDialog(QWidget* parent = nullptr);

  // The version text: the program version with every comma made a dot.
  static QString VersionText();
};

}  // namespace zoqe
